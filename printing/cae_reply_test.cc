#include "printing/cae_reply.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "platform/run_time_error.h"
#include "testing/barcode_testing.h"

namespace kalvenor {
namespace {

TEST(CaeReplyPath, ReceiptNumberFromTheSlipNameOnTheProgramDrive) {
  struct Case {
    Text drive, slip_file_name, path;
  } cases[] = {
      {u"C:", u"C0123456.TXT", u"C:\\CAE\\RTA\\R-123456.csv"},
      {u"D:", u"AB987654.TXT", u"D:\\CAE\\RTA\\R-987654.csv"},  // from C:\COMANDAS\AB987654.TXT
      {u"C:", u"\\A.TXT", u"C:\\CAE\\RTA\\R-.TXT.csv"},          // a short name
  };
  for (const Case& c : cases) {
    JobState state;
    state.program_drive = c.drive;
    state.slip_file_name = c.slip_file_name;
    EXPECT_EQ(CaeReplyPath(state), c.path);
  }
}

class ReadCaeQrDataTest : public testing::Test {
 protected:
  void SetUp() override {
    mkdir((folder_ + "/CAE").c_str(), 0755);
    mkdir((folder_ + "/CAE/RTA").c_str(), 0755);
    job_.state.slip_file_name = u"C0123456.TXT";
  }
  void Reply(const std::string& bytes) { WriteBytes(folder_ + "/CAE/RTA/R-123456.csv", bytes); }
  Text Read() { return ReadCaeQrData(job_, host_); }

  Sandbox temp_;
  std::string folder_ = temp_.root();
  Host host_ = MakeQrTestHost({{"KALVENOR_DRIVE_C", folder_}});
  Job job_;
};

TEST_F(ReadCaeQrDataTest, TakesTheLastFieldWithoutTheLineEnd) {
  const std::string link = "https://www.afip.gob.ar/fe/qr/?p=eyJ2ZXIiOjF9";
  struct Case {
    const char* what;
    std::string file;
    Text data;
  } cases[] = {
      {"one record", "20240514;74123456789012;" + link + "\r\n", FromUtf8(link)},
      {"several records", "a;b;c\r\n1;2;" + link + "\r\n", FromUtf8(link)},
      {"spaces around", "1;  " + link + "   \r\n", FromUtf8(link)},
      {"no separator", link + "\r\n", FromUtf8(link)},
      {"two line ends", "1;" + link + "\r\n\r\n", FromUtf8(link) + u"\r\n"},
      {"no line end", "1;" + link + "xy", FromUtf8(link)},
      {"Windows-1252 text", "1;afip \xF1\r\n", u"afip \u00F1"},
      {"no afip", "1;https://example.com/qr?p=1\r\n", u""},
      {"letter case counts", "1;https://www.AFIP.gob.ar/fe/qr/\r\n", u""},
      {"empty field", "1;2;\r\n", u""},
      {"spaces only", "1;    \r\n", u""},
  };
  for (const Case& c : cases) {
    Reply(c.file);
    EXPECT_EQ(Read(), c.data) << c.what;
  }
}

TEST_F(ReadCaeQrDataTest, MissingFileGivesNoData) { EXPECT_EQ(Read(), u""); }

TEST_F(ReadCaeQrDataTest, FieldShorterThanItsLineEndFailsTheJob) {
  for (const std::string file : {"", "x", "1;2;x", "1;afip;"}) {
    Reply(file);
    try {
      Read();
      ADD_FAILURE() << "no failure for \"" << file << "\"";
    } catch (const RunTimeError& e) {
      EXPECT_EQ(e.number(), kInvalidProcedureCall) << file;
      EXPECT_STREQ(e.what(), "Invalid procedure call or argument");
    }
  }
}

TEST_F(ReadCaeQrDataTest, FolderInPlaceOfTheFileIsNoReply) {
  mkdir((folder_ + "/CAE/RTA/R-123456.csv").c_str(), 0755);
  EXPECT_EQ(Read(), u"");
}

}  // namespace
}  // namespace kalvenor
