#include "qr/qr_request.h"

#include <gtest/gtest.h>

namespace kalvenor {
namespace {

TEST(UrlEncode, EncodesEverythingButAsciiLettersAndDigits) {
  const std::pair<Text, std::string> cases[] = {
      {u"AB c", "AB%20c"},
      {u"\u00F1", "%C3%B1"},  // ñ through its UTF-8 bytes
      {u"a-b.c", "a%2Db%2Ec"},
      {u"_~/:?=&+", "%5F%7E%2F%3A%3F%3D%26%2B"},
      {u"\n09azAZ", "%0A09azAZ"},
      {u"\u20AC", "%E2%82%AC"},
      {u"", ""},
  };
  for (const auto& [text, encoded] : cases) EXPECT_EQ(UrlEncode(TextToUtf8(text)), encoded) << ToUtf8(text);
}

TEST(QrImagePath, AddsOnlyParametersThatDifferFromTheDefaults) {
  const std::string prefix = "/v1/create-qr-code/?data=AB%20c&size=";
  const std::pair<QrParameters, std::string> cases[] = {
      {{u"AB c", 100, 100}, "100x100"},
      {{u"AB c", 120, 80}, "120x80"},
      {{u"AB c", 100, 100, u"UTF-8", u"L", 16777215, 0, 4}, "100x100&qzone=4"},
      {{u"AB c", 100, 100, u"UTF-8", u"L", 16777215, 0, -1}, "100x100"},
      {{u"AB c", 100, 100, u"UTF-8", u"l"}, "100x100"},
      {{u"AB c", 100, 100, u"UTF-8", u"h"}, "100x100&ecc=h"},
      {{u"AB c", 100, 100, u"UTF-8", u"L", 255}, "100x100&color=FF0000"},
      {{u"AB c", 100, 100, u"UTF-8", u"L", 0x0A0B0C}, "100x100&color=0C0B0A"},
      {{u"AB c", 100, 100, u"UTF-8", u"L", 16777215, 16777215}, "100x100&bgcolor=FFFFFF"},
      {{u"AB c", 100, 100, u"iso-8859-1"}, "100x100&charset-target=ISO-8859-1"},
      {{u"AB c", 100, 100, u"utf-8"}, "100x100"},
      {{u"AB c", 100, 100, u"iso-8859-1", u"q", 0xFF00, 0xFF, 2},
       "100x100&qzone=2&ecc=q&color=00FF00&bgcolor=FF0000&charset-target=ISO-8859-1"},
  };
  for (const auto& [p, tail] : cases) EXPECT_EQ(QrImagePath(p), prefix + tail);
}

TEST(ColorToHex, TranslatesSystemColoursAndRefusesTheRest) {
  EXPECT_EQ(ColorToHex(0x80000005), "FFFFFF");  // window background
  EXPECT_EQ(ColorToHex(0x8000000D), "0078D7");  // highlight
  EXPECT_EQ(ColorToHex(0x80000FFF), "000000");  // no such system colour
  EXPECT_EQ(ColorToHex(0x01000003), "000000");  // palette index, no palette
  EXPECT_EQ(ColorToHex(0x02102030), "302010");  // palette-relative RGB
}

TEST(DecodeForm, HeaderAndBodyAreExactToTheByte) {
  EXPECT_EQ(DecodeFormHeader(),
            "Content-Type: multipart/form-data; boundary=---------------------------30862264243566"
            "\r\n");
  EXPECT_EQ(DecodeFormBody(std::string("\x89\0Z", 3)),
            std::string("-----------------------------30862264243566\r\n"
                        "Content-Disposition: form-data; name=\"f\"; filename=\"FileName\"\r\n"
                        "Content-Type: image/png\r\n\r\n"
                        "\x89\0Z\r\n"
                        "-----------------------------30862264243566--\r\n",
                        187));
}

TEST(DecodeUrlPath, EncodesTheAddressFromItsAnsiBytesAndTheReplyIsUtf8) {
  EXPECT_EQ(DecodeUrlPath(u"http://h/\u00F1.png"), "/w/decode?full=false&u=http%3A%2F%2Fh%2F%F1%2Epng");
  EXPECT_EQ(Utf8ToText("a\xC3\xB1o"), u"a\u00F1o");
  EXPECT_EQ(Utf8ToText(""), u"");
}

}  // namespace
}  // namespace kalvenor
