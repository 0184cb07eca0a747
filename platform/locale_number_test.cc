#include "platform/locale_number.h"

#include <gtest/gtest.h>

#include "platform/run_time_error.h"

namespace kalvenor {
namespace {

TEST(ParseLocaleNumber, DecimalCommaAndThousandsPoint) {
  struct Case {
    Text text;
    std::optional<double> value;
  } cases[] = {
      {u"1.234,56", 1234.56}, {u"1234,56", 1234.56}, {u"  12   ", 12},  {u"-3", -3},
      {u"$ 1.234,56", 1234.56}, {u" 1234,56", 1234.56}, {u"7,5", 7.5}, {u"1,5E2", 150},
      {u"", std::nullopt},      {u"ABC", std::nullopt},  {u"A5", std::nullopt},
      {u"1,2,3", std::nullopt}, {u"12 3", std::nullopt}, {u"-", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseLocaleNumber(c.text), c.value) << ToUtf8(c.text);
  }
}

TEST(CInt, RoundsHalvesToEvenAndChecksTheRange) {
  EXPECT_EQ(CInt(u"7,5"), 8);
  EXPECT_EQ(CInt(u"8,5"), 8);
  EXPECT_EQ(CInt(u"-2,5"), -2);
  EXPECT_EQ(CInt(u"32767"), 32767);
  EXPECT_EQ(CInt(u"-32768"), -32768);
  try {
    CInt(u"32768");
    FAIL();
  } catch (const RunTimeError& e) {
    EXPECT_EQ(e.description(), "Overflow");
  }
  try {
    CInt(u"   ");
    FAIL();
  } catch (const RunTimeError& e) {
    EXPECT_EQ(e.description(), "Type mismatch");
  }
}

}  // namespace
}  // namespace kalvenor
