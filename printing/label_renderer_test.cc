#include "printing/label_renderer.h"

#include <gtest/gtest.h>

#include "base/run_time_error.h"
#include "testing/fake_host.h"

namespace kalvenor {
namespace {

class LabelTest : public ::testing::Test {
 protected:
  LabelTest() {
    job_.config.left_margin = 0;
    job_.config.small_size = 7;
    job_.config.normal_size = 8;
    job_.config.large_size = 10;
  }
  void Run(const std::vector<std::string>& lines) {
    sandbox_.Write("C/VENTAS/ETIQUE01.TXT", Lines(lines));
    PrintLabelJob(u"C:\\VENTAS\\ETIQUE01.TXT", u"", job_, host_);
  }
  Sandbox sandbox_;
  RecordingPrinter* printer_ = nullptr;
  Host host_ = MakeTestHost(sandbox_, &printer_);
  Job job_;
};

TEST_F(LabelTest, PriceEndsUnderTheTitleAndLotIsCentredBesideIt) {
  Run({"AMOXICILINA 500", "LOTE 123|$ 1.234,50"});
  ASSERT_EQ(printer_->documents.size(), 1u);
  const auto& ops = printer_->documents[0].ops;
  ASSERT_EQ(ops.size(), 3u);
  const float title_width = 15 * 10 * 12;  // 15 characters at size 10
  EXPECT_TRUE(ops[0].font.Bold);
  const PrintOp& price = ops[1];
  EXPECT_EQ(price.text, u"$ 1.234,50");
  EXPECT_TRUE(price.font.Bold);
  EXPECT_EQ(price.x + 10 * 15 * 12, title_width);
  EXPECT_EQ(price.y, 240);  // the band starts below the title
  const PrintOp& lot = ops[2];
  EXPECT_FALSE(lot.font.Bold);
  EXPECT_EQ(lot.x, 0);
  EXPECT_EQ(lot.y, 240 + (360 - 168) / 2);  // band 15 x 24, lot 7 x 24
}

TEST_F(LabelTest, SeparatorsEndDocumentsAndSpacesAreSkippedOrTitles) {
  Run({"A", "x|B|C", "_____", " ", "_____", "  ", "|X", "Z", "X|", "_____"});
  ASSERT_EQ(printer_->documents.size(), 2u);
  EXPECT_EQ(printer_->Texts(0)[1], u"B|C");
  std::vector<Text> second = printer_->Texts(1);
  ASSERT_EQ(second.size(), 6u);
  EXPECT_EQ(second[0], u"  ");  // two spaces: a title
  EXPECT_EQ(second[2], u"");     // empty left part
  EXPECT_EQ(printer_->documents[1].ops[4].x, 1 * 10 * 12);  // empty right part ends at the title's end
}

TEST_F(LabelTest, MissingDetailLineFailsAsAnInvalidCall) {
  // A title as the file's last line, with or without its line end.
  for (const char* file : {"A\r\n", "TITULO", "A\r\nx|1\r\nB"}) {
    SCOPED_TRACE(file);
    sandbox_.Write("C/VENTAS/ETIQUE01.TXT", file);
    try {
      PrintLabelJob(u"C:\\VENTAS\\ETIQUE01.TXT", u"", job_, host_);
      ADD_FAILURE() << "no error";
    } catch (const RunTimeError& error) {
      EXPECT_EQ(error.number(), kInvalidProcedureCall);
    }
  }
}

}  // namespace
}  // namespace kalvenor
