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
  // Rows of four: a bar two rows high at column 0, a two-pixel run on the last
  // row; light grey (text edges) is not dark.
  picture->pixels = {k, w, g, w, k, w, w, w, w, k, k, w};
  const std::vector<uint32_t> pixels = picture->pixels;
  Picture sharp = WithSharpBars(std::move(picture));
  std::vector<std::vector<float>> rects;
  for (const auto& r : sharp->rects) rects.push_back({r.x, r.y, r.w, r.h});
  EXPECT_EQ(rects, (std::vector<std::vector<float>>{{0, 0, 15, 30}, {15, 30, 30, 15}}));
  EXPECT_TRUE(sharp->has_background);
  EXPECT_TRUE(sharp->rects_replace_bitmap);  // on paper only the rectangles
  EXPECT_EQ(sharp->pixels, pixels);  // the bitmap stays for readers
  EXPECT_FALSE(WithSharpBars(nullptr));
}

}  // namespace
}  // namespace kalvenor
