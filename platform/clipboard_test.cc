#include "platform/clipboard.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>

namespace kalvenor {
namespace {

EnvLookup EnvOf(std::map<std::string, std::string> vars) {
  return [vars](const std::string& name) -> std::optional<std::string> {
    auto hit = vars.find(name);
    if (hit == vars.end()) return std::nullopt;
    return hit->second;
  };
}

Picture TwoByOne() {
  auto p = std::make_shared<PictureData>();
  p->pixel_width = 2;
  p->pixel_height = 1;
  p->pixels = {0xFF000000u, 0xFFFF8000u};  // black, orange
  return p;
}

TEST(Clipboard, WithoutADesktopSessionEveryCallFailsWithTheReason) {
  auto clipboard = MakeSystemClipboard(EnvOf({}));
  std::string err;
  EXPECT_FALSE(clipboard->Clear(&err));
  EXPECT_NE(err.find("DISPLAY"), std::string::npos);
  err.clear();
  EXPECT_FALSE(clipboard->SetPicture(TwoByOne(), &err));
  EXPECT_NE(err.find("DISPLAY"), std::string::npos);
}

TEST(Clipboard, UnreachableDisplayOrMissingToolFails) {
  auto clipboard = MakeSystemClipboard(EnvOf({{"DISPLAY", ":8765"}}));
  std::string err;
  EXPECT_FALSE(clipboard->SetPicture(TwoByOne(), &err));
  EXPECT_NE(err.find("xclip"), std::string::npos);
  EXPECT_FALSE(clipboard->SetPicture(nullptr, &err));
  EXPECT_EQ(err, "no bitmap to copy");
}

// Decodes the PNG with an independent reader (Python's zlib) and prints
// width, height and the RGBA bytes.
TEST(PictureToPng, DecodesToTheSamePixels) {
  std::string png = PictureToPng(*TwoByOne());
  std::string path = testing::TempDir() + "/kalvenor_clipboard.png";
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(png.data(), 1, png.size(), f);
  std::fclose(f);
  std::string command =
      "python3 -c \"import sys,struct,zlib\n"
      "d=open(sys.argv[1],'rb').read()\n"
      "assert d[:8]==b'\\x89PNG\\r\\n\\x1a\\n'\n"
      "i=8;idat=b''\n"
      "while i<len(d):\n"
      " n,=struct.unpack('>I',d[i:i+4]);t=d[i+4:i+8];c=d[i+8:i+8+n]\n"
      " assert zlib.crc32(t+c)==struct.unpack('>I',d[i+8+n:i+12+n])[0]\n"
      " if t==b'IHDR': w,h=struct.unpack('>II',c[:8])\n"
      " if t==b'IDAT': idat+=c\n"
      " i+=12+n\n"
      "print(w,h,zlib.decompress(idat).hex())\" " + path;
  std::FILE* p = popen(command.c_str(), "r");
  ASSERT_NE(p, nullptr);
  char buffer[256] = {};
  size_t n = std::fread(buffer, 1, sizeof buffer - 1, p);
  pclose(p);
  EXPECT_EQ(std::string(buffer, n), "2 1 00000000ffff8000ff\n");
  EXPECT_TRUE(PictureToPng(PictureData()).empty());
}

}  // namespace
}  // namespace kalvenor
