#include "qr/image_conversion.h"

#include <gtest/gtest.h>

namespace kalvenor {
namespace {

TEST(StreamFromBytes, CopiesFromTheFirstIndex) {
  const struct {
    std::string bytes;
    int64_t first;
    std::optional<std::string> stream;
  } cases[] = {
      {"abc", 2, "c"}, {"abc", 3, std::nullopt}, {"abc", -1, std::nullopt}, {"", 5, ""},  // empty, not none
  };
  for (const auto& c : cases) {
    EXPECT_EQ(StreamFromBytes(c.bytes, c.first), c.stream) << c.bytes << " " << c.first;
  }
}

Picture SmallBitmap() {
  auto picture = std::make_shared<PictureData>();
  picture->pixel_width = 3;
  picture->pixel_height = 2;
  picture->width_twips = 45;
  picture->height_twips = 30;
  picture->pixels = {0xFF000000, 0xFFFFFFFF, 0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF0A0B0C};
  return picture;
}

TEST(ImageConversion, VectorPictureIsDrawnFourTimesFiner) {
  auto picture = std::make_shared<PictureData>();
  picture->width_twips = 150;  // 10 pixels at 96 per inch
  picture->height_twips = 150;
  picture->rects.push_back({0, 0, 75, 150});
  std::string png;
  ASSERT_TRUE(ImageToPngBytes(picture, &png));
  Picture back = PictureFromPngStream(png);
  ASSERT_NE(back, nullptr);
  ASSERT_EQ(back->pixel_width, 40);
  EXPECT_EQ(back->pixels[0], 0xFF000000u);
  EXPECT_EQ(back->pixels[39], 0xFFFFFFFFu);
}

TEST(ImageConversion, PngKeepsPixelsAndRefusesWhatIsNotUsable) {
  std::string png;
  ASSERT_TRUE(ImageToPngBytes(SmallBitmap(), &png));
  // Nothing follows the PNG's closing chunk.
  EXPECT_EQ(png.substr(png.size() - 12), std::string("\0\0\0\0IEND\xAE\x42\x60\x82", 12));
  Picture back = PictureFromPngStream(png);
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->pixels, SmallBitmap()->pixels);  // 3 x 2, colours in order
  EXPECT_EQ(back->height_twips, 30);
  std::string huge = png;
  huge[16] = 0;  // width 0x00010003... past the largest accepted side
  huge[17] = 1;
  for (const std::string& bytes : {std::string(), std::string("not an image at all, just words"),
                                   png.substr(0, png.size() / 2), huge}) {
    EXPECT_EQ(PictureFromPngStream(bytes), nullptr) << bytes.size();
  }
  EXPECT_FALSE(ImageToPngBytes(nullptr, &png));
  EXPECT_TRUE(png.empty());
}

}  // namespace
}  // namespace kalvenor
