#include "app/config.h"

#include <gtest/gtest.h>

#include <tuple>

#include "app/feed_count.h"
#include "testing/fake_host.h"

namespace kalvenor {
namespace {

// One 49-byte record: caption, separator, the value in 25 columns, blank, CR LF.
std::string Record(const std::string& value) {
  return "Setting             =" + value + std::string(25 - value.size(), ' ') + " \r\n";
}

class ConfigTest : public ::testing::Test {
 protected:
  Sandbox sandbox_;
  RecordingPrinter* printer_ = nullptr;
  Host host_ = MakeTestHost(sandbox_, &printer_);
};

TEST_F(ConfigTest, FiveRecordsOrAllDefaultsAndMadeWhenMissing) {
  using Fields = std::tuple<Text, int, int, int, int>;
  const Fields defaults = {u"Consolas", 0, 7, 8, 10};
  struct Case {
    const char* name;
    std::string bytes;
    Fields config;
  } cases[] = {
      {"trimmed and rounded", Record("Lucida Console") + Record("  12   ") + Record("7,5") + Record("8,5") +
                                  Record("11"), {u"Lucida Console", 12, 8, 8, 11}},
      {"long name cut", "Font                =" + std::string(26, 'F') + "\r\n" + Record("0") + Record("7") +
                            Record("8") + Record("10"),
       {Text(25, u'F'), 0, 7, 8, 10}},
      {"four records", Record("Arial") + Record("0") + Record("7") + Record("8"), defaults},
  };
  for (const Case& c : cases) {
    sandbox_.Write("C/CAJA/kalvenor.ini", c.bytes);  // found in any letter case
    Config config = ReadConfiguration(host_);
    EXPECT_EQ(Fields(config.font_name, config.left_margin, config.small_size, config.normal_size,
                     config.large_size), c.config) << c.name;
  }
  std::remove(sandbox_.Path("C/CAJA/kalvenor.ini").c_str());
  EXPECT_EQ(ReadConfiguration(host_).font_name, u"Consolas");  // no file: defaults, and one is made
  EXPECT_TRUE(sandbox_.Exists("C/CAJA/KALVENOR.INI"));
}

TEST_F(ConfigTest, FeedCountFromTheFirstTwoCharacters) {
  struct Case {
    std::string bytes;
    int16_t count;
  } cases[] = {{"07", 7}, {"10", 1}, {"AB", 0}, {"A5", 0}, {"3", 3}, {"42 and more", 42}};
  for (const Case& c : cases) {
    sandbox_.Write("C/ZOV/comanrng.zov", c.bytes);
    EXPECT_EQ(ReadFeedCount(host_), c.count) << c.bytes;
  }
  std::remove(sandbox_.Path("C/ZOV/comanrng.zov").c_str());
  EXPECT_EQ(ReadFeedCount(host_), 0);
}

}  // namespace
}  // namespace kalvenor
