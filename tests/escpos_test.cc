// The sample slip on ESC/POS printers: a folder printer and a raw CUPS queue to a stand-in printer
// (testing/fake_status_printer.py). Each stream is read strictly, its symbols decoded and measured in dots.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <regex>

#include "app/job.h"
#include "testing/barcode_testing.h"
#include "testing/job_sandbox.h"

namespace kalvenor {
namespace {

const std::string kEan = "0000000001236", kCode128 = "12345678901234567890";

// The strict reader's JSON lines (or complaint) on a stream; `page`: its first document, as wide as
// the widest inked band.
std::string ReadStream(const std::string& prn, GreyRaster& page) {
  std::string summary = ShellOutput("python3 " KALVENOR_SOURCE_DIR "/scripts/escpos_page.py " + prn + " " +
                                    prn + ".pgm 2>&1");
  std::string pgm = ReadBytes(prn + ".pgm");
  int header = 0;
  if (std::sscanf(pgm.c_str(), "P5 %d %d 255\n%n", &page.width, &page.height, &header) == 2) {
    page.pixels.assign(pgm.begin() + header, pgm.end());
  }
  return summary;
}

// Runs (light, dark, light, ..., dark) of row `y` from `x0` up to its last
// dark dot before `x1`; the paper beyond the raster is blank.
std::vector<int> Runs(const GreyRaster& r, int y, int x0, int x1) {
  std::vector<int> runs{0};
  for (int x = x0; x < std::min(x1, r.width); ++x) {
    bool dark = r.pixels[static_cast<size_t>(y) * r.width + x] == 0;
    if (dark != (runs.size() % 2 == 0)) runs.push_back(0);
    ++runs.back();
  }
  if (runs.size() % 2 == 1) runs.pop_back();
  return runs;
}

// Checks the symbols of document `doc`'s pictures on paper `width` dots wide: each decodes, every bar and
// space is whole modules (the designed one rounded, at least 2 dots for a bar code). Returns how many were
// checked: a symbol that with its quiet zone runs past the paper's edge is left out.
int CheckSymbols(const GreyRaster& r, const std::string& trace, int doc, int width, double s, bool fit) {
  const std::string csv = JobSandbox::Example("R-001234.csv");
  const std::string link = csv.substr(csv.rfind(';') + 1, csv.find_last_not_of("\r\n") - csv.rfind(';'));
  std::regex picture(R"re("op":"picture","doc":)re" + std::to_string(doc) +
                     R"re(,"x":([\d.]+),"y":([\d.]+),"w":(\d+),"h":(\d+))re");
  int checked = 0;
  for (std::sregex_iterator it(trace.begin(), trace.end(), picture), end; it != end; ++it) {
    double x = std::stod((*it)[1]), y = std::stod((*it)[2]), w = std::stod((*it)[3]), h = std::stod((*it)[4]);
    bool qr = w == h, ean = w == 4095;
    SCOPED_TRACE(qr ? "QR" : ean ? "EAN" : "Code 128");
    int x0 = std::lround(x * s), y0 = std::lround(y * s);
    int y1 = std::min<int>(r.height, std::ceil((y + h) * s));
    // A row through the bars; for QR the top row of its finder patterns.
    std::vector<int> runs;
    int row = qr ? y0 : std::lround((y + h * 0.3) * s);
    for (; row < y1 && (runs = Runs(r, row, x0, width)).empty(); ++row) {
    }
    if (runs.empty()) {
      ADD_FAILURE() << "no symbol";
      continue;
    }
    int module = qr ? runs[1] / 7 : std::max(2L, std::lround((ean ? 30 : 15) * s)), extent = 0;
    for (size_t i = 1; i < runs.size(); ++i) extent += runs[i];
    if (fit) {  // at least 2 dots; a Code 128 of 20 digits all set C: start, ten pairs, check and stop
      EXPECT_GE(module, 2);
      EXPECT_TRUE(qr || ean || extent / module == 11 + 10 * 11 + 11 + 13) << extent / module << " modules";
    }
    if (x0 + runs[0] + extent + (qr ? 4 : 10) * module > width) continue;  // wider than the paper
    for (size_t i = 1; i < runs.size(); ++i) {
      EXPECT_EQ(runs[i] % module, 0) << "run of " << runs[i] << " dots, module " << module;
    }
    if (qr) {  // square, 17 + 4n modules, and as tall as the modules make it
      EXPECT_EQ((extent / module - 17) % 4, 0) << extent;
      y1 = std::min(r.height, row + extent);
    }
    GreyRaster crop;  // the picture's rows from x0 to the paper's edge, on a white border
    crop.width = width - x0 + 40;
    crop.height = y1 - y0 + 40;
    crop.pixels.assign(static_cast<size_t>(crop.width) * crop.height, 255);
    for (int row = y0; row < y1; ++row) {
      std::copy_n(r.pixels.begin() + static_cast<size_t>(row) * r.width + x0, std::max(0, r.width - x0),
                  crop.pixels.begin() + static_cast<size_t>(row - y0 + 20) * crop.width + 20);
    }
    Symbology symbology = qr ? Symbology::kQr : ean ? Symbology::kEan13 : Symbology::kCode128;
    EXPECT_EQ(ReadBarcode(crop, symbology).value_or(""), qr ? link : ean ? kEan : kCode128);
    ++checked;
  }
  return checked;
}

bool Shell(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

// Runs its command when it goes.
struct Cleanup {
  std::string command;
  ~Cleanup() { Shell(command); }
};

// The sample slip or label file on printer COMANDERA with a case's settings, on a folder printer or a raw
// CUPS queue to the stand-in printer (`mode`: "" printing, "--stop-reading=0" never reading, "--refuse"
// refusing).
// The log's second line matches `outcome` ("%": the printer); `symbols`: per document, how many fit the
// paper; with none, no stream may reach the printer.
TEST(EscPos, SampleJobsOnFolderPrintersAndRawCupsQueues) {
  const std::string kOk = "Finalizo correctamente\\.", kError = "ERROR: Printer error: ",
                    kLate = kError + "%: job \\d+ was not printed in time.*; printer state reasons: ";
  auto refused = [&](const std::string& name) { return kError + "%: .*kalvenor-escpos-" + name + ".*"; };
  struct Case {
    const char* name;
    const char* mode;  // nullptr: the folder printer
    int width, dpi;
    const char* cut;
    std::string more;  // further settings, name=value lines
    bool label;
    std::string outcome;
    std::vector<int> symbols;
  } cases[] = {
      {"80 mm at 203 dpi", nullptr, 576, 203, "partial", "", false, kOk, {3, 2}},
      {"58 mm: the bar codes are wider than the paper", nullptr, 384, 203, "full", "", false, kOk, {1, 0}},
      {"58 mm scaled to fit", nullptr, 384, 203, "full", "kalvenor-escpos-fit=scale\n", false, kOk, {3, 2}},
      {"80 mm at 180 dpi: modules rounded up", nullptr, 576, 180, "none", "", false, kOk, {3, 2}},
      {"104 mm at 300 dpi", nullptr, 832, 300, "partial", "", false, kOk, {3, 2}},
      {"width not a multiple of 8", nullptr, 500, 203, "partial", "", false, refused("width"), {}},
      {"unknown option", nullptr, 576, 203, "partial", "kalvenor-escpos-speed=2\n", false, refused("speed"),
       {}},
      {"raw CUPS queue", "", 576, 203, "partial", "", false, kOk, {3, 2}},
      {"raw CUPS queue, label file", "", 384, 300, "full", "", true, kOk, {0, 0}},
      {"raw CUPS queue, unknown cut", "", 576, 203, "partial", "kalvenor-escpos-cut=half\n", false,
       refused("cut"), {}},
      {"printer refusing connections", "--refuse", 576, 203, "partial", "", false, kLate + ".*unavailable.*",
       {}},
      {"printer stalling", "--stop-reading=0", 576, 203, "partial", "", false, kLate + "cups-waiting-for-job.*", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string settings = "kalvenor-output=escpos\nkalvenor-escpos-width=" + std::to_string(c.width) +
                           "\nkalvenor-escpos-dpi=" + std::to_string(c.dpi) +
                           "\nkalvenor-escpos-cut=" + c.cut + "\n" + c.more;
    JobSandbox job;
    job.sandbox.Write("C/CAE/RTA/R-001234.csv", JobSandbox::Example("R-001234.csv"));
    std::string printer = "COMANDERA", out = "printers/COMANDERA/00000";
    std::unique_ptr<Printers> printers;
    std::unique_ptr<ReportingProcess> stand_in;  // ended after the queue is gone
    Cleanup cleanup;
    if (c.mode == nullptr) {
      job.sandbox.Write("printers/COMANDERA/kalvenor-options", settings);
      printers = MakeFolderPrinters(job.sandbox.Path("printers"), "OFICINA");
    } else {
      if (geteuid() != 0 || ShellOutput("lpstat -r 2>/dev/null").find("is running") == std::string::npos) {
        GTEST_SKIP() << "raw CUPS queues need root and a running cupsd (scripts/cups-test-queue.sh)";
      }
      job.sandbox.MakeFolder("escpos");
      printer = "KALVENOR-ESCPOS-" + std::to_string(getpid());
      out = "escpos/job-";
      std::vector<std::string> argv = {"python3", KALVENOR_SOURCE_DIR "/testing/fake_status_printer.py",
                                       job.sandbox.Path("record.json"), "--streams", job.sandbox.Path("escpos")};
      if (*c.mode != '\0') argv.push_back(c.mode);
      stand_in = std::make_unique<ReportingProcess>(argv, false, /*input=*/true);
      std::string port = stand_in->ReadLine();
      ASSERT_TRUE(port.starts_with("port ")) << "the stand-in printer did not start: " << port;
      cleanup.command = "cancel -a " + printer + "; lpadmin -x " + printer;
      std::string options = std::regex_replace(settings, std::regex("(.+)=(.*)\n"), " -o $1-default=$2");
      ASSERT_TRUE(Shell("lpadmin -p " + printer + " -m raw -E -v socket://127.0.0.1:" +
                        port.substr(5) + "/?snmp=false" + options));
      printers = std::make_unique<StagedPrinters>(MakeCupsPrinters(c.symbols.empty() ? 2 : 30), nullptr,
                                                  "COMANDERA", printer);
    }
    Host host = job.HostWith(std::move(printers));
    std::string slip = c.label ? "ETIQUE01" : "C0001234";
    ASSERT_EQ(RunJob("kalvenor \\VENTAS\\" + slip + ".TXT \\VENTAS\\LOG.TXT N S", host), 0);
    std::string log = job.sandbox.Read("C/VENTAS/LOG.TXT"), trace = job.sandbox.Read("trace.jsonl");
    std::string second = log.substr(log.find("\r\n") + 2);
    EXPECT_TRUE(std::regex_match(second, std::regex(std::regex_replace(c.outcome, std::regex("%"), printer) +
                                                    "\r\n")))
        << second;
    std::string heard = "\n";  // the stand-in's lines
    for (size_t doc = 1; doc <= std::max<size_t>(c.symbols.size(), 1); ++doc) {
      std::string prn = out + std::to_string(doc) + ".prn";
      // The stand-in says when it has a connection's whole stream, and how it read it.
      const std::string name = "\njob-" + std::to_string(doc) + " ";
      for (std::string line = "-"; stand_in && !c.symbols.empty() && !line.empty() && heard.find(name) == std::string::npos;) {
        heard += (line = stand_in->ReadLine()) + "\n";
      }
      if (stand_in && !c.symbols.empty()) {
        EXPECT_NE(heard.find(name + "ok\n"), std::string::npos) << heard;
      }
      if (c.symbols.empty()) {
        EXPECT_FALSE(job.sandbox.Exists(prn)) << "nothing may reach the printer";
        EXPECT_EQ(trace.find("\"enddoc\""), std::string::npos);
        break;
      }
      ASSERT_TRUE(job.sandbox.Exists(prn)) << trace;
      GreyRaster page;
      std::string summary = ReadStream(job.sandbox.Path(prn), page);
      ASSERT_NE(summary.find("\"cut\": \"" + std::string(c.cut) + "\""), std::string::npos) << summary;
      EXPECT_EQ(std::count(summary.begin(), summary.end(), '\n'), 1) << "one document a job";
      EXPECT_LE(page.width, c.width);
      const bool fit = c.more.find("fit=scale") != std::string::npos;
      const double s = fit ? c.width / (72 / 25.4 * 1440) : c.dpi / 1440.0;  // dots per twip
      EXPECT_EQ(CheckSymbols(page, trace, static_cast<int>(doc), c.width, s, fit), c.symbols[doc - 1]);
    }
  }
}

}  // namespace
}  // namespace kalvenor
