#include "printing/comanda_renderer.h"

#include <gtest/gtest.h>

#include "base/run_time_error.h"
#include "printing/slip_file.h"
#include "testing/fake_host.h"

namespace kalvenor {
namespace {

// The slip C:\VENTAS\C0001234.TXT, pre-scanned alone or printed as a job.
class ComandaTest : public ::testing::Test {
 protected:
  PreScan Scan(const std::vector<std::string>& lines) {
    sandbox_.Write("C/VENTAS/C0001234.TXT", Lines(lines));
    PreScan prescan;
    PreScanSlip(slip_, prescan, host_);
    return prescan;
  }
  // Pre-scans and prints `lines` as a new job; returns the printer's documents.
  const std::vector<RecordingPrinter::Document>& Run(const std::vector<std::string>& lines) {
    job_ = Job();
    job_.prescan = Scan(lines);
    printer_->documents.clear();
    PrintComandaJob(slip_, u"", job_, host_);
    return printer_->documents;
  }
  Text slip_ = u"C:\\VENTAS\\C0001234.TXT";
  Sandbox sandbox_;
  RecordingPrinter* printer_ = nullptr;
  Host host_ = MakeTestHost(sandbox_, &printer_);
  Job job_;
};
using SlipFileTest = ComandaTest;

// A 42-character line text with `right` ending at column 46.
std::string RightAligned(const std::string& left, const std::string& right) {
  return left + std::string(42 - left.size() - right.size(), ' ') + right;
}

// Document `doc` in order: "H" the header, "1" to "3" the copy's item, "F" and "D" the captions.
std::string Marks(RecordingPrinter& printer, size_t doc) {
  std::string marks;
  for (const Text& t : printer.Texts(doc)) {
    if (t == u"FARMACIA CENTRAL") marks += "H";
    if (StartsWith(t, u"Item copy ")) marks += ToUtf8(t.substr(10, 1));
    if (t == u"-------------FIRMA AFILIADO-------------") marks += "F";
    if (t == u"-------------DNI Y DOMICILIO------------") marks += "D";
  }
  return marks;
}

TEST_F(ComandaTest, WhichCopiesPrintAndWithWhatCaptions) {
  struct Case {
    const char* name;
    std::string extra_item;  // in the first copy
    bool third;              // a third copy follows
    std::vector<std::string> documents;
  } cases[] = {
      {"no difference: the second copy", "", false, {"H2"}},
      {"a difference: the first copy", "Dif. O.S.        1,00", false, {"H1"}},
      {"a third copy, with the captions", "", true, {"H2", "H3FD"}},
      {"own client signature: no captions", "*              Firma Cliente", true, {"H2", "H3"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> lines = {SlipLineOf('1', 0, "FARMACIA CENTRAL"),
                                      SlipLineOf('1', 30, "Item copy 1")};
    if (!c.extra_item.empty()) lines.push_back(SlipLineOf('1', 30, c.extra_item));
    lines.push_back(SlipLineOf('1', 99, ""));
    lines.push_back(SlipLineOf('2', 30, "Item copy 2"));
    lines.push_back(SlipLineOf('2', 99, ""));
    if (c.third) {
      lines.push_back(SlipLineOf('3', 30, "Item copy 3"));
      lines.push_back(SlipLineOf('3', 99, ""));
    }
    std::vector<std::string> documents;
    for (size_t doc = 0; doc < Run(lines).size(); ++doc) documents.push_back(Marks(*printer_, doc));
    EXPECT_EQ(documents, c.documents);
    if (c.third) continue;
    lines.insert(lines.begin() + 2, "");  // an empty line ends the slip
    EXPECT_TRUE(Run(lines).empty());
  }
}

// Items padded to 42 columns, "$0,00", ",00" and box-drawing rules blanked, a slot after "* IMPORTE".
TEST_F(ComandaTest, ItemTextReplacementsAndSlots) {
  const std::pair<std::string, Text> items[] = {
      {"Vend.   2 x $0,00", u"Vend.   2 x"},
      {"1 Vend. 3,00", u"1 Vend. 3"},
      {"\xB3--------------------x", u""},  // box character, ANSI 166
      {"|--------------------y", u"|--------------------y"},
      {"* IMPORTE        10,00", u"* IMPORTE        10,00"},
      {"* CLIENTE        10,00", u"* CLIENTE        10,00"},
      {"next item", u"next item"},
  };
  std::vector<std::string> lines = {SlipLineOf('1', 99, "")};
  for (const auto& item : items) lines.push_back(SlipLineOf('2', 30, item.first));
  lines.push_back(SlipLineOf('2', 99, ""));
  ASSERT_EQ(Run(lines).size(), 1u);
  for (size_t i = 0; i < std::size(items); ++i) {
    EXPECT_EQ(job_.sections.item[i + 1], items[i].second + Text(42 - items[i].second.size(), u' ')) << i;
  }
}

TEST_F(ComandaTest, QuoteClearsBarcodesAndKeepsCodes86To88) {
  Run({SlipLineOf('1', 5, "Presupuesto"), SlipLineOf('1', 81, "Receta/Matricula: 0000000001234"),
       SlipLineOf('1', 86, "footer 86"), SlipLineOf('1', 99, ""), SlipLineOf('2', 99, "")});
  EXPECT_FALSE(job_.prescan.prescription_flag);
  EXPECT_EQ(job_.sections.footer_count, 2);  // codes 81 and 86
}

TEST_F(ComandaTest, OrderNumberReplacesThePrescriptionText) {
  Run({SlipLineOf('1', 98, "NUMERO DE LA COMANDA:123456789"), SlipLineOf('1', 99, "")});
  EXPECT_EQ(job_.prescan.prescription_text, u"123456789");
}

TEST_F(ComandaTest, HundredItemsPrintAndTheHundredFirstFails) {
  std::vector<std::string> lines = {SlipLineOf('1', 99, "")};
  for (int i = 1; i <= 100; ++i) lines.push_back(SlipLineOf('2', 30, "item " + std::to_string(i)));
  lines.push_back(SlipLineOf('2', 99, ""));
  EXPECT_EQ(Run(lines).size(), 1u);
  EXPECT_EQ(printer_->Texts(0).size(), 100u);
  lines.insert(lines.end() - 1, SlipLineOf('2', 30, "item 101"));
  EXPECT_THROW(Run(lines), RunTimeError);
}

TEST_F(ComandaTest, FourteenHeaderLinesFail) {
  std::vector<std::string> lines;
  for (int i = 0; i < 14; ++i) lines.push_back(SlipLineOf('1', 0, "header"));
  EXPECT_THROW(Run(lines), RunTimeError);
  EXPECT_EQ(job_.sections.header_count, 13);
}

TEST_F(SlipFileTest, CopyAmountsAndInsurerDifference) {
  struct Case {
    std::string caption1, amount1, amount2;
    Text copy1_amount;
    bool difference;
  } cases[] = {
      {"* CLIENTE", "$ 1.234,56", "$ 1.234,56", u" 1.234,56", false},  // the blank after "$" stays
      {"* CLIENTE", "$ 1.240,00", "$ 1.234,56", u" 1.240,00", true},
      {"*A IMPUTAR:", "$ 11,00", "$ 10,00", u"$ 11,00", false},  // exactly 1 apart
      {"*A IMPUTAR:", "$ 11,01", "$ 10,00", u"$ 11,01", true},
  };
  for (const Case& c : cases) {
    PreScan prescan = Scan({SlipLineOf('1', 30, RightAligned(c.caption1, c.amount1)),
                            SlipLineOf('2', 30, RightAligned("* CLIENTE", c.amount2))});
    EXPECT_EQ(prescan.copy1_amount, c.copy1_amount) << c.amount1;
    EXPECT_EQ(prescan.insurer_difference, c.difference) << c.amount1;
  }
  EXPECT_EQ(Scan({SlipLineOf('2', 30, RightAligned("* CLIENTE", "$ 1.234,56"))}).copy2_amount, u" 1234,56");
}

TEST_F(SlipFileTest, FlagsAndBarcodeTexts) {
  PreScan prescan = Scan({
      SlipLineOf('1', 30, "Obra social PAMI"),
      "",  // the pre-scan reads on past an empty line
      SlipLineOf('1', 81, "Receta/Matricula: 0000000001234"),
      SlipLineOf('1', 82, "Codigo Autorizacion:12345678901234567890"),
      SlipLineOf('1', 82, "Codigo Autorizacion:99999999999999999999"),
      SlipLineOf('3', 99, ""),
  });
  EXPECT_TRUE(prescan.insurer);
  EXPECT_EQ(prescan.prescription_text, u"0000000001234");
  EXPECT_TRUE(prescan.prescription_flag);
  EXPECT_EQ(prescan.authorisation_text, u"12345678901234567890");  // only the first counts
  EXPECT_TRUE(prescan.authorisation_flag);
  EXPECT_EQ(prescan.last_section_digit, 3);
  EXPECT_FALSE(Scan({SlipLineOf('1', 30, "obra social pami")}).insurer);
  EXPECT_FALSE(Scan({SlipLineOf('1', 81, "Receta/Matricula: 1")}).prescription_flag);
  EXPECT_FALSE(Scan({SlipLineOf('1', 81, "Receta/Matricula: ABC")}).prescription_flag);
}

// A non-digit section is the whole-job tests' binary file.
TEST_F(SlipFileTest, NonDigitCodeIsATypeMismatch) {
  EXPECT_EQ(Raised([&] { Scan({"1A0 item"}); }).second, "Type mismatch");
}

TEST_F(SlipFileTest, CleaningTurnsNulsIntoSpacesAndKeepsCodePage437) {
  std::string slip = SlipLineOf('1', 30, std::string("Peque\xA4o", 7) + std::string("\0\0x", 3)) + "\r\n";
  sandbox_.Write("C/VENTAS/C0001234.TXT", slip);
  CleanSlipFile(slip_, host_);
  EXPECT_EQ(sandbox_.Read("C/VENTAS/C0001234.TXT"), "130 Peque\xA4o  x\r\n\r\n");
}

TEST(SplitSlipLine, PadsAndCutsTheTextToFortyTwoColumns) {
  SlipLine short_line = SplitSlipLine(u"1 5 abc");
  EXPECT_EQ(short_line.line_code, 5);
  EXPECT_EQ(short_line.text, u"abc" + Text(39, u' '));
  EXPECT_EQ(SplitSlipLine(u"130 " + Text(50, u'x')).text, Text(42, u'x'));
}

}  // namespace
}  // namespace kalvenor
