#include "app/config.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "app/feed_count.h"
#include "testing/fake_host.h"

namespace kalvenor {
namespace {

// One 49-byte record: caption, separator, the value in 25 columns, a blank
// column, CR LF.
std::string Record(const std::string& value) {
  std::string caption = "Setting             ";
  std::string field = value + std::string(25 - value.size(), ' ');
  return caption + "=" + field + " \r\n";
}

class ConfigTest : public ::testing::Test {
 protected:
  Sandbox sandbox_;
  RecordingPrinter* printer_ = nullptr;
  Host host_ = MakeTestHost(sandbox_, &printer_);
};

TEST_F(ConfigTest, ReadsFiveRecordsWithTrimmingAndRounding) {
  sandbox_.Write("C/CAJA/kalvenor.ini",
                 Record("Lucida Console") + Record("  12   ") + Record("7,5") + Record("8,5") + Record("11"));
  Config config = ReadConfiguration(host_);
  EXPECT_EQ(config.font_name, u"Lucida Console");
  EXPECT_EQ(config.left_margin, 12);
  EXPECT_EQ(config.small_size, 8);
  EXPECT_EQ(config.normal_size, 8);
  EXPECT_EQ(config.large_size, 11);
}

TEST_F(ConfigTest, AnyBadRecordGivesAllDefaults) {
  for (std::string bytes : {Record("Arial") + Record("0") + Record("7") + Record("8"),   // four records
                            Record("Arial") + Record("x") + Record("7") + Record("8") + Record("9"),
                            Record("Arial") + Record("40000") + Record("7") + Record("8") + Record("9")}) {
    sandbox_.Write("C/CAJA/KALVENOR.INI", bytes);
    Config config = ReadConfiguration(host_);
    EXPECT_EQ(config.font_name, u"Consolas");
    EXPECT_EQ(config.left_margin, 0);
    EXPECT_EQ(config.small_size, 7);
    EXPECT_EQ(config.normal_size, 8);
    EXPECT_EQ(config.large_size, 10);
  }
}

TEST_F(ConfigTest, LongFontNameIsCutAndBlankNameStays) {
  sandbox_.Write("C/CAJA/KALVENOR.INI", "Font                =" + std::string(26, 'F') + "\r\n" +
                                            Record("0") + Record("7") + Record("8") + Record("10"));
  EXPECT_EQ(ReadConfiguration(host_).font_name, Text(25, u'F'));
  sandbox_.Write("C/CAJA/KALVENOR.INI", Record("") + Record("0") + Record("7") + Record("8") + Record("10"));
  EXPECT_EQ(ReadConfiguration(host_).font_name, u"");
}

TEST_F(ConfigTest, MissingFileGivesDefaultsAndLeavesAnEmptyFile) {
  Config config = ReadConfiguration(host_);
  EXPECT_EQ(config.font_name, u"Consolas");
  EXPECT_TRUE(sandbox_.Exists("C/CAJA/KALVENOR.INI"));
  EXPECT_EQ(sandbox_.Read("C/CAJA/KALVENOR.INI"), "");
}

TEST_F(ConfigTest, FeedCountFromTheFirstTwoCharacters) {
  struct Case {
    std::string bytes;
    int16_t count;
  } cases[] = {{"07", 7}, {" 5", 5}, {"5 ", 5}, {"10", 1}, {"00", 0}, {"AB", 0},
               {"A5", 0}, {"-3", -3}, {"3", 3}, {"", 0},    {"42 and more", 42}};
  for (const Case& c : cases) {
    sandbox_.Write("C/ZOV/comanrng.zov", c.bytes);
    EXPECT_EQ(ReadFeedCount(host_), c.count) << c.bytes;
  }
  std::remove(sandbox_.Path("C/ZOV/comanrng.zov").c_str());
  EXPECT_EQ(ReadFeedCount(host_), 0);
}

}  // namespace
}  // namespace kalvenor
