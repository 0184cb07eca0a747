#include <gtest/gtest.h>

#include <regex>

#include "render/cairo_printer.h"
#include "testing/fake_host.h"

namespace kalvenor {
namespace {

TEST(CairoPrinter, OneRollPageADocumentAndMonospacedMetrics) {
  Sandbox sandbox;
  for (const char* name : {"A", "COMANDERA"}) sandbox.MakeFolder(name);
  std::unique_ptr<Printer> printer = MakeCairoPrinter(MakeFolderPrinters(sandbox.root(), ""), nullptr);
  printer->EndDoc();  // nothing drawn: nothing sent
  printer->SetCurrentPrinter(1);
  printer->CurrentY = 14400;  // ten inches down
  printer->Print(u"end");
  printer->EndDoc();
  EXPECT_FALSE(sandbox.Exists("A/000001.pdf"));
  EXPECT_FALSE(sandbox.Exists("COMANDERA/000002.pdf"));
  EXPECT_EQ(printer->CurrentY, 0);
  // The /MediaBox in points: 80 mm wide, a little over ten inches long.
  std::string pdf = sandbox.Read("COMANDERA/000001.pdf");
  std::smatch m;
  ASSERT_TRUE(std::regex_search(pdf, m, std::regex(R"(/MediaBox \[ ?0 0 ([0-9.]+) ([0-9.]+) ?\])")));
  EXPECT_NEAR(std::stod(m[1]), 80 / 25.4 * 72, 0.1);
  EXPECT_NEAR(std::stod(m[2]), 740, 20);
  printer->Font.Name = u"Consolas";
  printer->Font.Size = 8;
  float one = printer->TextWidth(u"M");
  EXPECT_NEAR(one, 90, 30);  // about 0.6 em of 160 twips
  EXPECT_FLOAT_EQ(printer->TextWidth(u"iiiiiiiiii"), 10 * one);  // monospaced
  printer->Font.Size = 16;
  EXPECT_NEAR(printer->TextWidth(u"M"), 2 * one, 0.01);
  printer->CurrentX = 300;
  printer->CurrentY = 100;
  printer->Print(u"hello");
  EXPECT_EQ(printer->CurrentX, 0);
  EXPECT_FLOAT_EQ(printer->CurrentY, 100 + printer->TextHeight(u"x"));
  printer->Print(u"x", false);
  EXPECT_FLOAT_EQ(printer->CurrentX, printer->TextWidth(u"x"));
}

}  // namespace
}  // namespace kalvenor
