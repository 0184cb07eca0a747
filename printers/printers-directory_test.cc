#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <iterator>

#include "base/run_time_error.h"
#include "printers/printers.h"
#include "testing/fake_host.h"

namespace kalvenor {
namespace {

namespace fs = std::filesystem;

TEST(FolderPrinters, NamesInByteOrderAndDefaultChoice) {
  Sandbox sandbox;
  for (const char* name : {"b", "a", "Z-2", "_x", "A"}) sandbox.MakeFolder(name);
  sandbox.Write("loose.pdf", "not a printer");
  // An unknown name falls back to the first; names match exactly, case included.
  const std::pair<std::string, int> cases[] = {{"a", 3}, {"missing", 0}, {"B", 0}};
  for (const auto& [default_name, index] : cases) {
    auto printers = MakeFolderPrinters(sandbox.root(), default_name);
    EXPECT_EQ(printers->Names(), (std::vector<std::string>{"A", "Z-2", "_x", "a", "b"}));
    EXPECT_EQ(printers->DefaultIndex(), index) << default_name;
  }
  // A printer folder that cannot be listed holds no printer, and the job's failure says why.
  auto none = MakeFolderPrinters(sandbox.Path("loose.pdf"), "x");
  EXPECT_EQ(std::pair(none->Names().size(), none->DefaultIndex()), std::pair(size_t{0}, -1));
  EXPECT_EQ(none->NoPrinterReason(), "cannot read the printer folder " + sandbox.Path("loose.pdf") + ": Path not found");
}

TEST(FolderPrinters, NumberingContinuesAfterTheHighest) {
  Sandbox sandbox;
  sandbox.MakeFolder("fresh");
  for (const char* name : {"000007.pdf", "000003.pdf", "12.pdf", "000099.txt", "1234567890.pdf",
                           "x12.pdf", "notes"}) {
    sandbox.Write(std::string("used/") + name, "old");
  }
  auto printers = MakeFolderPrinters(sandbox.root(), "");
  for (const char* file : {"fresh/000001.pdf", "fresh/000002.pdf", "used/000013.pdf", "used/000014.pdf"}) {
    std::string printer(file, 4 + (file[0] == 'f'));
    std::string pdf = std::string("%PDF-1.4 ") + file;
    EXPECT_EQ(printers->Submit(printer, pdf, "title"), sandbox.Path(file));
    EXPECT_EQ(sandbox.Read(file), pdf);
  }
  // Nothing else appears: no temporary file is left behind.
  EXPECT_EQ(std::distance(fs::directory_iterator(sandbox.Path("fresh")), fs::directory_iterator()), 2);
  EXPECT_EQ(std::distance(fs::directory_iterator(sandbox.Path("used")), fs::directory_iterator()), 9);
  EXPECT_EQ(sandbox.Read("used/000007.pdf"), "old");
}

// A printer's settings files: missing means the defaults; one that cannot
// be read is the printer's error naming the file, never a silent PDF, and a
// FIFO in its place is refused at once instead of holding the job.
TEST(FolderPrinters, SettingsFilesReadWithoutWaiting) {
  Sandbox sandbox;
  sandbox.MakeFolder("plain");
  sandbox.Write("narrow/media-width-mm", "57.5\n");
  sandbox.Write("garbage/media-width-mm", "wide");
  sandbox.Write("escpos/kalvenor-options", "kalvenor-output=escpos\n");
  sandbox.MakeFolder("folder/kalvenor-options");
  sandbox.MakeFolder("fifo");
  ASSERT_EQ(mkfifo(sandbox.Path("fifo/kalvenor-options").c_str(), 0666), 0);
  ASSERT_EQ(mkfifo(sandbox.Path("fifo/media-width-mm").c_str(), 0666), 0);
  auto printers = MakeFolderPrinters(sandbox.root(), "");
  const std::pair<const char*, double> widths[] = {{"narrow", 57.5}, {"plain", 0}, {"garbage", 0}, {"fifo", 0}};
  for (auto [name, width] : widths) EXPECT_EQ(printers->MediaWidthMm(name), width) << name;
  EXPECT_EQ(std::pair(printers->Output("plain").format, printers->Output("escpos").format),
            std::pair(PrinterOutput::Format::kPdf, PrinterOutput::Format::kEscPos));
  for (const char* name : {"folder", "fifo"}) {
    auto [number, description] = Raised([&] { printers->Output(name); });
    EXPECT_EQ(number, kPrinterError);
    EXPECT_NE(description.find(sandbox.Path(name) + "/kalvenor-options is not an ordinary file"),
              std::string::npos) << description;
  }
}

}  // namespace
}  // namespace kalvenor
