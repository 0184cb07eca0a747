#include "render/dot_render-cairo.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace kalvenor {
namespace {

// A layout in a context hinted for a dot grid, as the printer lays out the
// texts it leaves to cairo.
std::shared_ptr<PangoLayout> DotLayout(const char* text, const char* font) {
  PangoContext* context = pango_font_map_create_context(pango_cairo_font_map_get_default());
  pango_cairo_context_set_resolution(context, 72.0);
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_FULL);
  cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_NONE);
  pango_cairo_context_set_font_options(context, options);
  cairo_font_options_destroy(options);
  pango_context_set_round_glyph_positions(context, FALSE);
  std::shared_ptr<PangoLayout> layout(pango_layout_new(context), g_object_unref);
  g_object_unref(context);
  pango_layout_set_text(layout.get(), text, -1);
  PangoFontDescription* desc = pango_font_description_from_string(font);
  pango_layout_set_font_description(layout.get(), desc);
  pango_font_description_free(desc);
  return layout;
}

// Stamped glyphs give the very dots cairo draws for the same layout, at
// fractional origins, across the page's edges and at both resolutions.
TEST(DotRenderer, GlyphsLandOnTheDotsCairoDraws) {
  const int width = 576, rows = 60;
  DotRenderer dots;
  for (const char* font : {"DejaVu Sans Mono 8", "DejaVu Sans Mono Bold 11", "DejaVu Sans Oblique 7"}) {
    std::shared_ptr<PangoLayout> layout = DotLayout("Fecha: 06/12 \u00d1and\u00fa $ 1.234,56 |[]{}", font);
    ASSERT_TRUE(DotRenderer::Stampable(layout.get()));
    for (double scale : {203.0 / 72, 300.0 / 72}) {
      for (double tx : {3.0, 10.37, 21.5, 40.93, -20.6, 551.2}) {
        const double ty = tx < 0 ? -6.5 : 7.49 + tx / 100;
        dots.Begin(width, rows);
        std::vector<DotRenderer::PlacedGlyph> glyphs;
        DotRenderer::PlaceGlyphs(layout.get(), tx, ty, scale,
                                 [](PangoFont* f) { return pango_cairo_font_get_scaled_font(PANGO_CAIRO_FONT(f)); },
                                 &glyphs);
        dots.DrawGlyphs(glyphs, scale);
        DotPage page = dots.Take();

        // Cairo's own drawing, on a surface that holds the whole text: when
        // a text crosses a surface's edge cairo fills the outlines of all its
        // glyphs instead of drawing their images, a dot off here and there.
        const int margin = 1024;
        cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_A8, width + 2 * margin, rows + 2 * margin);
        cairo_surface_set_device_offset(surface, margin, margin);
        cairo_t* cr = cairo_create(surface);
        cairo_translate(cr, tx, ty);
        cairo_scale(cr, scale, scale);
        pango_cairo_show_layout(cr, layout.get());
        cairo_destroy(cr);
        cairo_surface_flush(surface);
        const unsigned char* data = cairo_image_surface_get_data(surface);
        int differ = 0, inked = 0;
        for (int y = 0; y < rows; ++y) {
          for (int x = 0; x < width; ++x) {
            bool want = data[(y + margin) * cairo_image_surface_get_stride(surface) + x + margin] >= 128;
            bool got = (page.bits[y * page.width_bytes + x / 8] & (0x80 >> (x % 8))) != 0;
            differ += want != got;
            inked += got;
          }
        }
        cairo_surface_destroy(surface);
        EXPECT_GT(inked, tx > 0 && tx < 100 ? 300 : 0) << font << " at " << tx;
        EXPECT_EQ(differ, 0) << font << " at " << tx << " scale " << scale;
      }
    }
  }
  // An underline is drawn by pango, not by glyphs: cairo draws such a text.
  std::shared_ptr<PangoLayout> underlined = DotLayout("x", "DejaVu Sans 8");
  PangoAttrList* attrs = pango_attr_list_new();
  pango_attr_list_insert(attrs, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
  pango_layout_set_attributes(underlined.get(), attrs);
  pango_attr_list_unref(attrs);
  EXPECT_FALSE(DotRenderer::Stampable(underlined.get()));
}

}  // namespace
}  // namespace kalvenor
