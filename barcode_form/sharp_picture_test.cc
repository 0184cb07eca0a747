#include "barcode_form/sharp_picture.h"

#include <gtest/gtest.h>

namespace kalvenor {
namespace {

TEST(WithSharpBars, DarkRunsBecomeRectangles) {
  constexpr uint32_t k = 0xFF000000u, w = 0xFFFFFFFFu, g = 0xFFC0C0C0u;
  auto picture = std::make_shared<PictureData>();
  picture->pixel_width = 4;
  picture->pixel_height = 3;
  picture->width_twips = 60;
  picture->height_twips = 45;
  // A bar two rows high at column 0, a two-pixel run on the last row; light
  // grey (text edges) is not dark.
  picture->pixels = {k, w, g, w,
                     k, w, w, w,
                     w, k, k, w};
  Picture sharp = WithSharpBars(picture);
  ASSERT_EQ(sharp->rects.size(), 2u);
  EXPECT_EQ(sharp->rects[0].x, 0);
  EXPECT_EQ(sharp->rects[0].y, 0);
  EXPECT_EQ(sharp->rects[0].w, 15);
  EXPECT_EQ(sharp->rects[0].h, 30);
  EXPECT_EQ(sharp->rects[1].x, 15);
  EXPECT_EQ(sharp->rects[1].y, 30);
  EXPECT_EQ(sharp->rects[1].w, 30);
  EXPECT_EQ(sharp->rects[1].h, 15);
  EXPECT_TRUE(sharp->has_background);
  EXPECT_EQ(sharp->pixels, picture->pixels);  // the bitmap stays for readers
  EXPECT_FALSE(WithSharpBars(nullptr));
}

}  // namespace
}  // namespace kalvenor
