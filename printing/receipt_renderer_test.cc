#include "printing/receipt_renderer.h"

#include <gtest/gtest.h>

#include <tuple>

#include "base/run_time_error.h"
#include "printing/label_renderer.h"
#include "testing/fake_host.h"

namespace kalvenor {
namespace {

Text Padded(const Text& left, const Text& right = u"") {
  return left + Text(42 - left.size() - right.size(), u' ') + right;
}

// Receipts and labels on a recording printer.
class ReceiptTest : public ::testing::Test {
 protected:
  ReceiptTest() {
    job_.config.left_margin = 100;
    job_.config.small_size = 7;
    job_.config.normal_size = 8;
    job_.config.large_size = 10;
  }
  // Prints one receipt; returns its drawing operations.
  std::vector<PrintOp> Print(Text end_line = u"199 " + Text(38, u'-')) {
    PrintReceipt(end_line, job_, nullptr, host_);
    printer_->EndDoc();
    return printer_->documents.back().ops;
  }
  // Prints the label file of `bytes` at the left edge.
  void Label(const std::string& bytes) {
    job_.config.left_margin = 0;
    sandbox_.Write("C/VENTAS/ETIQUE01.TXT", bytes);
    PrintLabelJob(u"C:\\VENTAS\\ETIQUE01.TXT", u"", job_, host_);
  }
  Sandbox sandbox_;
  RecordingPrinter* printer_ = nullptr;
  Host host_ = MakeTestHost(sandbox_, &printer_);
  Job job_;
};
using LabelTest = ReceiptTest;

const PrintOp* Find(const std::vector<PrintOp>& ops, const Text& prefix) {
  for (const PrintOp& op : ops) {
    if (op.kind == PrintOp::kPrint && StartsWith(op.text, prefix)) return &op;
  }
  return nullptr;
}

// Where each print goes: x, y, font size and boldness.
std::vector<std::tuple<float, float, float, bool>> Layout(const std::vector<PrintOp>& ops) {
  std::vector<std::tuple<float, float, float, bool>> layout;
  for (const PrintOp& op : ops) layout.emplace_back(op.x, op.y, op.font.Size, op.font.Bold);
  return layout;
}

TEST_F(ReceiptTest, HeaderIsCentredOnTheSectionEndLine) {
  SectionLists& s = job_.sections;
  s.header[1] = u"FARMACIA";
  s.header[2] = Text(40, u'W');  // wider than the reference: small size
  s.header[3] = Text(38, u'E');  // exactly as wide: normal size
  s.header[4] = u"CUIT 30-1";    // the last line is left-aligned
  s.header_count = 4;
  // The reference is 38 x 8 x 12 = 3648 twips wide; a line is its size x 24 high.
  EXPECT_EQ(Layout(Print()), (decltype(Layout({})){{(3648 - 768) / 2 + 100, 100, 8, true},
                                                  {(3648 - 3360) / 2 + 100, 292, 7, false},
                                                  {100, 460, 8, false},
                                                  {100, 652, 8, false}}));
  s.header[2] = u"last";
  s.header_count = 2;
  // A reference of width 0: every line is wider, and centring clamps at 0.
  EXPECT_EQ(Layout(Print(u"1990"))[0], std::make_tuple(0.0f, 100.0f, 7.0f, true));
  s.header_count = 1;
  EXPECT_EQ(Layout(Print())[0], std::make_tuple(100.0f, 100.0f, 8.0f, false));  // a single line is plain
}

TEST_F(ReceiptTest, ItemsAreCutBoldByPriceAndShortOnesSkipped) {
  SectionLists& s = job_.sections;
  s.item[1] = u"abc";
  s.item[2] = u"abcd";
  s.item[3] = Padded(u"IBUPROFENO 400", u"12,50");
  s.item[4] = Padded(u"CAJA", u"2 unid.");
  s.item[5] = Padded(u"*  NOTA", u"12,50");
  s.item_count = 5;
  auto ops = Print();
  ASSERT_EQ(ops.size(), 4u);
  EXPECT_EQ(ops[0].text, u"abcd");
  EXPECT_EQ(ops[1].text, Left(s.item[3], 40));
  for (size_t i = 0; i < ops.size(); ++i) EXPECT_EQ(ops[i].font.Bold, i == 1) << i;
}

TEST_F(ReceiptTest, TotalLineFromClientAmountOrFromTheFooter) {
  SectionLists& s = job_.sections;
  s.item[1] = Padded(u"* CLIENTE", u"  $ 1234,56");
  s.item_count = 1;
  s.footer[1] = Padded(u"*A IMPUTAR:  $ 10,00");
  s.footer_count = 1;
  auto ops = Print();
  const PrintOp* total = Find(ops, u" TOTAL $");
  ASSERT_NE(total, nullptr);
  EXPECT_EQ(total->text, u" TOTAL $  1234,56");
  EXPECT_TRUE(total->font.Bold);
  s.item_count = 0;
  ops = Print();
  EXPECT_EQ(Find(ops, u" TOTAL $")->text, u" TOTAL $  $ 10,00" + Text(22, u' '));
}

TEST_F(ReceiptTest, CaeLineIsItalicAndExchangeEndsAfterTheFooter) {
  SectionLists& s = job_.sections;
  s.footer[1] = Padded(u"C.A.E.: 71234567890123");
  s.footer[2] = Padded(u"Comprobante: 0001-00001234");
  s.footer_count = 2;
  s.signature[1] = u"firma";
  s.signature_count = 1;
  auto first = Print();
  const PrintOp* cae = Find(first, u"C.A.E.:");
  ASSERT_NE(cae, nullptr);
  EXPECT_TRUE(cae->font.Italic);
  EXPECT_EQ(cae->x, 0);  // the blank line before it ended at the left edge
  s.item[1] = Padded(u"PODRA EFECTUAR CUALQUIER CAMBIO");
  s.item_count = 1;
  auto exchange = Print();
  EXPECT_NE(Find(exchange, u"Comprobante:"), nullptr);
  EXPECT_EQ(Find(exchange, u"firma"), nullptr);
}

TEST_F(ReceiptTest, FeedCountThreePrintsTwoBlankLinesAndADot) {
  job_.state.feed_count = 3;
  auto ops = Print();
  ASSERT_EQ(ops.size(), 3u);
  EXPECT_EQ(ops[0].text, u"       ");
  EXPECT_EQ(ops[0].x, 100);
  EXPECT_EQ(ops[2].text, u".");
  EXPECT_EQ(ops[2].x, 0);
  job_.state.feed_count = 1;
  Print();
  EXPECT_EQ(printer_->documents.size(), 1u);  // nothing printed: no second document
}

TEST_F(LabelTest, PriceEndsUnderTheTitleAndLotIsCentredBesideIt) {
  Label(Lines({"AMOXICILINA 500", "LOTE 123|$ 1.234,50"}));
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
  Label(Lines({"A", "x|B|C", "_____", " ", "_____", "  ", "|X", "Z", "X|", "_____"}));
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
    EXPECT_EQ(Raised([&] { Label(file); }).first, kInvalidProcedureCall) << file;
  }
}

}  // namespace
}  // namespace kalvenor
