// The least the font and drawing libraries cost any job of this program: a
// program linked like kalvenor that makes the program's font configuration
// current and then, by its first argument,
//   start    does nothing more;
//   layout   lays out every line of a text file (UTF-8) once, in the
//            receipt's font (Consolas 8 points, as the program's aliases
//            resolve it), and measures it;
//   pdf      also draws the lines, half of them on each of two PDF pages
//            (two receipts), kept in memory;
//   dots     instead draws them hinted for 203 dots per inch, without grey
//            edges, on two 576-dot pages.
// It reads no slip, draws no barcode and writes no file, so a whole job can
// never be faster than it. bench/floor_bench.sh times it beside the job.
//   kalvenor_floor MODE TEXT-FILE FONTS-CONF
#include <cairo-pdf.h>
#include <pango/pangocairo.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "platform/cairo_surfaces.h"

namespace {

cairo_status_t Discard(void*, const unsigned char*, unsigned int) { return CAIRO_STATUS_SUCCESS; }

PangoContext* MakeContext(bool dots) {
  PangoContext* context = pango_font_map_create_context(pango_cairo_font_map_get_default());
  pango_cairo_context_set_resolution(context, 72.0);
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  cairo_font_options_set_hint_style(options, dots ? CAIRO_HINT_STYLE_FULL : CAIRO_HINT_STYLE_NONE);
  if (dots) cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_NONE);
  pango_cairo_context_set_font_options(context, options);
  cairo_font_options_destroy(options);
  return context;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: kalvenor_floor start|layout|pdf|dots TEXT-FILE FONTS-CONF\n");
    return 2;
  }
  const std::string mode = argv[1];
  kalvenor::LoadFontConfiguration(argv[3]);
  if (mode == "start") return 0;
  std::vector<std::string> lines;
  std::ifstream in(argv[2]);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  const bool dots = mode == "dots";
  PangoContext* context = MakeContext(dots);
  PangoFontDescription* font = pango_font_description_from_string("Consolas 8");
  const double line_pt = 10, scale = dots ? 203.0 / 72 : 1;
  const int per_page = static_cast<int>((lines.size() + 1) / 2);
  for (int page = 0; page < 2; ++page) {
    cairo_surface_t* surface = nullptr;
    if (mode == "pdf") {
      surface = cairo_pdf_surface_create_for_stream(Discard, nullptr, 226.8, per_page * line_pt + 20);
    } else if (dots) {
      surface = cairo_image_surface_create(CAIRO_FORMAT_A8, 576, static_cast<int>((per_page * line_pt + 20) * scale));
    }
    cairo_t* cr = surface != nullptr ? cairo_create(surface) : nullptr;
    for (int i = page * per_page; i < static_cast<int>(lines.size()) && i < (page + 1) * per_page; ++i) {
      PangoLayout* layout = pango_layout_new(context);
      pango_layout_set_font_description(layout, font);
      pango_layout_set_text(layout, lines[i].c_str(), -1);
      int width, height;
      pango_layout_get_size(layout, &width, &height);
      if (cr != nullptr) {
        cairo_save(cr);
        cairo_scale(cr, scale, scale);
        cairo_move_to(cr, 4, (i - page * per_page) * line_pt);
        pango_cairo_show_layout(cr, layout);
        cairo_restore(cr);
      }
      g_object_unref(layout);
    }
    if (cr != nullptr) {
      cairo_destroy(cr);
      cairo_surface_finish(surface);
      cairo_surface_destroy(surface);
    }
  }
  pango_font_description_free(font);
  g_object_unref(context);
  return 0;
}
