#include "printing/slip_file.h"

#include <gtest/gtest.h>

#include "base/run_time_error.h"
#include "testing/fake_host.h"

namespace kalvenor {
namespace {

// A 42-character line text with `right` ending at column 46.
std::string RightAligned(const std::string& left, const std::string& right) {
  return left + std::string(42 - left.size() - right.size(), ' ') + right;
}

class SlipFileTest : public ::testing::Test {
 protected:
  PreScan Scan(const std::vector<std::string>& lines) {
    sandbox_.Write("C/VENTAS/C0001234.TXT", Lines(lines));
    PreScan prescan;
    PreScanSlip(u"C:\\VENTAS\\C0001234.TXT", prescan, host_);
    return prescan;
  }
  Sandbox sandbox_;
  RecordingPrinter* printer_ = nullptr;
  Host host_ = MakeTestHost(sandbox_, &printer_);
};

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
  try {
    Scan({"1A0 item"});
    FAIL();
  } catch (const RunTimeError& e) {
    EXPECT_EQ(e.description(), "Type mismatch");
  }
}

TEST_F(SlipFileTest, CleaningTurnsNulsIntoSpacesAndKeepsCodePage437) {
  std::string slip = SlipLineOf('1', 30, std::string("Peque\xA4o", 7) + std::string("\0\0x", 3)) + "\r\n";
  sandbox_.Write("C/VENTAS/C0001234.TXT", slip);
  CleanSlipFile(u"C:\\VENTAS\\C0001234.TXT", host_);
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
