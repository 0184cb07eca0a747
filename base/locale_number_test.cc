#include "base/locale_number.h"

#include <gtest/gtest.h>

#include "base/run_time_error.h"
#include "testing/fake_host.h"

namespace kalvenor {
namespace {

TEST(ParseLocaleNumber, DecimalCommaAndThousandsPoint) {
  struct Case {
    Text text;
    std::optional<double> value;
  } cases[] = {
      {u"  12   ", 12},      {u"$ -1.234,56", -1234.56}, {u"1,5E2", 150},
      {u"-", std::nullopt}, {u"1,2,3", std::nullopt},     {u"1E", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseLocaleNumber(c.text), c.value) << ToUtf8(c.text);
}

TEST(CInt, RoundsHalvesToEvenAndChecksTheRange) {
  const std::pair<Text, int> values[] = {{u"7,5", 8}, {u"8,5", 8}, {u"-2,5", -2}, {u"-32768", -32768}};
  for (const auto& [text, value] : values) EXPECT_EQ(CInt(text), value) << ToUtf8(text);
  const std::pair<Text, std::string> errors[] = {{u"32768", "Overflow"}, {u"   ", "Type mismatch"}};
  for (const auto& [text, error] : errors) EXPECT_EQ(Raised([&] { CInt(text); }).second, error) << ToUtf8(text);
}

}  // namespace
}  // namespace kalvenor
