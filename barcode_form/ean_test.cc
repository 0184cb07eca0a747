#include <gtest/gtest.h>

#include "barcode_form/frm_cod_barra.h"
#include "testing/barcode_testing.h"

namespace kalvenor {
namespace {

const Text kLengthWarning = u"Introduzca 8 o 13 caracteres numéricos.";
const Text kDigitsWarning = u"Introduzca sólo números.";

TEST(comprobarDigitoControl, Gs1ModuloTen) {
  const struct {
    Text data;
    uint8_t check;
    const char* why;
  } cases[] = {
      {u"400638133393", 1, "EAN-13 4006381333931"},
      {u"9638507", 4, "EAN-8 96385074"},
      {u"1234567", 0, "weighted sum a multiple of 10"},
      {u"40063813A393", 4, "a letter counts as 0, like 400638130393"},
      {u"12345", 0, "neither 7 nor 12 characters"},
  };
  FormHarness harness;
  auto form = harness.MakeForm();
  for (const auto& c : cases) EXPECT_EQ(form->comprobarDigitoControl(c.data), c.check) << c.why;
}

TEST(bGenerar_Click, InputsScanBackOrAreRefused) {
  const struct {
    Text input;
    Symbology format;
    std::optional<std::string> scanned;  // none: refused
    std::vector<Text> warnings;
  } cases[] = {
      {u"400638133393", Symbology::kEan13, "4006381333931", {}},
      {u"40063813339312345678", Symbology::kEan13, "4006381333931", {}},  // 20 characters
      {u"9638507", Symbology::kEan8, "96385074", {}},
      {u"12345", Symbology::kEan13, std::nullopt, {kLengthWarning}},
      {u"400638133393123456789", Symbology::kEan13, std::nullopt, {kLengthWarning}},  // 21
      {u"40063813A393", Symbology::kEan13, std::nullopt, {kDigitsWarning}},
  };
  for (bool real : {false, true}) {
    FormHarness harness;
    auto form = harness.MakeForm(real);
    for (const auto& c : cases) {
      SCOPED_TRACE(ToUtf8(c.input) + (real ? " (real canvas)" : ""));
      harness.warnings.clear();
      Picture picture = form->bGenerar_Click(c.input);
      EXPECT_EQ(picture != nullptr, c.scanned.has_value());
      EXPECT_EQ(picture ? ReadBarcode(picture, c.format) : std::nullopt, c.scanned);
      EXPECT_EQ(harness.warnings, c.warnings);
    }
  }
}

TEST(dibujarEAN, Ean13ThenEan8Layout) {
  FormHarness harness;
  auto form = harness.MakeForm();
  form->bGenerar_Click(u"400638133393");
  FakeCanvas& canvas = FormHarness::Fake(form->imgEAN);
  // Guards: start 11, 13; centre 57, 59; end 103, 105; 6 units longer.
  for (const RecordedLine& line : canvas.lines) {
    int x = static_cast<int>(line.x1);
    bool guard = x == 11 || x == 13 || x == 57 || x == 59 || x == 103 || x == 105;
    EXPECT_EQ(line.y1, 5);
    EXPECT_EQ(line.y2, guard ? 52 : 46) << x;
    EXPECT_TRUE(x >= 11 && x <= 105) << x;
  }
  ASSERT_EQ(canvas.prints.size(), 13u);
  // The first right-hand digit starts at 61.
  EXPECT_EQ(std::tuple(canvas.prints[0].text, canvas.prints[7].x, canvas.prints[12].text),
            std::tuple(Text(u" 4 "), 60.0f, Text(u" 1 ")));
  for (const RecordedPrint& p : canvas.prints) EXPECT_EQ(p.y, 46);
  form->bGenerar_Click(u"96385070");
  EXPECT_EQ(form->codigoEAN, u"96385074");
  // Only the EAN-8 is on the canvas: 67 modules from 11 to 77.
  for (const RecordedLine& line : canvas.lines) EXPECT_LE(line.x1, 77);
  ASSERT_EQ(canvas.prints.size(), 10u);  // "<", eight digits, ">"
  EXPECT_EQ(std::pair(canvas.prints.front().text, canvas.prints.back().text), std::pair(Text(u"<"), Text(u">")));
  size_t lines = canvas.lines.size();
  form->bGenerar_Click(u"400638133393123456789");  // refused: nothing changes
  EXPECT_EQ(std::tuple(form->codigoEAN, canvas.lines.size(), canvas.clears), std::tuple(Text(u"96385074"), lines, 2));
}

TEST(dibujarEAN, AgreesWithAnIndependentEncoder) {
  if (!HaveZint()) GTEST_SKIP() << "zint is not installed";
  FormHarness harness;
  auto form = harness.MakeForm();
  for (std::string data : {"901234567890", "5678901"}) {
    ASSERT_TRUE(form->bGenerar_Click(FromUtf8(data))) << data;
    std::string ours =
        ModulesFromLines(FormHarness::Fake(form->imgEAN).lines, 11, data.size() == 7 ? 77 : 105);
    std::string theirs = ZintModules(13, data);
    ASSERT_GE(theirs.size(), ours.size()) << data;
    EXPECT_EQ(theirs.substr(0, ours.size()), ours) << data;
  }
}

}  // namespace
}  // namespace kalvenor
