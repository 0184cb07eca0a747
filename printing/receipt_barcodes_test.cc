#include "printing/receipt_barcodes.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>

#include "testing/barcode_testing.h"
#include "platform/cairo_surfaces.h"
#include "platform/printers.h"
#include "platform/run_time_error.h"
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
  };
  Job no_insurer = PamiJob(u"400638133393", kAuthorisation20);
  no_insurer.prescan.insurer = false;
  const Case cases[] = {
      {"both", PamiJob(u"400638133393", kAuthorisation20), {{50, 3000}, {0, 4400}}, 5800},
      {"19-character code at 200", PamiJob(u"", u"AB12CD34EF56GH78IJ9"), {{200, 3000}}, 4400},
      {"prescription only", PamiJob(u"9638507", u""), {{50, 3000}}, 4400},
      {"no insurer: none", no_insurer, {}, 3000},
      {"no flags: none", PamiJob(u"", u""), {}, 3000},
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
      EXPECT_EQ(printer.open_ops[i].kind, PrintOp::kPicture);
      EXPECT_EQ(printer.open_ops[i].x, c.pictures[i].first);
      EXPECT_EQ(printer.open_ops[i].y, c.pictures[i].second);
      EXPECT_TRUE(printer.open_ops[i].picture);
    }
    EXPECT_EQ(printer.CurrentY, c.end_y);
    if (!c.pictures.empty()) {
      EXPECT_EQ(printer.CurrentX, 120);
    }
  }
}

TEST(PrintReceiptBarcodes, RefusedPrescriptionWarnsAndPaintsNothing) {
  FormHarness harness;
  auto form = harness.MakeForm();
  RecordingPrinter printer;
  PrintReceiptBarcodes(PamiJob(u"12345", u""), form.get(), printer);
  ASSERT_EQ(printer.open_ops.size(), 1u);
  EXPECT_FALSE(printer.open_ops[0].picture);
  EXPECT_EQ(printer.CurrentY, 1400);
  EXPECT_EQ(harness.warnings, std::vector<Text>{u"Introduzca 8 o 13 caracteres numéricos."});
}

TEST(PrintReceiptBarcodes, NoFormWithAFlagIsAFailure) {
  RecordingPrinter printer;
  EXPECT_THROW(PrintReceiptBarcodes(PamiJob(u"", kAuthorisation20), nullptr, printer),
               RunTimeError);
  EXPECT_NO_THROW(PrintReceiptBarcodes(PamiJob(u"", u""), nullptr, printer));
}

// The printed page, rasterised at a thermal printer's resolution and at
// 300 dpi, yields both symbols; the trace shows where they were painted.
TEST(PrintReceiptBarcodes, BothSymbolsScanFromThePrintedPdf) {
  Sandbox sandbox;
  sandbox.MakeFolder("printers/COMANDERA");
  Trace trace(sandbox.Path("trace.jsonl"));
  auto printer = MakeCairoPrinter(MakeFolderPrinters(sandbox.Path("printers"), ""), &trace);
  FormHarness harness;
  auto form = harness.MakeForm(true);
  Job job = PamiJob(u"4006381333931", kAuthorisation20);
  for (const Text& authorisation : {kAuthorisation20, Text(u"PAMI-7788/x")}) {
    job.prescan.authorisation_text = authorisation;
    printer->Font.Size = 8;
    printer->Print(u"Firma afiliado", true);
    PrintReceiptBarcodes(job, form.get(), *printer);
    printer->Print(u"", true);
    printer->EndDoc();
  }
  // x and y of every painted picture, in order: EAN at 50, the 20-character
  // code at 0 and the shorter one at 200, 1400 twips apart.
  std::ifstream lines(sandbox.Path("trace.jsonl"));
  std::regex picture_op(R"re("op":"picture".*"x":([0-9.]+),"y":([0-9.]+))re");
  std::vector<std::pair<double, double>> painted;
  for (std::string line; std::getline(lines, line);) {
    std::smatch m;
    if (std::regex_search(line, m, picture_op)) painted.push_back({std::stod(m[1]), std::stod(m[2])});
  }
  ASSERT_EQ(painted.size(), 4u);
  const double expected_x[] = {50, 0, 50, 200};
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(painted[i].first, expected_x[i]) << i;
  EXPECT_EQ(painted[1].second - painted[0].second, 1400);
  EXPECT_EQ(painted[3].second - painted[2].second, 1400);

  const std::string pdfs[] = {sandbox.Path("printers/COMANDERA/000001.pdf"),
                              sandbox.Path("printers/COMANDERA/000002.pdf")};
  const std::string expected_codes[] = {ToUtf8(kAuthorisation20), "PAMI-7788/x"};
  for (int doc = 0; doc < 2; ++doc) {
    ASSERT_TRUE(sandbox.Exists("printers/COMANDERA/00000" + std::to_string(doc + 1) + ".pdf"));
    for (int dpi : {203, 300}) {
      SCOPED_TRACE(testing::Message() << "document " << doc + 1 << " at " << dpi << " dpi");
      GreyRaster page = RasterisePdf(pdfs[doc], dpi);
      ASSERT_GT(page.width, 0);
      EXPECT_EQ(ReadBarcode(page, Symbology::kEan13),
                "4006381333931");
      EXPECT_EQ(ReadBarcode(page, Symbology::kCode128),
                expected_codes[doc]);
    }
  }
}

}  // namespace
}  // namespace kalvenor
