#include "printing/cae_reply.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <optional>

#include "base/run_time_error.h"
#include "printing/receipt_qr.h"
#include "testing/barcode_testing.h"

namespace kalvenor {
namespace {

TEST(CaeReplyPath, ReceiptNumberFromTheSlipNameOnTheProgramDrive) {
  JobState state;
  state.program_drive = u"D:";
  state.slip_file_name = u"AB987654.TXT";  // from C:\COMANDAS\AB987654.TXT
  EXPECT_EQ(CaeReplyPath(state), u"D:\\CAE\\RTA\\R-987654.csv");
  state.slip_file_name = u"\\A.TXT";  // a short name
  EXPECT_EQ(CaeReplyPath(state), u"D:\\CAE\\RTA\\R-.TXT.csv");
}

const std::string kLink = "https://www.afip.gob.ar/fe/qr/?p=eyJ2ZXIiOjF9";

// The reply file of slip C0123456.TXT on a drive C: of its own.
class CaeReplyTest : public testing::Test {
 protected:
  void SetUp() override {
    mkdir((folder_ + "/CAE").c_str(), 0755);
    mkdir((folder_ + "/CAE/RTA").c_str(), 0755);
    job_.state.slip_file_name = u"C0123456.TXT";
  }
  void Reply(const std::string& bytes) { WriteBytes(folder_ + "/CAE/RTA/R-123456.csv", bytes); }
  Sandbox temp_;
  std::string folder_ = temp_.root();
  Host host_ = MakeQrTestHost({{"KALVENOR_DRIVE_C", folder_}});
  Job job_;
};

TEST_F(CaeReplyTest, ReadsTheLastFieldWithoutTheLineEnd) {
  struct Case {
    const char* what;
    std::string file;
    std::optional<Text> data;  // none: the job fails
  } cases[] = {
      {"several records", "a;b;c\r\n1;2;" + kLink + "\r\n", FromUtf8(kLink)},
      {"spaces around", "1;  " + kLink + "   \r\n", FromUtf8(kLink)},
      {"no separator", kLink + "\r\n", FromUtf8(kLink)},
      {"no line end", "1;" + kLink + "xy", FromUtf8(kLink)},
      {"Windows-1252 text", "1;afip \xF1\r\n", u"afip \u00F1"},
      {"no afip", "1;https://example.com/qr?p=1\r\n", u""},
      {"empty field", "1;2;\r\n", u""},
      {"field of one character", "1;2;x", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Reply(c.file);
    try {
      EXPECT_EQ(ReadCaeQrData(job_, host_), c.data);
    } catch (const RunTimeError& e) {
      EXPECT_EQ(c.data, std::nullopt);
      EXPECT_EQ(e.number(), kInvalidProcedureCall);
    }
  }
}

TEST_F(CaeReplyTest, MissingFileOrAFolderInItsPlaceIsNoReply) {
  EXPECT_EQ(ReadCaeQrData(job_, host_), u"");
  mkdir((folder_ + "/CAE/RTA/R-123456.csv").c_str(), 0755);
  EXPECT_EQ(ReadCaeQrData(job_, host_), u"");
}

// The QR block paints below the current point, and only on the first printed copy.
TEST_F(CaeReplyTest, ReceiptQrOnTheFirstPrintedCopyOnly) {
  struct Case {
    int16_t section;
    bool insurer_difference;
    std::string reply;
    bool printed;
  } cases[] = {
      {0, false, kLink, true},  {0, true, kLink, true},     {1, false, kLink, true},
      {1, true, kLink, false},  {2, false, kLink, false},   {0, false, "https://example.com/qr", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.section << " " << c.insurer_difference << " " << c.reply);
    Reply("20240514;74123456789012;" + c.reply + "\r\n");
    job_.sections.section = c.section;
    job_.prescan.insurer_difference = c.insurer_difference;
    RecordingPrinter printer;
    printer.CurrentX = 77;
    printer.CurrentY = 2000;
    PrintReceiptQrCode(job_, host_, printer);
    EXPECT_EQ(std::pair(printer.CurrentX, printer.CurrentY), std::pair(77.0f, 2000.0f));
    ASSERT_EQ(printer.open_ops.size(), c.printed ? 1u : 0u);
    if (!c.printed) continue;
    const PrintOp& op = printer.open_ops[0];
    EXPECT_EQ(std::tuple(op.x, op.y, op.picture != nullptr), std::tuple(900.0f, 2100.0f, true));
  }
}

}  // namespace
}  // namespace kalvenor
