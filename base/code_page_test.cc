#include "base/code_page.h"

#include <gtest/gtest.h>

namespace kalvenor {
namespace {

TEST(CodePage, AnsiCodesUseTheBestFitFallback) {
  struct Case {
    char16_t c;
    unsigned char code;
  } cases[] = {
      {u'A', 65}, {u'ñ', 241}, {u'€', 128},  // exact Windows-1252 codes
      {u'\x2502', 166}, {u'\x03B1', 97}, {u'\x263A', 63},  // best fit, none
  };
  for (const Case& c : cases) EXPECT_EQ(AnsiCode(c.c), c.code) << static_cast<int>(c.c);
  EXPECT_EQ(DecodeAnsi("\x80\xF1"), u"€ñ");
}

}  // namespace
}  // namespace kalvenor
