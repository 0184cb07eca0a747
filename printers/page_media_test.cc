#include "printers/page_media.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "base/locale_number.h"
#include "base/trace.h"

namespace kalvenor {
namespace {

struct MediaCase {
  const char* document;
  const char* media;
};

// Whole points rounded up, from the box's corners; a box that is not four plain numbers, or not a
// page, is passed over for the next key.
const MediaCase kMediaCases[] = {
    {"%PDF-1.5\n<< /MediaBox [ 0 0 226.77 740.3 ] >>", "Custom.227x741"},
    {"<< /MediaBox [0 0 226.8 500] >>", "Custom.227x500"},
    {"<< /MediaBox [ 10 20 110.5 220 ] >>", "Custom.101x200"},
    {"<< /MediaBox [ 0 0 1e3 5E2 ] >>", "Custom.1000x500"},
    {"%!PS-Adobe-3.0\n%%BoundingBox: 0 0 227 612\n", "Custom.227x612"},
    {"<< /MediaBox [ 0 0 226,77 740 ] >>", ""},  // a decimal comma is not a number here
    {"<< /MediaBox [ 0 0 100 ] >>", ""},
    {"<< /MediaBox [ 0 0 0 740 ] >>", ""},
    {"<< /MediaBox [ 0 0 1e12 740 ] >>", ""},
    {"<< /MediaBox [ 0 0 nan 740 ] >>", ""},
    {"<< /MediaBox [ 0 0 x 1 ] >>\n%%BoundingBox: 0 0 300 400\n", "Custom.300x400"},
    {"%PDF-1.5 no box", ""},
};

TEST(PageMediaOf, BoxesOfPdfAndPostScript) {
  for (const MediaCase& c : kMediaCases) EXPECT_EQ(PageMediaOf(c.document), c.media) << c.document;
}

// A counter's locale reads and writes numbers with a decimal comma ("1.234,5"); the printers'
// documents, the trace and the desktop window's locale-aware input must not change with it.
// The process's locale, restored when it goes.
struct LocaleGuard {
  std::string saved = std::setlocale(LC_ALL, nullptr);
  ~LocaleGuard() { std::setlocale(LC_ALL, saved.c_str()); }
};

TEST(NumbersUnderADecimalCommaLocale, PointNumbersStayPointNumbers) {
  LocaleGuard guard;
  if (std::setlocale(LC_ALL, "es_AR.UTF-8") == nullptr) {
    GTEST_SKIP() << "the locale es_AR.UTF-8 is not generated (scripts/setup.sh generates it)";
  }
  ASSERT_EQ(std::to_string(2.5), "2,500000") << "the locale in force should write a decimal comma";
  for (const MediaCase& c : kMediaCases) EXPECT_EQ(PageMediaOf(c.document), c.media) << c.document;
  const std::pair<double, const char*> written[] = {
      {1234.5, "1234.5"}, {-0.125, "-0.125"}, {1e20, "1e+20"}, {7, "7"}, {2.0 / 3, "0.6666666667"}};
  for (const auto& [value, text] : written) EXPECT_EQ(JsonNumber(value) + FormatPlainNumber(value, 10), std::string(text) + text);
  const std::pair<const char*, std::optional<double>> read[] = {
      {"57.5", 57.5}, {" -1e3 ", -1000}, {"57,5", std::nullopt}, {"0.125", 0.125}};
  for (const auto& [text, value] : read) EXPECT_EQ(ParsePlainNumber(text), value) << text;
  const std::pair<Text, double> typed[] = {{u"1.234,56", 1234.56}, {u"$ 10,00", 10}, {u"-2,5E1", -25}};
  for (const auto& [text, value] : typed) EXPECT_EQ(ParseLocaleNumber(text), value) << ToUtf8(text);
}

}  // namespace
}  // namespace kalvenor
