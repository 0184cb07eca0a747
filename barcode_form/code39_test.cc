#include <gtest/gtest.h>

#include <algorithm>

#include "barcode_form/frm_cod_barra.h"
#include "testing/barcode_testing.h"

namespace kalvenor {
namespace {

void SetOptions(frmCodBarra& form, int16_t o, int16_t h, int16_t check) {
  form.CkOpc[0].Value = o;
  form.CkOpc[1].Value = h;
  form.CkOpc[2].Value = check;
}

// Run lengths of modules as "n" (up to `narrow` columns) and "w" (wider).
std::string Elements(const std::string& modules, int narrow_bar, int narrow_space) {
  std::string out;
  for (size_t i = 0; i < modules.size();) {
    size_t j = i;
    while (j < modules.size() && modules[j] == modules[i]) ++j;
    int narrow = modules[i] == '1' ? narrow_bar : narrow_space;
    out += static_cast<int>(j - i) <= narrow ? 'n' : 'w';
    i = j;
  }
  return out;
}

TEST(dibujarCodigo39, EveryOptionCombinationScansBack) {
  for (bool real : {false, true}) {
    FormHarness harness;
    auto form = harness.MakeForm(real);
    form->GenerarCodigoDeBarra39(u"abc-12");
    for (int16_t options = 0; options < 8; ++options) {
      SCOPED_TRACE(testing::Message() << "options " << options << (real ? " real canvas" : ""));
      SetOptions(*form, options & 1, (options >> 1) & 1, options >> 2);
      form->CkOpc_Click(options % 3);
      // A B C - 1 2: 10 + 11 + 12 + 36 + 1 + 2 = 72, 72 mod 43 = 29 ("T").
      EXPECT_EQ(ReadBarcode(form->PbCodigos.Image(), Symbology::kCode39),
                options >> 2 ? "ABC-12T" : "ABC-12");
    }
  }
}

TEST(dibujarCodigo39, TextAndCheckCharacter) {
  FormHarness harness;
  auto form = harness.MakeForm();
  FakeCanvas& canvas = FormHarness::Fake(form->PbCodigos);
  const struct {
    int16_t o, h, check;
    Text input;
    Text first_print;  // then the closing empty line
    float x, y, bar_bottom;
  } cases[] = {
      {1, 1, 0, u"abc-12", u"ABC-12", 6 * 7 + 35, 50, 50},
      {0, 0, 1, u"ABC", u"_X", 0, 0, 58},  // 10 + 11 + 12 = 33: "X"
      {0, 0, 0, u"   ", u"", -1, -1, 58},    // blanks are characters too
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ToUtf8(c.input));
    SetOptions(*form, c.o, c.h, c.check);
    form->TxtCodigo.Text = c.input;
    form->TxtCodigo_Change();
    ASSERT_FALSE(canvas.prints.empty());
    EXPECT_EQ(std::pair(canvas.prints.front().text, canvas.prints.back().text), std::pair(c.first_print, Text()));
    if (c.x >= 0) {
      EXPECT_EQ(std::pair(canvas.prints.front().x, canvas.prints.front().y), std::pair(c.x, c.y));
    }
    ASSERT_FALSE(canvas.lines.empty());
    EXPECT_EQ(std::pair(canvas.lines.front().x1, canvas.lines.front().y2), std::pair(2.0f, c.bar_bottom));
  }
  EXPECT_EQ(ReadBarcode(form->PbCodigos.Image(), Symbology::kCode39), "   ");
}

TEST(dibujarCodigo39, CharacterWidthsAndLongTexts) {
  FormHarness harness;
  auto form = harness.MakeForm();
  FakeCanvas& canvas = FormHarness::Fake(form->PbCodigos);
  for (int16_t o : {0, 1}) {
    SetOptions(*form, o, 0, 0);
    form->GenerarCodigoDeBarra39(o ? u"A" : u"B");
    // The first line past the start character's last bar starts the second.
    auto second = std::find_if(canvas.lines.begin(), canvas.lines.end(),
                               [&](const RecordedLine& line) { return line.x1 > 16 + 4 * o; });
    ASSERT_NE(second, canvas.lines.end());
    EXPECT_EQ(second->x1, 2 + (o ? 21 : 16));
  }
  form->GenerarCodigoDeBarra39(Text(2000, u'W'));
  EXPECT_GT(canvas.lines.back().x1, 32767);  // no 16-bit column
}

TEST(dibujarCodigo39, InvalidEmptyAndUnchangedTexts) {
  FormHarness harness;
  auto form = harness.MakeForm();
  FakeCanvas& canvas = FormHarness::Fake(form->PbCodigos);
  form->GenerarCodigoDeBarra39(u"AB*C");
  ASSERT_EQ(canvas.prints.size(), 1u);
  EXPECT_EQ(canvas.prints[0].text, u"* is Invalid");
  EXPECT_TRUE(canvas.lines.empty());
  form->GenerarCodigoDeBarra39(u"año");
  EXPECT_EQ(canvas.prints[0].text, u"Ñ is Invalid");
  int clears = canvas.clears;
  form->GenerarCodigoDeBarra39(u"año");  // same text: no change event
  EXPECT_EQ(canvas.clears, clears);
  form->GenerarCodigoDeBarra39(u"");
  EXPECT_EQ(std::tuple(canvas.lines.size(), canvas.prints.size(), harness.warnings.size()), std::tuple(0u, 0u, 0u));
}

TEST(dibujarCodigo39, AgreesWithAnIndependentEncoder) {
  if (!HaveZint()) GTEST_SKIP() << "zint is not installed";
  const std::string data = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%";
  FormHarness harness;
  auto form = harness.MakeForm();
  std::string theirs = ZintModules(8, data);
  theirs = theirs.substr(0, theirs.find_last_of('1') + 1);
  for (int16_t o : {0, 1}) {
    SetOptions(*form, o, 0, 0);
    form->GenerarCodigoDeBarra39(FromUtf8(data));
    const auto& lines = FormHarness::Fake(form->PbCodigos).lines;
    std::string ours = ModulesFromLines(lines, 2, static_cast<int>(lines.back().x1));
    // Ours: elements 1 and 3 wide (spaces 2 and 4 with wider spacing); zint: 1 and 2.
    EXPECT_EQ(Elements(ours, 1, 1 + o), Elements(theirs, 1, 1)) << o;
  }
}

}  // namespace
}  // namespace kalvenor
