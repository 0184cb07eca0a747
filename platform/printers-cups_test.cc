#include <cairo-pdf.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/printers.h"
#include "platform/run_time_error.h"
#include "testing/fake_host.h"
#include "testing/job_sandbox.h"

namespace kalvenor {
namespace {

namespace fs = std::filesystem;

// The queue that scripts/cups-test-queue.sh sets up.
constexpr char kTestQueue[] = "KALVENOR-COMANDERA";

// A one-page PDF (80 x 100 mm) with one line of text.
std::string SmallPdf() {
  std::string pdf;
  cairo_surface_t* surface = cairo_pdf_surface_create_for_stream(
      [](void* out, const unsigned char* data, unsigned int size) {
        static_cast<std::string*>(out)->append(reinterpret_cast<const char*>(data), size);
        return CAIRO_STATUS_SUCCESS;
      },
      &pdf, 226.77, 283.46);
  cairo_t* cr = cairo_create(surface);
  cairo_move_to(cr, 20, 80);
  cairo_show_text(cr, "Hola comandera");
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
  return pdf;
}

void ExpectPrinterError(Printers& printers, const std::string& name) {
  try {
    printers.Submit(name, SmallPdf(), "kalvenor test");
    ADD_FAILURE() << "no failure for printer " << name;
  } catch (const RunTimeError& e) {
    std::string what = e.what();
    EXPECT_EQ(e.number(), kPrinterError);
    EXPECT_TRUE(what.starts_with("Printer error: ") && what.find(name) != std::string::npos &&
                what.find('\n') == std::string::npos)
        << what;
  }
}

TEST(CupsPrinters, NoServerMeansNoPrinterAndSubmitRaises) {
  // CUPS reads its server once per thread, so a fresh thread sees this one.
  const char* saved = std::getenv("CUPS_SERVER");
  std::string saved_value = saved ? saved : "";
  setenv("CUPS_SERVER", "/nonexistent/kalvenor-cups.sock", 1);
  std::thread([] {
    auto printers = MakeCupsPrinters();
    EXPECT_TRUE(printers->Names().empty());
    EXPECT_EQ(printers->DefaultIndex(), -1);
    EXPECT_EQ(printers->MediaWidthMm(kTestQueue), 0);
    ExpectPrinterError(*printers, kTestQueue);
  }).join();
  if (saved) setenv("CUPS_SERVER", saved_value.c_str(), 1);
  else unsetenv("CUPS_SERVER");
  ExpectPrinterError(*MakeCupsPrinters(), "KALVENOR-NO-SUCH-QUEUE");
}

// Where cups-pdf writes the queue's output: KALVENOR_CUPS_PDF_OUT, else the
// "Out" of the queue's cups-pdf configuration.
std::string CupsPdfOutputFolder() {
  if (const char* out = std::getenv("KALVENOR_CUPS_PDF_OUT")) return out;
  std::string conf = ReadBytes("/etc/cups/cups-pdf-KALVENOR.conf");
  size_t at = conf.find("\nOut ");
  if (at == std::string::npos) return "/var/spool/cups-pdf/KALVENOR";
  return conf.substr(at + 5, conf.find('\n', at + 1) - at - 5);
}

TEST(CupsPrinters, JobReachesTheTestQueue) {
  auto printers = MakeCupsPrinters();
  const auto& names = printers->Names();
  if (std::find(names.begin(), names.end(), kTestQueue) == names.end()) {
    GTEST_SKIP() << "no CUPS queue " << kTestQueue << "; run scripts/cups-test-queue.sh as root";
  }
  EXPECT_LT(static_cast<size_t>(printers->DefaultIndex()), names.size());
  EXPECT_GT(printers->MediaWidthMm(kTestQueue), 0);

  std::string title = "kaltest" + std::to_string(getpid()) + "x" +
                      std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
  std::string job = printers->Submit(kTestQueue, SmallPdf(), title);
  ASSERT_FALSE(job.empty());

  // The queue names its file "<title>...-job_<id>.pdf" and writes it in
  // place: it is done once it is a whole PDF. CUPS prints asynchronously.
  const fs::path folder = CupsPdfOutputFolder();
  for (int wait = 0; wait < 200; ++wait) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
      std::string name = entry.path().filename().string();
      if (name.starts_with(title) && name.ends_with("-job_" + job + ".pdf") &&
          IsCompletePdf(ReadBytes(entry.path()))) {
        fs::remove(entry.path());
        return;
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ADD_FAILURE() << "job " << job << " made no PDF in " << folder << " within 20 s";
}

}  // namespace
}  // namespace kalvenor
