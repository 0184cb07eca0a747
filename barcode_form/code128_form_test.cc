#include <gtest/gtest.h>

#include "barcode_form/frm_cod_barra.h"
#include "code128/barcode128.h"
#include "base/run_time_error.h"
#include "testing/barcode_testing.h"

namespace kalvenor {
namespace {

TEST(GenerateCode128, ModulesOfTheFormsOwnEncoder) {
  FormHarness harness;
  auto form = harness.MakeForm();
  FakeCanvas& canvas = FormHarness::Fake(form->imgEAN);
  form->GenerateCode128(u"~ ");
  std::string expected;
  for (int v : {104, 94, 0, 95, 106}) {
    const char* w = Code128Widths(v);
    for (int p = 0; w[p] != '\0'; ++p) expected.append(w[p] - '0', p % 2 == 0 ? '1' : '0');
  }
  EXPECT_EQ(ModulesFromLines(canvas.lines, 0, static_cast<int>(expected.size()) - 1), expected);
  EXPECT_LE(canvas.lines.back().x1, expected.size() - 1);
  EXPECT_EQ(canvas.lines.front().y2, 40);
  ASSERT_EQ(canvas.prints.size(), 1u);
  EXPECT_EQ(std::tuple(canvas.prints[0].text, canvas.prints[0].x, canvas.prints[0].y),
            std::tuple(Text(u"~ "), 10.0f, 46.0f));
  // Failures leave before anything is drawn.
  const std::pair<Text, int> failures[] = {
      {u"A\tB", kSubscriptOutOfRange},
      {Text(60, u'~'), kOverflow},  // 94 x (1 + ... + 60) passes 32767
  };
  for (const auto& [code, error] : failures) {
    int clears = canvas.clears;
    EXPECT_EQ(Raised([&] { form->GenerateCode128(code); }).first, error);
    EXPECT_EQ(canvas.clears, clears);
  }
}

TEST(GenerateCode128, ScansBackOnFakeAndRealCanvases) {
  for (bool real : {false, true}) {
    FormHarness harness;
    auto form = harness.MakeForm(real);
    EXPECT_EQ(ReadBarcode(form->GenerateCode128(u"Kv-7a!"), Symbology::kCode128), "Kv-7a!") << real;
    Picture picture = form->GenerateCode128B(u"x");
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width_twips, 7665);
    EXPECT_EQ(ReadBarcode(picture, Symbology::kCode128), "x");
    // Each call draws over the last: the text ended its line, the font stays.
    const auto& canvas = *form->CB.canvas;
    EXPECT_EQ(std::tuple(canvas.CurrentX, canvas.Font.Name, canvas.Font.Size), std::tuple(0, Text(u"System"), 4));
  }
}

}  // namespace
}  // namespace kalvenor
