// The recorded operations of a document drawn as one vector page: a PDF, or
// PostScript for a printer that takes it faster (a CUPS queue whose filters
// start from PostScript turns a PDF into PostScript first). Both are the
// same drawing; only the container differs.

#include <algorithm>

#include "base/run_time_error.h"
#include "base/units.h"
#include "render/drawing-cairo.h"

namespace kalvenor {
namespace {

void DrawOpOnPage(cairo_t* cr, const DrawOp& op) {
  if (const auto* text = std::get_if<TextOp>(&op)) {
    DrawText(cr, text->text, text->font, text->measured, text->x, text->y, 1 / kTwipsPerPoint,
             kTwipsPerPoint, 0);
  } else if (const auto* line = std::get_if<LineOp>(&op)) {
    cairo_save(cr);
    cairo_scale(cr, 1 / kTwipsPerPoint, 1 / kTwipsPerPoint);
    SetColor(cr, line->color);
    StrokeLine(cr, *line);
    cairo_restore(cr);
  } else if (const auto* picture = std::get_if<PictureOp>(&op)) {
    cairo_save(cr);
    cairo_translate(cr, picture->x / kTwipsPerPoint, picture->y / kTwipsPerPoint);
    DrawPicture(cr, *picture->picture, 1 / kTwipsPerPoint, /*masks=*/true);
    cairo_restore(cr);
  }
}

}  // namespace

void StrokeLine(cairo_t* cr, const LineOp& line) {
  cairo_set_line_width(cr, std::max<int16_t>(line.width, 1) * kTwipsPerPixel);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
  cairo_move_to(cr, line.x1, line.y1);
  cairo_line_to(cr, line.x2, line.y2);
  cairo_stroke(cr);
}

std::string RenderVectorPage(const std::vector<DrawOp>& ops, double width_pt, double height_pt,
                             bool postscript) {
  std::string document;
  SurfacePtr surface;
  if (postscript) {
    surface.reset(cairo_ps_surface_create_for_stream(AppendToString, &document, width_pt, height_pt));
    cairo_ps_surface_dsc_comment(surface.get(), "%%Title: Kalvenor");
  } else {
    surface.reset(cairo_pdf_surface_create_for_stream(AppendToString, &document, width_pt, height_pt));
    cairo_pdf_surface_set_metadata(surface.get(), CAIRO_PDF_METADATA_CREATOR, "Kalvenor");
  }
  {
    ContextPtr cr(cairo_create(surface.get()));
    for (const DrawOp& op : ops) DrawOpOnPage(cr.get(), op);
  }
  TextEngine::Get().SaveCache();
  cairo_surface_finish(surface.get());
  const cairo_status_t status = cairo_surface_status(surface.get());
  if (status != CAIRO_STATUS_SUCCESS) {
    throw RunTimeError(kPrinterError, std::string("Printer error: ") + cairo_status_to_string(status));
  }
  return document;
}

}  // namespace kalvenor
