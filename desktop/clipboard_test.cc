#include "desktop/clipboard.h"

#include <gtest/gtest.h>

#include "testing/fake_host.h"

namespace kalvenor {
namespace {

Picture TwoByOne() {
  auto p = std::make_shared<PictureData>();
  p->pixel_width = 2;
  p->pixel_height = 1;
  p->pixels = {0xFF000000u, 0xFFFF8000u};
  return p;
}

TEST(Clipboard, FailsWithTheReason) {
  std::string err;
  EXPECT_FALSE(MakeSystemClipboard(EnvOf({}))->Clear(&err));
  EXPECT_NE(err.find("DISPLAY"), std::string::npos) << err;
  const struct {
    const char* display;  // "": none
    Picture picture;
    const char* reason;
  } cases[] = {
      {"", TwoByOne(), "DISPLAY"},
      {":8765", TwoByOne(), "xclip"},  // unreachable display or no tool
      {":8765", nullptr, "no bitmap to copy"},
  };
  for (const auto& c : cases) {
    err.clear();
    auto clipboard = MakeSystemClipboard(*c.display ? EnvOf({{"DISPLAY", c.display}}) : EnvOf({}));
    EXPECT_FALSE(clipboard->SetPicture(c.picture, &err));
    EXPECT_NE(err.find(c.reason), std::string::npos) << err;
  }
  EXPECT_TRUE(PictureToPng(PictureData()).empty());
}

}  // namespace
}  // namespace kalvenor
