#include <gtest/gtest.h>

#include "render/canvas.h"

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

}  // namespace
}  // namespace kalvenor
