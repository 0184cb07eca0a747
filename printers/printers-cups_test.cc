#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "printers/printers.h"
#include "base/run_time_error.h"

namespace kalvenor {
namespace {

// The queue that scripts/cups-test-queue.sh sets up.
constexpr char kTestQueue[] = "KALVENOR-COMANDERA";

void ExpectPrinterError(Printers& printers, const std::string& name) {
  try {
    printers.Submit(name, "%PDF-1.4\n", "kalvenor test");
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
    EXPECT_EQ(std::tuple(printers->Names().size(), printers->DefaultIndex(), printers->MediaWidthMm(kTestQueue)),
              std::tuple(0u, -1, 0.0));
    ExpectPrinterError(*printers, kTestQueue);
  }).join();
  if (saved) setenv("CUPS_SERVER", saved_value.c_str(), 1);
  else unsetenv("CUPS_SERVER");
  ExpectPrinterError(*MakeCupsPrinters(), "KALVENOR-NO-SUCH-QUEUE");
}

TEST(CupsPrinters, TestQueueIsListedWithItsMediaWidth) {
  auto printers = MakeCupsPrinters();
  const auto& names = printers->Names();
  if (std::find(names.begin(), names.end(), kTestQueue) == names.end()) {
    GTEST_SKIP() << "no CUPS queue " << kTestQueue << "; run scripts/cups-test-queue.sh as root";
  }
  EXPECT_LT(static_cast<size_t>(printers->DefaultIndex()), names.size());
  EXPECT_GT(printers->MediaWidthMm(kTestQueue), 0);
}

}  // namespace
}  // namespace kalvenor
