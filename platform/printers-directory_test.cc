#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>

#include "platform/printers.h"
#include "testing/fake_host.h"

namespace kalvenor {
namespace {

namespace fs = std::filesystem;

class FolderPrintersTest : public testing::Test {
 protected:
  Sandbox sandbox_;
};

TEST_F(FolderPrintersTest, NamesInByteOrderAndDefaultChoice) {
  for (const char* name : {"b", "a", "Z-2", "_x", "A"}) sandbox_.MakeFolder(name);
  sandbox_.Write("loose.pdf", "not a printer");
  // An unknown name falls back to the first; names match exactly, case included.
  const std::pair<std::string, int> cases[] = {{"a", 3}, {"_x", 2}, {"missing", 0}, {"", 0}, {"B", 0}};
  for (const auto& [default_name, index] : cases) {
    auto printers = MakeFolderPrinters(sandbox_.root(), default_name);
    EXPECT_EQ(printers->Names(), (std::vector<std::string>{"A", "Z-2", "_x", "a", "b"}));
    EXPECT_EQ(printers->DefaultIndex(), index) << default_name;
  }
  for (const std::string& folder : {sandbox_.Path("a"), sandbox_.Path("does-not-exist")}) {
    auto printers = MakeFolderPrinters(folder, "x");
    EXPECT_TRUE(printers->Names().empty()) << folder;
    EXPECT_EQ(printers->DefaultIndex(), -1) << folder;
  }
}

TEST_F(FolderPrintersTest, NumberingContinuesAfterTheHighest) {
  sandbox_.MakeFolder("fresh");
  for (const char* name : {"000007.pdf", "000003.pdf", "12.pdf", "000099.txt", "1234567890.pdf",
                           "x12.pdf", "notes"}) {
    sandbox_.Write(std::string("used/") + name, "old");
  }
  auto printers = MakeFolderPrinters(sandbox_.root(), "");
  for (const char* file : {"fresh/000001.pdf", "fresh/000002.pdf", "used/000013.pdf", "used/000014.pdf"}) {
    std::string printer(file, 4 + (file[0] == 'f'));
    std::string pdf = std::string("%PDF-1.4 ") + file;
    EXPECT_EQ(printers->Submit(printer, pdf, "title"), sandbox_.Path(file));
    EXPECT_EQ(sandbox_.Read(file), pdf);
  }
  // Nothing else appears: no temporary file is left behind.
  for (auto [folder, files] : {std::pair{"fresh", 2}, {"used", 9}}) {
    auto entries = fs::directory_iterator(sandbox_.Path(folder));
    EXPECT_EQ(std::distance(begin(entries), end(entries)), files) << folder;
  }
  EXPECT_EQ(sandbox_.Read("used/000007.pdf"), "old");
}

TEST_F(FolderPrintersTest, MediaWidthFromOptionalFile) {
  sandbox_.MakeFolder("plain");
  sandbox_.Write("narrow/media-width-mm", "58\n");
  sandbox_.Write("garbage/media-width-mm", "wide");
  auto printers = MakeFolderPrinters(sandbox_.root(), "");
  const std::pair<const char*, int> widths[] = {{"narrow", 58}, {"plain", 0}, {"garbage", 0}};
  for (auto [name, width] : widths) EXPECT_EQ(printers->MediaWidthMm(name), width) << name;
}

}  // namespace
}  // namespace kalvenor
