// The least the font and drawing libraries cost any job of this program: a
// program linked like kalvenor that makes the program's font configuration
// current and then, by its first argument,
//   start    does nothing more;
//   layout   lays out every line of a text file (UTF-8) once and measures
//            it, the lines in turn in the six fonts a receipt with its
//            barcodes uses (as the program's aliases resolve them);
//   pdf      also draws the lines in the receipt's own four fonts, half of
//            them on each of two PDF pages (two receipts), kept in memory.
// It reads no slip, draws no barcode and writes no file, so no job of the
// program can be faster: a job on an ESC/POS printer lays out its text at
// least, one on a PDF printer also draws two PDFs. bench/escpos_bench.sh
// times it beside the job.
//   kalvenor_floor start|layout|pdf TEXT-FILE FONTS-CONF
#include <cairo-pdf.h>
#include <pango/pangocairo.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "render/cairo_printer.h"

namespace {

cairo_status_t Discard(void*, const unsigned char*, unsigned int) { return CAIRO_STATUS_SUCCESS; }

// The program's measuring context: points, unhinted metrics and outlines.
PangoContext* MakeContext() {
  PangoContext* context = pango_font_map_create_context(pango_cairo_font_map_get_default());
  pango_cairo_context_set_resolution(context, 72.0);
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  pango_cairo_context_set_font_options(context, options);
  cairo_font_options_destroy(options);
  return context;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: kalvenor_floor start|layout|pdf TEXT-FILE FONTS-CONF\n");
    return 2;
  }
  const std::string mode = argv[1];
  kalvenor::LoadFontConfiguration(argv[3]);
  if (mode == "start") return 0;
  std::vector<std::string> lines;
  std::ifstream in(argv[2]);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  PangoContext* context = MakeContext();
  // The receipt's text, bold prices, the total, the italic line, and the
  // captions of the EAN and the Code 128, which are drawn into the barcode
  // pictures, not as text of the PDF.
  constexpr size_t kPrinterFonts = 4;
  std::vector<PangoFontDescription*> fonts;
  for (const char* name : {"Consolas 8", "Consolas Bold 8", "Consolas Bold 11", "Consolas Italic 8",
                           "MS Sans Serif 12", "System 4"}) {
    fonts.push_back(pango_font_description_from_string(name));
  }
  const double line_pt = 10;
  const int per_page = static_cast<int>((lines.size() + 1) / 2);
  for (int page = 0; page < 2; ++page) {
    cairo_surface_t* surface =
        mode == "pdf" ? cairo_pdf_surface_create_for_stream(Discard, nullptr, 226.8, per_page * line_pt + 20)
                      : nullptr;
    cairo_t* cr = surface != nullptr ? cairo_create(surface) : nullptr;
    for (int i = page * per_page; i < static_cast<int>(lines.size()) && i < (page + 1) * per_page; ++i) {
      PangoLayout* layout = pango_layout_new(context);
      pango_layout_set_font_description(layout, fonts[i % fonts.size()]);
      pango_layout_set_text(layout, lines[i].c_str(), -1);
      int width, height;
      pango_layout_get_size(layout, &width, &height);
      if (cr != nullptr && i % fonts.size() < kPrinterFonts) {
        cairo_move_to(cr, 4, (i - page * per_page) * line_pt);
        pango_cairo_show_layout(cr, layout);
      }
      g_object_unref(layout);
    }
    if (cr != nullptr) {
      cairo_destroy(cr);
      cairo_surface_finish(surface);
      cairo_surface_destroy(surface);
    }
  }
  for (PangoFontDescription* font : fonts) pango_font_description_free(font);
  g_object_unref(context);
  return 0;
}
