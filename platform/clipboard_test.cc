#include "platform/clipboard.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>

#include "testing/fake_host.h"

namespace kalvenor {
namespace {

Picture TwoByOne() {
  auto p = std::make_shared<PictureData>();
  p->pixel_width = 2;
  p->pixel_height = 1;
  p->pixels = {0xFF000000u, 0xFFFF8000u};  // black, orange
  return p;
}

TEST(Clipboard, FailsWithTheReason) {
  std::string err;
  EXPECT_FALSE(MakeSystemClipboard(EnvOf({}))->Clear(&err));
  EXPECT_NE(err.find("DISPLAY"), std::string::npos) << err;
  struct Case {
    const char* display;  // "": none
    Picture picture;
    const char* reason;
  } cases[] = {
      {"", TwoByOne(), "DISPLAY"},
      {":8765", TwoByOne(), "xclip"},  // unreachable display or no tool
      {":8765", nullptr, "no bitmap to copy"},
  };
  for (const Case& c : cases) {
    err.clear();
    auto clipboard = MakeSystemClipboard(*c.display ? EnvOf({{"DISPLAY", c.display}}) : EnvOf({}));
    EXPECT_FALSE(clipboard->SetPicture(c.picture, &err));
    EXPECT_NE(err.find(c.reason), std::string::npos) << err;
  }
}

TEST(PictureToPng, DecodesToTheSamePixels) {
  std::string png = PictureToPng(*TwoByOne());
  size_t pos = 0;
  auto read = [](void* closure, unsigned char* data, unsigned int length) {
    auto* cursor = static_cast<std::pair<const std::string*, size_t*>*>(closure);
    if (cursor->first->size() - *cursor->second < length) return CAIRO_STATUS_READ_ERROR;
    std::memcpy(data, cursor->first->data() + *cursor->second, length);
    *cursor->second += length;
    return CAIRO_STATUS_SUCCESS;
  };
  std::pair<const std::string*, size_t*> cursor(&png, &pos);
  cairo_surface_t* decoded = cairo_image_surface_create_from_png_stream(read, &cursor);
  ASSERT_EQ(cairo_surface_status(decoded), CAIRO_STATUS_SUCCESS);
  ASSERT_EQ(cairo_image_surface_get_width(decoded), 2);
  const auto* pixels = reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(decoded));
  EXPECT_EQ(pixels[0], 0xFF000000u);
  EXPECT_EQ(pixels[1], 0xFFFF8000u);
  cairo_surface_destroy(decoded);
  EXPECT_TRUE(PictureToPng(PictureData()).empty());
}

}  // namespace
}  // namespace kalvenor
