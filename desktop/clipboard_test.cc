#include "desktop/clipboard.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <random>

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

// A clipboard tool that exits without reading the image has not taken it,
// whatever its exit status says.
TEST(Clipboard, AToolThatTakesPartOfTheImageFails) {
  Sandbox sandbox;
  sandbox.Write("xclip", "#!/bin/sh\nexit 0\n");
  ASSERT_EQ(chmod(sandbox.Path("xclip").c_str(), 0755), 0);
  // Noise, so that its PNG is far larger than a pipe holds.
  auto noise = std::make_shared<PictureData>();
  noise->pixel_width = noise->pixel_height = 400;
  std::mt19937 random(1);
  for (int i = 0; i < 400 * 400; ++i) noise->pixels.push_back(0xFF000000u | random());
  const std::string path = getenv("PATH");
  setenv("PATH", (sandbox.root() + ":" + path).c_str(), 1);
  std::string err;
  bool copied = MakeSystemClipboard(EnvOf({{"DISPLAY", ":8765"}}))->SetPicture(noise, &err);
  setenv("PATH", path.c_str(), 1);
  EXPECT_FALSE(copied);
  EXPECT_NE(err.find("took only part"), std::string::npos) << err;
}

}  // namespace
}  // namespace kalvenor
