#include "barcode_form/frm_cod_barra.h"

#include <gtest/gtest.h>

#include "testing/barcode_testing.h"

namespace kalvenor {
namespace {

struct RecordingClipboard : Clipboard {
  explicit RecordingClipboard(bool works) : works(works) {}
  bool Clear(std::string* err) override {
    calls += "clear ";
    if (!works) *err = "no desktop session";
    return works;
  }
  bool SetPicture(const Picture& picture, std::string*) override {
    calls += "set";
    last = picture;
    return true;
  }
  bool works;
  std::string calls;
  Picture last;
};

TEST(frmCodBarra, PrintButtonPaintsAndEndsThePage) {
  FormHarness harness;
  auto form = harness.MakeForm();
  Picture picture = form->GenerarCodigoDeBarra39(u"A1");
  form->cmbImprimir_Click();
  ASSERT_NE(harness.printer, nullptr);
  ASSERT_EQ(harness.printer->documents.size(), 1u);
  const auto& ops = harness.printer->documents[0].ops;
  ASSERT_EQ(ops.size(), 1u);
  EXPECT_EQ(ops[0].kind, PrintOp::kPicture);
  EXPECT_EQ(ops[0].picture->pixels, picture->pixels);
}

TEST(frmCodBarra, CopyButton) {
  FormHarness harness;
  auto clipboard = std::make_unique<RecordingClipboard>(true);
  RecordingClipboard* seen = clipboard.get();
  auto form = harness.MakeForm(false, std::move(clipboard));
  form->GenerarCodigoDeBarra39(u"A1");
  EXPECT_TRUE(form->CmdCopiar_Click());
  EXPECT_EQ(seen->calls, "clear set");
  EXPECT_EQ(seen->last->pixels, form->PbCodigos.Image()->pixels);
  EXPECT_TRUE(harness.warnings.empty());

  FormHarness without;
  EXPECT_FALSE(without.MakeForm(false, std::make_unique<RecordingClipboard>(false))->CmdCopiar_Click());
  ASSERT_EQ(without.warnings.size(), 1u);
  EXPECT_NE(without.warnings[0].find(u"no desktop session"), Text::npos);
}

}  // namespace
}  // namespace kalvenor
