#include "render/dot_render-cairo.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "render/drawing-cairo.h"
#include "render/pango_text.h"

namespace kalvenor {
namespace {

FontState Font(const char* name, float size, bool bold = false, bool italic = false) {
  FontState font;
  font.Name = FromUtf8(name);
  font.Size = size;
  font.Bold = bold;
  font.Italic = italic;
  return font;
}

// Glyphs stamped from the glyph images of the printer's dot fonts, as the
// printer does, give the very dots cairo draws for the text's dot layout, at
// fractional origins, across the page's edges and at both resolutions:
// placed from the text shaped without pango, and from pango's measuring
// layout (for the texts it lays out).
TEST(DotRenderer, GlyphsLandOnTheDotsCairoDraws) {
  const int width = 576, rows = 60;
  DotRenderer dots;
  TextEngine& engine = TextEngine::Get();
  PangoText& pango = engine.Pango();
  const Text text = FromUtf8("Fecha: 06/12 \u00d1and\u00fa $ 1.234,56 |[]{}");
  for (const FontState& font : {Font("DejaVu Sans Mono", 8), Font("DejaVu Sans Mono", 11, true),
                                Font("DejaVu Sans", 7, false, true)}) {
    const std::string name = ToUtf8(font.Name) + " " + std::to_string(font.Size);
    std::shared_ptr<const TextEngine::FastText> fast = engine.Measure(text, font).fast;
    std::shared_ptr<TextLayout> measured = pango.Layout(text, font, false);
    std::shared_ptr<TextLayout> layout = pango.Layout(text, font, true);
    ASSERT_TRUE(fast && pango.Stampable(*measured));
    for (int shaped = 0; shaped < 2; ++shaped)
    for (double scale : {203.0 / 72, 300.0 / 72}) {
      for (double tx : {3.0, 10.37, 21.5, 40.93, -20.6, 551.2}) {
        const double ty = tx < 0 ? -6.5 : 7.49 + tx / 100;
        dots.Begin(width, rows);
        if (shaped) {
          engine.StampFast(dots, *fast, tx, ty, scale);
        } else {
          std::vector<DotRenderer::PlacedGlyph> glyphs;
          pango.PlaceGlyphs(*measured, tx, ty, scale, &glyphs);
          dots.DrawGlyphs(glyphs, scale);
        }
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
        pango.Show(cr, *layout);
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
        EXPECT_GT(inked, tx > 0 && tx < 100 ? 300 : 0) << name << " at " << tx;
        EXPECT_EQ(differ, 0) << name << " at " << tx << " scale " << scale << (shaped ? " shaped" : "");
      }
    }
  }
  // An underline is drawn by pango, not by glyphs: cairo draws such a text.
  FontState underlined = Font("DejaVu Sans", 8);
  underlined.Underline = true;
  EXPECT_FALSE(engine.Measure(u"x", underlined).fast);
  EXPECT_FALSE(pango.Stampable(*pango.Layout(u"x", underlined, true)));
}

}  // namespace
}  // namespace kalvenor
