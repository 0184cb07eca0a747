#include <gtest/gtest.h>

#include "render/drawing-cairo.h"

namespace kalvenor {
namespace {

class RecordingTarget : public PictureTarget {
 public:
  void Background(const PictureData&) override { parts += "background "; }
  void Bitmap(const PictureData&) override { parts += "bitmap "; }
  void Rects(const PictureData&) override { parts += "rects "; }
  std::string parts;
};

TEST(DrawPicture, BackgroundUnderTheBitmapAndRectanglesOnTop) {
  struct Case {
    const char* why;
    bool background, bitmap, whole_bitmap, rects, replaced;
    std::string parts;
  } cases[] = {
      {"a PNG picture", false, true, true, false, false, "bitmap "},
      {"a QR symbol", true, false, false, true, false, "background rects "},
      {"a bitmap on a background shows over it", true, true, true, false, false, "background bitmap "},
      {"all three", true, true, true, true, false, "background bitmap rects "},
      {"sharp bars: the rectangles stand for the bitmap", true, true, true, true, true, "background rects "},
      {"a bitmap short of pixels is not painted", false, true, false, true, false, "rects "},
      {"an empty picture", false, false, false, false, false, ""},
  };
  for (const Case& c : cases) {
    PictureData picture;
    picture.has_background = c.background;
    if (c.bitmap) {
      picture.pixel_width = 2;
      picture.pixel_height = 2;
      picture.pixels.assign(c.whole_bitmap ? 4 : 3, 0xFF000000u);
    }
    if (c.rects) picture.rects.push_back({0, 0, 15, 15});
    picture.rects_replace_bitmap = c.replaced;
    RecordingTarget target;
    DrawPicture(picture, target);
    EXPECT_EQ(target.parts, c.parts) << c.why;
  }
}

}  // namespace
}  // namespace kalvenor
