#include "printing/receipt_barcodes.h"

#include <gtest/gtest.h>

#include "base/run_time_error.h"
#include "testing/barcode_testing.h"
#include "testing/fake_host.h"

namespace kalvenor {
namespace {

Job PamiJob(const Text& prescription, const Text& authorisation) {
  Job job;
  job.config.left_margin = 120;
  job.prescan.insurer = true;
  job.prescan.prescription_text = prescription;
  job.prescan.prescription_flag = !prescription.empty();
  job.prescan.authorisation_text = authorisation;
  job.prescan.authorisation_flag = !authorisation.empty();
  return job;
}

const Text kAuthorisation20 = u"AB12CD34EF56GH78IJ90";

TEST(PrintReceiptBarcodes, PositionsAndAdvances) {
  struct Case {
    const char* why;
    Job job;
    std::vector<std::pair<float, float>> pictures;  // x, y
    float end_y;
    bool drawn = true;
  };
  const Case cases[] = {
      {"both", PamiJob(u"400638133393", kAuthorisation20), {{50, 3000}, {0, 4400}}, 5800},
      {"19-character code at 200", PamiJob(u"", u"AB12CD34EF56GH78IJ9"), {{200, 3000}}, 4400},
      {"refused prescription: warned, an empty picture", PamiJob(u"12345", u""), {{50, 3000}}, 4400, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    FormHarness harness;
    auto form = harness.MakeForm();
    RecordingPrinter printer;
    printer.CurrentY = 3000;
    PrintReceiptBarcodes(c.job, form.get(), printer);
    ASSERT_EQ(printer.open_ops.size(), c.pictures.size());
    for (size_t i = 0; i < c.pictures.size(); ++i) {
      const PrintOp& op = printer.open_ops[i];
      EXPECT_EQ(std::tuple(op.x, op.y, op.picture != nullptr), std::tuple_cat(c.pictures[i], std::tuple(c.drawn)));
    }
    EXPECT_EQ(std::tuple(printer.CurrentX, printer.CurrentY, harness.warnings.size()),
              std::tuple(120.0f, c.end_y, c.drawn ? 0u : 1u));
  }
}

TEST(PrintReceiptBarcodes, NoFormWithAFlagIsAFailure) {
  RecordingPrinter printer;
  EXPECT_THROW(PrintReceiptBarcodes(PamiJob(u"", kAuthorisation20), nullptr, printer), RunTimeError);
  EXPECT_NO_THROW(PrintReceiptBarcodes(PamiJob(u"", u""), nullptr, printer));
}

}  // namespace
}  // namespace kalvenor
