#include <gtest/gtest.h>

#include <regex>

#include "platform/cairo_surfaces.h"
#include "platform/run_time_error.h"
#include "platform/canvas.h"

namespace kalvenor {
namespace {

// Keeps what the printer hands over.
class CapturingPrinters : public Printers {
 public:
  explicit CapturingPrinters(std::vector<std::string> names, double media_mm = 0)
      : names_(std::move(names)), media_mm_(media_mm) {}
  const std::vector<std::string>& Names() override { return names_; }
  int DefaultIndex() override { return names_.empty() ? -1 : 0; }
  double MediaWidthMm(const std::string&) override { return media_mm_; }
  std::string Submit(const std::string& name, const std::string& pdf, const std::string&) override {
    submitted.push_back({name, pdf});
    return "job-" + std::to_string(submitted.size());
  }
  std::vector<std::pair<std::string, std::string>> submitted;

 private:
  std::vector<std::string> names_;
  double media_mm_;
};

// The /MediaBox of a one-page PDF, in points.
std::pair<double, double> PageSize(const std::string& pdf) {
  std::smatch m;
  EXPECT_TRUE(std::regex_search(pdf, m, std::regex(R"(/MediaBox \[ ?0 0 ([0-9.]+) ([0-9.]+) ?\])")));
  return {std::stod(m[1]), std::stod(m[2])};
}

TEST(CairoPrinter, MonospacedMetricsAndLineAdvance) {
  auto capture = std::make_unique<CapturingPrinters>(std::vector<std::string>{"COMANDERA"});
  std::unique_ptr<Printer> printer = MakeCairoPrinter(std::move(capture), nullptr);
  printer->Font.Name = u"Consolas";
  printer->Font.Size = 8;
  float one = printer->TextWidth(u"M");
  EXPECT_GT(one, 60);   // about 0.6 em of 160 twips
  EXPECT_LT(one, 120);
  EXPECT_FLOAT_EQ(printer->TextWidth(u"MMMMMMMMMM"), 10 * one);
  EXPECT_FLOAT_EQ(printer->TextWidth(u"iiiiiiiiii"), 10 * one);  // monospaced
  printer->Font.Size = 16;
  EXPECT_NEAR(printer->TextWidth(u"M"), 2 * one, 0.01);

  float height = printer->TextHeight(u"x");
  printer->CurrentX = 300;
  printer->CurrentY = 100;
  printer->Print(u"hello");
  EXPECT_EQ(printer->CurrentX, 0);
  EXPECT_FLOAT_EQ(printer->CurrentY, 100 + height);
  printer->Print(u"x", false);
  EXPECT_FLOAT_EQ(printer->CurrentX, printer->TextWidth(u"x"));
}

TEST(CairoPrinter, EachEndedDocumentIsOneRollPageAsLongAsItsContent) {
  auto capture = std::make_unique<CapturingPrinters>(std::vector<std::string>{"A", "COMANDERA"});
  CapturingPrinters* printers = capture.get();
  std::unique_ptr<Printer> printer = MakeCairoPrinter(std::move(capture), nullptr);
  printer->EndDoc();  // nothing drawn: nothing sent
  EXPECT_TRUE(printers->submitted.empty());
  printer->SetCurrentPrinter(1);
  printer->CurrentY = 14400;  // ten inches down
  printer->Print(u"end");
  printer->EndDoc();
  ASSERT_EQ(printers->submitted.size(), 1u);
  EXPECT_EQ(printers->submitted[0].first, "COMANDERA");
  auto [width, height] = PageSize(printers->submitted[0].second);
  EXPECT_NEAR(width, 80 / 25.4 * 72, 0.1);
  EXPECT_GT(height, 720);
  EXPECT_LT(height, 760);
  EXPECT_EQ(printer->CurrentY, 0);
}

TEST(CairoPrinter, NoPrinterFailsAtTheFirstOutput) {
  std::unique_ptr<Printer> printer = MakeCairoPrinter(std::make_unique<CapturingPrinters>(std::vector<std::string>{}), nullptr);
  EXPECT_EQ(printer->DeviceName(), u"");
  try {
    printer->Print(u"x");
    FAIL();
  } catch (const RunTimeError& e) {
    EXPECT_EQ(e.number(), kPrinterError);
  }
  printer->EndDoc();  // nothing open: nothing to fail
}

TEST(CairoCanvas, LinesCoverWholePixelsAndTheImageKeepsThem) {
  std::unique_ptr<Canvas> canvas = MakeCanvas(20, 10, 15, 0xFFFFFF);
  canvas->Line(45, 0, 45, 150, 0);  // twips: pixel column 3
  Picture picture = canvas->Image();
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->width_twips, 300);
  auto pixel = [&](int x, int y) { return picture->pixels[y * 20 + x] & 0xFFFFFF; };
  EXPECT_EQ(pixel(3, 5), 0u);
  EXPECT_EQ(pixel(2, 5), 0xFFFFFFu);
  EXPECT_EQ(pixel(4, 5), 0xFFFFFFu);
  canvas->Cls();
  EXPECT_EQ(canvas->Image()->pixels[5 * 20 + 3] & 0xFFFFFF, 0xFFFFFFu);
}

}  // namespace
}  // namespace kalvenor
