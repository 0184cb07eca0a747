#include <gtest/gtest.h>

#include <string>

#include "render/canvas.h"
#include "render/drawing-cairo.h"

namespace kalvenor {
namespace {

TEST(PixelCanvas, LinesCoverWholePixelsAndTheImageKeepsThem) {
  std::unique_ptr<Canvas> canvas = MakeCanvas(20, 10, 15, 0xFFFFFF);
  canvas->Line(45, 0, 45, 150, 0);  // twips: pixel column 3
  Picture picture = canvas->Image();
  EXPECT_EQ(picture->width_twips, 300);
  for (int x : {2, 3, 4}) EXPECT_EQ(picture->pixels[5 * 20 + x] & 0xFFFFFF, x == 3 ? 0u : 0xFFFFFFu) << x;
  canvas->Resize(30, 5);  // keeps what still fits
  EXPECT_EQ(canvas->Image()->pixels[4 * 30 + 3] & 0xFFFFFF, 0u);
  EXPECT_EQ(canvas->Image()->pixels[4 * 30 + 25], 0xFFFFFFFFu);
  canvas->Cls();
  EXPECT_EQ(canvas->Image()->pixels[4 * 30 + 3] & 0xFFFFFF, 0xFFFFFFu);
}

TEST(PixelCanvas, ACanvasPastCairosLargestImageGivesAPictureWithoutPixels) {
  std::unique_ptr<Canvas> canvas = MakeCanvas(40000, 2, 15, 0xFFFFFF);  // cairo's limit is 32767
  canvas->Line(0, 0, 150, 0, 0);
  canvas->Print(u"8", false);
  Picture picture = canvas->Image();
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->width_twips, 40000 * 15);
  EXPECT_TRUE(picture->pixels.empty());
  canvas->Resize(10, 2);  // a size cairo can make draws again
  EXPECT_EQ(canvas->Image()->pixels.size(), 20u);
}

FontState Font(const char* name, float size, bool bold = false, bool italic = false) {
  FontState font;
  font.Name = FromUtf8(name);
  font.Size = size;
  font.Bold = bold;
  font.Italic = italic;
  return font;
}

// Text painted from the grey glyph images gives exactly the pixels cairo
// draws: at fractional origins, in colour, over a bar, with glyphs whose
// images overlap; and a text reaching past an edge is left to cairo.
TEST(PixelCanvas, TextIsPaintedWithTheVeryPixelsCairoDraws) {
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
