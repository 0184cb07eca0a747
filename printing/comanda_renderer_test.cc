#include "printing/comanda_renderer.h"

#include <gtest/gtest.h>

#include "base/run_time_error.h"
#include "printing/slip_file.h"
#include "testing/fake_host.h"

namespace kalvenor {
namespace {

class ComandaTest : public ::testing::Test {
 protected:
  // Pre-scans and prints `lines` as a new job; returns the printer's documents.
  const std::vector<RecordingPrinter::Document>& Run(const std::vector<std::string>& lines) {
    sandbox_.Write("C/VENTAS/C0001234.TXT", Lines(lines));
    job_ = Job();
    printer_->documents.clear();
    PreScanSlip(slip_, job_.prescan, host_);
    PrintComandaJob(slip_, u"", job_, host_);
    return printer_->documents;
  }
  Text slip_ = u"C:\\VENTAS\\C0001234.TXT";
  Sandbox sandbox_;
  RecordingPrinter* printer_ = nullptr;
  Host host_ = MakeTestHost(sandbox_, &printer_);
  Job job_;
};

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

}  // namespace
}  // namespace kalvenor
