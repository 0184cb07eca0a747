// Receipts on ESC/POS printers, whole jobs: the sample slip on a folder
// printer and through a raw CUPS queue to a stand-in printer on 127.0.0.1.
// Every stream is read strictly (scripts/escpos_page.py), the page rebuilt,
// each symbol decoded by a real reader and its bars measured in dots.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <netinet/in.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <regex>
#include <thread>

#include "app/job.h"
#include "testing/barcode_testing.h"
#include "testing/job_sandbox.h"

extern char** environ;

namespace kalvenor {
namespace {

const char kSlip[] = "kalvenor \\VENTAS\\C0001234.TXT \\VENTAS\\LOG.TXT N S";
const std::string kEan = "0000000001236", kCode128 = "12345678901234567890";

std::string SecondLogLine(const JobSandbox& job) {
  std::string log = job.sandbox.Read("C/VENTAS/LOG.TXT");
  return log.substr(log.find("\r\n") + 2);
}

// The one-bit page of a stream, rebuilt by the strict reader.
struct DotPage {
  std::string summary;  // the reader's JSON line, or its complaint
  GreyRaster raster;
};

DotPage ReadStream(const std::string& prn) {
  DotPage page;
  page.summary = ShellOutput("python3 " KALVENOR_SOURCE_DIR "/scripts/escpos_page.py " + prn + " " +
                             prn + ".pgm 2>&1");
  std::string pgm = ReadBytes(prn + ".pgm");
  int header = 0;
  if (std::sscanf(pgm.c_str(), "P5 %d %d 255\n%n", &page.raster.width, &page.raster.height, &header) == 2) {
    page.raster.pixels.assign(pgm.begin() + header, pgm.end());
  }
  return page;
}

// Run lengths (dark, light, dark ...) between the first and the last dark
// dot of row `y` from `x0` to `x1`.
std::vector<int> Runs(const GreyRaster& r, int y, int x0, int x1) {
  std::vector<int> runs;
  const uint8_t* row = r.pixels.data() + static_cast<size_t>(y) * r.width;
  while (x0 < x1 && row[x0] != 0) ++x0;
  while (x1 > x0 && row[x1 - 1] != 0) --x1;
  for (int x = x0; x < x1; ++runs.back()) {
    if (runs.empty() || (row[x] == 0) != (runs.size() % 2 == 1)) runs.push_back(0);
    ++x;
  }
  return runs;
}

// Checks the symbols of the trace's pictures of document `doc` on `page`:
// each decodes to its data, and every bar and space is a whole number of
// one module's dots (`module_twips` designed, at least 2 dots). Symbols
// that do not fit the printer's width are only counted.
int CheckSymbols(const DotPage& page, const std::string& trace, int doc, int dpi) {
  std::regex picture(R"re("op":"picture","doc":)re" + std::to_string(doc) +
                     R"re(,"x":([\d.]+),"y":([\d.]+),"w":(\d+),"h":(\d+))re");
  const double s = dpi / 1440.0;
  const GreyRaster& r = page.raster;
  int checked = 0;
  for (std::sregex_iterator it(trace.begin(), trace.end(), picture), end; it != end; ++it) {
    double x = std::stod((*it)[1]), y = std::stod((*it)[2]), w = std::stod((*it)[3]), h = std::stod((*it)[4]);
    bool qr = w == h, ean = w == 4095;
    int x0 = static_cast<int>(x * s), y0 = static_cast<int>(y * s);
    int x1 = std::min<int>(r.width, std::ceil((x + w) * s)), y1 = std::min<int>(r.height, std::ceil((y + h) * s));
    std::vector<int> runs = Runs(r, static_cast<int>((y + h * 0.3) * s), x0, x1);
    if (qr) {
      for (int row = y0; row < y1 && runs.empty(); ++row) runs = Runs(r, row, x0, x1);
    } else if (runs.empty() || (x + (ean ? 3400 : 4125) * 1.0) * s > r.width) {
      continue;  // wider than the paper
    }
    SCOPED_TRACE(qr ? "QR" : ean ? "EAN" : "Code 128");
    GreyRaster crop;
    crop.width = x1 - x0 + 40;
    crop.height = y1 - y0 + 40;
    crop.pixels.assign(static_cast<size_t>(crop.width) * crop.height, 255);
    for (int row = y0; row < y1; ++row) {
      std::copy_n(r.pixels.begin() + static_cast<size_t>(row) * r.width + x0, x1 - x0,
                  crop.pixels.begin() + static_cast<size_t>(row - y0 + 20) * crop.width + 20);
    }
    EXPECT_EQ(ReadBarcode(crop, qr ? Symbology::kQr : ean ? Symbology::kEan13 : Symbology::kCode128).value_or(""),
              qr ? std::string("") : ean ? kEan : kCode128);
    int module = qr ? runs[0] / 7 : std::max(2L, std::lround((ean ? 30 : 15) * s));
    int extent = 0;
    for (int run : runs) {
      EXPECT_EQ(run % module, 0) << "run of " << run << " dots, module " << module;
      extent += run;
    }
    if (qr) {
      EXPECT_EQ((extent / module - 17) % 4, 0) << extent;
    }
    ++checked;
  }
  return checked;
}

TEST(EscPos, SampleSlipOnTheFolderPrinter) {
  struct Case {
    int width, dpi;
    const char* cut;
    std::string cut_bytes;
    int symbols;  // per copy with the QR, those that fit the width
  } cases[] = {
      {576, 203, "partial", std::string("\x1d\x56\x42\x00", 4), 3},
      {384, 203, "full", std::string("\x1d\x56\x41\x00", 4), 2},
      {576, 300, "none", "", 1},
      {832, 300, "partial", std::string("\x1d\x56\x42\x00", 4), 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + " dots at " + std::to_string(c.dpi));
    JobSandbox job;
    job.sandbox.Write("printers/COMANDERA/kalvenor-options",
                      "kalvenor-output=escpos\nkalvenor-escpos-width=" + std::to_string(c.width) +
                          "\nkalvenor-escpos-dpi=" + std::to_string(c.dpi) + "\nkalvenor-escpos-cut=" + c.cut + "\n");
    Host host = job.HostWith(MakeFolderPrinters(job.sandbox.Path("printers"), "OFICINA"));
    ASSERT_EQ(RunJob(kSlip, host), 0);
    EXPECT_EQ(SecondLogLine(job), "Finalizo correctamente.\r\n");
    std::string trace = job.sandbox.Read("trace.jsonl");
    for (int doc = 1; doc <= 2; ++doc) {
      std::string prn = "printers/COMANDERA/00000" + std::to_string(doc) + ".prn";
      ASSERT_TRUE(job.sandbox.Exists(prn)) << trace;
      EXPECT_TRUE(job.sandbox.Read(prn).ends_with(c.cut_bytes));
      DotPage page = ReadStream(job.sandbox.Path(prn));
      ASSERT_NE(page.summary.find("\"cut\": \"" + std::string(c.cut) + "\""), std::string::npos) << page.summary;
      EXPECT_LE(page.raster.width, c.width);
      EXPECT_EQ(CheckSymbols(page, trace, doc, c.dpi), c.symbols - (doc == 2 && c.symbols == 3 ? 1 : 0));
    }
  }
}

}  // namespace
}  // namespace kalvenor
