#include "platform/clipboard.h"

#include <gtest/gtest.h>

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

// An independent reader (Python's zlib) checks the chunks and prints width,
// height and the filtered RGBA rows.
TEST(PictureToPng, DecodesToTheSamePixels) {
  Sandbox sandbox;
  sandbox.Write("c.png", PictureToPng(*TwoByOne()));
  EXPECT_EQ(ShellOutput("python3 -c \"import sys,struct,zlib\n"
                        "d=open(sys.argv[1],'rb').read()\n"
                        "assert d[:8]==b'\\x89PNG\\r\\n\\x1a\\n'\n"
                        "i=8;idat=b''\n"
                        "while i<len(d):\n"
                        " n,=struct.unpack('>I',d[i:i+4]);t=d[i+4:i+8];c=d[i+8:i+8+n]\n"
                        " assert zlib.crc32(t+c)==struct.unpack('>I',d[i+8+n:i+12+n])[0]\n"
                        " if t==b'IHDR': w,h=struct.unpack('>II',c[:8])\n"
                        " if t==b'IDAT': idat+=c\n"
                        " i+=12+n\n"
                        "print(w,h,zlib.decompress(idat).hex())\" " +
                        sandbox.Path("c.png")),
            "2 1 00000000ffff8000ff\n");
  EXPECT_TRUE(PictureToPng(PictureData()).empty());
}

}  // namespace
}  // namespace kalvenor
