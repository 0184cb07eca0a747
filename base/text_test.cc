#include "base/text.h"

#include <gtest/gtest.h>

namespace kalvenor {
namespace {

TEST(Text, OneBasedPositionsTrimReplaceAndCase) {
  Text s = u"Receta/Matricula: 0000000001234";
  EXPECT_EQ(Mid(s, 19, 13), u"0000000001234");
  EXPECT_EQ(InStr(s, u"Matricula"), 8u);
  EXPECT_EQ(Right(u"abc", 5), u"abc");
  EXPECT_EQ(Mid(u"abc", 4), u"");
  EXPECT_EQ(InStrRev(u"a;b;c", u";"), 4u);
  EXPECT_EQ(InStrNoCase(u"c0001234.etiQUE", u"ETIQUE"), 10u);
  EXPECT_EQ(Trim(u" \t1\r\n  "), u"\t1\r\n");  // spaces only
  EXPECT_EQ(Replace(u"aaa", u"aa", u"b"), u"ba");  // left to right
  EXPECT_EQ(LCase(u"TICKET (Ñ)"), u"ticket (ñ)");
}

}  // namespace
}  // namespace kalvenor
