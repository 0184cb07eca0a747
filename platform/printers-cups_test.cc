#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "gtest/gtest.h"
#include "platform/printers.h"
#include "platform/run_time_error.h"

namespace kalvenor {
namespace {

namespace fs = std::filesystem;
using std::chrono::steady_clock;

// The queue that scripts/cups-test-queue.sh sets up.
constexpr char kTestQueue[] = "KALVENOR-COMANDERA";

// A small valid one-page PDF (80 x 100 mm) with one line of text.
std::string SmallPdf(const std::string& text) {
  std::string content = "BT /F1 12 Tf 20 200 Td (" + text + ") Tj ET";
  std::vector<std::string> objects = {
      "<< /Type /Catalog /Pages 2 0 R >>",
      "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 226.77 283.46] /Contents 4 0 R "
      "/Resources << /Font << /F1 5 0 R >> >> >>",
      "<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content +
          "\nendstream",
      "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
  };
  std::string pdf = "%PDF-1.4\n";
  std::vector<size_t> offsets;
  for (size_t i = 0; i < objects.size(); ++i) {
    offsets.push_back(pdf.size());
    pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
  }
  size_t xref = pdf.size();
  pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
  for (size_t offset : offsets) {
    char line[24];
    std::snprintf(line, sizeof line, "%010zu 00000 n \n", offset);
    pdf += line;
  }
  pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) +
         " /Root 1 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
  return pdf;
}

// Where cups-pdf writes the queue's output: KALVENOR_CUPS_PDF_OUT, else the
// "Out" of the queue's cups-pdf configuration.
std::string CupsPdfOutputFolder() {
  if (const char* out = std::getenv("KALVENOR_CUPS_PDF_OUT")) return out;
  std::ifstream conf("/etc/cups/cups-pdf-KALVENOR.conf");
  std::string line;
  while (std::getline(conf, line)) {
    if (line.rfind("Out ", 0) == 0) return line.substr(4);
  }
  return "/var/spool/cups-pdf/KALVENOR";
}

// The finished file of CUPS job `job` in `folder`, named "<title>...-job_<id>.pdf"
// by the test queue; cups-pdf writes in place, so a file counts once it ends
// with the PDF end marker.
std::optional<fs::path> FinishedPdf(const fs::path& folder, const std::string& job,
                                    const std::string& title) {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    std::string name = entry.path().filename().string();
    std::string suffix = "-job_" + job + ".pdf";
    if (name.size() < suffix.size() ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0 ||
        name.rfind(title, 0) != 0) {
      continue;
    }
    std::ifstream in(entry.path(), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    std::string pdf = bytes.str();
    if (pdf.rfind("%PDF", 0) == 0 &&
        pdf.find("%%EOF", pdf.size() > 32 ? pdf.size() - 32 : 0) != std::string::npos) {
      return entry.path();
    }
  }
  return std::nullopt;
}

void ExpectPrinterError(Printers& printers, const std::string& name) {
  try {
    printers.Submit(name, SmallPdf("x"), "kalvenor test");
    ADD_FAILURE() << "no failure for printer " << name;
  } catch (const RunTimeError& e) {
    std::string what = e.what();
    EXPECT_EQ(e.number(), kPrinterError);
    EXPECT_EQ(what.rfind("Printer error: ", 0), 0u) << what;
    EXPECT_EQ(what.find('\n'), std::string::npos) << what;
    EXPECT_NE(what.find(name), std::string::npos) << what;
  }
}

TEST(CupsPrinters, NoServerMeansNoPrinterAndSubmitRaises) {
  // CUPS reads its server once per thread, so a fresh thread sees this one.
  const char* saved = std::getenv("CUPS_SERVER");
  std::string saved_value = saved ? saved : "";
  setenv("CUPS_SERVER", "/nonexistent/kalvenor-cups.sock", 1);
  std::thread([] {
    auto start = steady_clock::now();
    auto printers = MakeCupsPrinters();
    EXPECT_TRUE(printers->Names().empty());
    EXPECT_EQ(printers->DefaultIndex(), -1);
    EXPECT_EQ(printers->MediaWidthMm(kTestQueue), 0);
    ExpectPrinterError(*printers, kTestQueue);
    EXPECT_LT(steady_clock::now() - start, std::chrono::seconds(10));
  }).join();
  if (saved) {
    setenv("CUPS_SERVER", saved_value.c_str(), 1);
  } else {
    unsetenv("CUPS_SERVER");
  }
}

TEST(CupsPrinters, UnknownQueueRaises) {
  auto printers = MakeCupsPrinters();
  ExpectPrinterError(*printers, "KALVENOR-NO-SUCH-QUEUE");
}

TEST(CupsPrinters, JobReachesTheTestQueue) {
  auto printers = MakeCupsPrinters();
  const auto& names = printers->Names();
  if (std::find(names.begin(), names.end(), kTestQueue) == names.end()) {
    GTEST_SKIP() << "no CUPS queue " << kTestQueue
                 << " (CUPS not running or queue missing); run "
                    "scripts/cups-test-queue.sh as root to test printing through CUPS";
  }
  ASSERT_GE(printers->DefaultIndex(), 0);
  ASSERT_LT(printers->DefaultIndex(), static_cast<int>(names.size()));
  EXPECT_GT(printers->MediaWidthMm(kTestQueue), 0);

  std::string token = "kaltest" + std::to_string(getpid()) + "x" +
                      std::to_string(steady_clock::now().time_since_epoch().count());
  std::string job = printers->Submit(kTestQueue, SmallPdf("Hola comandera"), token);
  ASSERT_FALSE(job.empty());
  EXPECT_TRUE(std::all_of(job.begin(), job.end(), ::isdigit)) << job;

  const fs::path folder = CupsPdfOutputFolder();
  auto deadline = steady_clock::now() + std::chrono::seconds(20);
  std::optional<fs::path> pdf;
  while (!(pdf = FinishedPdf(folder, job, token)) && steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ASSERT_TRUE(pdf) << "job " << job << " made no PDF in " << folder << " within 20 s";
  fs::remove(*pdf);
}

}  // namespace
}  // namespace kalvenor
