#include "printing/comanda_renderer.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/run_time_error.h"
#include "printing/slip_file.h"
#include "testing/fake_host.h"

namespace kalvenor {
namespace {

class ComandaTest : public ::testing::Test {
 protected:
  // Pre-scans and prints `lines`; returns the printer's documents.
  const std::vector<RecordingPrinter::Document>& Run(const std::vector<std::string>& lines) {
    sandbox_.Write("C/VENTAS/C0001234.TXT", Lines(lines));
    PreScanSlip(slip_, job_.prescan, host_);
    PrintComandaJob(slip_, u"", job_, host_);
    return printer_->documents;
  }
  bool Printed(size_t doc, const Text& text) {
    std::vector<Text> texts = printer_->Texts(doc);
    return std::any_of(texts.begin(), texts.end(), [&](const Text& t) { return StartsWith(t, text); });
  }

  Text slip_ = u"C:\\VENTAS\\C0001234.TXT";
  Sandbox sandbox_;
  RecordingPrinter* printer_ = nullptr;
  Host host_ = MakeTestHost(sandbox_, &printer_);
  Job job_;
};

std::vector<std::string> TwoCopies(const std::string& extra_item = "") {
  std::vector<std::string> lines = {
      SlipLineOf('1', 0, "FARMACIA CENTRAL"), SlipLineOf('1', 30, "Item copy one   12,50"),
  };
  if (!extra_item.empty()) lines.push_back(SlipLineOf('1', 30, extra_item));
  lines.push_back(SlipLineOf('1', 99, "------------------------------------------"));
  lines.push_back(SlipLineOf('2', 30, "Item copy two   12,50"));
  lines.push_back(SlipLineOf('2', 99, "------------------------------------------"));
  return lines;
}

TEST_F(ComandaTest, WithoutDifferenceOnlyTheSecondSectionPrints) {
  auto& docs = Run(TwoCopies());
  ASSERT_EQ(docs.size(), 1u);
  EXPECT_EQ(docs[0].printer, u"COMANDERA");
  EXPECT_TRUE(Printed(0, u"Item copy two"));
  EXPECT_FALSE(Printed(0, u"Item copy one"));
  EXPECT_TRUE(Printed(0, u"FARMACIA CENTRAL"));  // the header serves every copy
}

TEST_F(ComandaTest, WithDifferenceTheFirstPrintsAndTheSecondDoesNot) {
  auto& docs = Run(TwoCopies("Dif. O.S.        1,00"));
  ASSERT_EQ(docs.size(), 1u);
  EXPECT_TRUE(Printed(0, u"Item copy one"));
}

TEST_F(ComandaTest, ThirdSectionPrintsWithSignatureCaptions) {
  std::vector<std::string> lines = TwoCopies();
  lines.push_back(SlipLineOf('3', 30, "Item copy three  1,00"));
  lines.push_back(SlipLineOf('3', 99, ""));
  auto& docs = Run(lines);
  ASSERT_EQ(docs.size(), 2u);
  EXPECT_TRUE(Printed(1, u"-------------FIRMA AFILIADO-------------"));
  EXPECT_TRUE(Printed(1, u"-------------DNI Y DOMICILIO------------"));
  EXPECT_FALSE(Printed(0, u"-------------FIRMA AFILIADO-------------"));
}

TEST_F(ComandaTest, OwnClientSignatureSuppressesTheCaptions) {
  std::vector<std::string> lines = TwoCopies("*              Firma Cliente");
  lines.push_back(SlipLineOf('3', 99, ""));
  Run(lines);
  EXPECT_FALSE(Printed(1, u"-------------FIRMA AFILIADO-------------"));
}

TEST_F(ComandaTest, EmptyLineEndsTheSlip) {
  std::vector<std::string> lines = TwoCopies();
  lines.insert(lines.begin() + 3, "");
  EXPECT_TRUE(Run(lines).empty());
}

TEST_F(ComandaTest, ItemTextReplacementsAndRuleLines) {
  auto& docs = Run({SlipLineOf('1', 99, ""), SlipLineOf('2', 30, "Vend.   2 x $0,00"),
                    SlipLineOf('2', 30, "1 Vend. 3,00"),
                    SlipLineOf('2', 30, "\xB3--------------------x"),  // box character, ANSI 166
                    SlipLineOf('2', 30, "|--------------------y"), SlipLineOf('2', 99, "")});
  ASSERT_EQ(docs.size(), 1u);
  EXPECT_EQ(job_.sections.item[1], u"Vend.   2 x" + Text(31, u' '));
  EXPECT_EQ(job_.sections.item[2], u"1 Vend. 3   " + Text(30, u' '));
  EXPECT_EQ(job_.sections.item[3], Text(42, u' '));
  EXPECT_EQ(Left(job_.sections.item[4], 22), u"|--------------------y");
}

TEST_F(ComandaTest, ClientLineTakesTheSlotAfterImporte) {
  Run({SlipLineOf('1', 99, ""), SlipLineOf('2', 30, "* IMPORTE        10,00"),
       SlipLineOf('2', 30, "* CLIENTE        10,00"), SlipLineOf('2', 30, "next item"), SlipLineOf('2', 99, "")});
  EXPECT_TRUE(StartsWith(job_.sections.item[1], u"* IMPORTE"));
  EXPECT_TRUE(StartsWith(job_.sections.item[2], u"* CLIENTE"));
  EXPECT_TRUE(StartsWith(job_.sections.item[3], u"next item"));
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
  try {
    Run(lines);
    FAIL();
  } catch (const RunTimeError& e) {
    EXPECT_EQ(e.description(), "Subscript out of range");
  }
}

TEST_F(ComandaTest, FourteenHeaderLinesFail) {
  std::vector<std::string> lines;
  for (int i = 0; i < 14; ++i) lines.push_back(SlipLineOf('1', 0, "header"));
  EXPECT_THROW(Run(lines), RunTimeError);
  EXPECT_EQ(job_.sections.header_count, 13);
}

}  // namespace
}  // namespace kalvenor
