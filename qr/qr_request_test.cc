#include "qr/qr_request.h"

#include <gtest/gtest.h>

namespace kalvenor {
namespace {

TEST(UrlEncode, EncodesEverythingButAsciiLettersAndDigits) {
  const std::pair<Text, std::string> cases[] = {
      {u"\u00F1\u20AC", "%C3%B1%E2%82%AC"},  // through the UTF-8 bytes
      {u"-._~/:?=&+", "%2D%2E%5F%7E%2F%3A%3F%3D%26%2B"},
      {u"\n09azAZ", "%0A09azAZ"},
  };
  for (const auto& [text, encoded] : cases) EXPECT_EQ(UrlEncode(TextToUtf8(text)), encoded) << ToUtf8(text);
}

TEST(QrImagePath, AddsOnlyParametersThatDifferFromTheDefaults) {
  const std::string prefix = "/v1/create-qr-code/?data=AB%20c&size=";
  const std::pair<QrParameters, std::string> cases[] = {
      {{u"AB c", 120, 80, u"UTF-8", u"l", 16777215, 0, -1}, "120x80"},
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

TEST(DecodeUrlPath, EncodesTheAddressFromItsAnsiBytes) {
  EXPECT_EQ(DecodeUrlPath(u"http://h/\u00F1.png"), "/w/decode?full=false&u=http%3A%2F%2Fh%2F%F1%2Epng");
}

}  // namespace
}  // namespace kalvenor
