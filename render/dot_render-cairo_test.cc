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

// A glyph stamped at every dot across both edges of the page, and of a
// page given back for the next, sets its own dots on the page and no other.
TEST(DotRenderer, StampSetsExactlyTheGlyphsDotsOnThePage) {
  GlyphBits glyph;
  glyph.width = 19;  // three bytes a row
  glyph.height = 3;
  glyph.left = -2;
  glyph.top = -1;
  for (int i = 0; i < 9; ++i) glyph.bits.push_back(static_cast<uint8_t>(0xA5 ^ (i * 37)));
  const int width = 64, rows = 4;
  DotRenderer dots;
  for (long x = -26; x <= width + 4; ++x) {
    for (long y : {-3L, 0L, 2L, 4L}) {
      dots.Begin(width, rows);
      dots.Stamp(glyph, x, y);
      DotPage page = dots.Take();
      for (int py = 0; py < rows; ++py) {
        for (int px = 0; px < width; ++px) {
          const long gx = px - (x + glyph.left), gy = py - (y + glyph.top);
          const bool want = gx >= 0 && gx < 24 && gy >= 0 && gy < glyph.height &&
                            (glyph.bits[gy * 3 + gx / 8] & (0x80 >> gx % 8)) != 0;
          const bool got = (page.bits[py * page.width_bytes + px / 8] & (0x80 >> px % 8)) != 0;
          ASSERT_EQ(got, want) << "glyph at " << x << "," << y << ", dot " << px << "," << py;
        }
      }
      dots.Recycle(std::move(page));
    }
  }
}

// Text painted from the grey glyph images gives exactly the pixels cairo
// draws: at fractional origins, in colour, over a bar, with glyphs whose
// images overlap; and a text reaching past an edge is left to cairo.
TEST(TextEngine, CanvasTextIsPaintedWithTheVeryPixelsCairoDraws) {
  const int width = 480, height = 60;
  TextEngine& engine = TextEngine::Get();
  const Text text = FromUtf8("EAN 7790001 ffi //\\\\ Ñandú $ 1.234,56");
  const double scale = 96.0 / 72;
  int painted = 0;
  for (const FontState& font : {Font("MS Sans Serif", 12), Font("System", 8, true), Font("DejaVu Sans", 9, false, true),
                                Font("DejaVu Sans Mono", 7)}) {
    std::shared_ptr<const TextEngine::FastText> fast = engine.Measure(text, font).fast;
    ASSERT_TRUE(fast) << ToUtf8(font.Name);
    for (uint32_t argb : {0xFF000000u, 0xFF2040C0u}) {
      for (double tx : {2.0, 3.37, 10.5, 20.93, -4.2, 440.6}) {
        const double ty = tx < 0 ? 1.5 : 6.49 + tx / 50;
        // White, with a black bar across the text's lower half.
        std::vector<uint32_t> background(static_cast<size_t>(width) * height, 0xFFFFFFFFu);
        for (int y = 14; y < 22; ++y) std::fill_n(background.begin() + y * width + 30, 40, 0xFF000000u);

        std::vector<uint32_t> ours = background;
        PixelImage image{ours.data(), width, height};
        const bool fast_painted = engine.PaintFast(image, *fast, tx, ty, scale, argb);
        EXPECT_EQ(fast_painted, tx > 0 && tx < 100) << ToUtf8(font.Name) << " at " << tx;
        if (!fast_painted) continue;
        ++painted;

        std::vector<uint32_t> cairos = background;
        SurfacePtr surface(cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(cairos.data()),
                                                               CAIRO_FORMAT_ARGB32, width, height, width * 4));
        ContextPtr cr(cairo_create(surface.get()));
        cairo_translate(cr.get(), tx, ty);
        cairo_scale(cr.get(), scale, scale);
        SetArgb(cr.get(), argb);
        engine.ShowFast(cr.get(), *fast);
        cr.reset();
        cairo_surface_flush(surface.get());

        int differ = 0, inked = 0;
        for (size_t i = 0; i < ours.size(); ++i) {
          differ += ours[i] != cairos[i];
          inked += ours[i] != background[i];
        }
        EXPECT_GT(inked, 200) << ToUtf8(font.Name) << " at " << tx;
        EXPECT_EQ(differ, 0) << ToUtf8(font.Name) << " at " << tx << " in " << std::hex << argb;
      }
    }
  }
  EXPECT_EQ(painted, 32);
}

}  // namespace
}  // namespace kalvenor
