#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "platform/printers.h"
#include "platform/run_time_error.h"

namespace kalvenor {
namespace {

namespace fs = std::filesystem;

// A fresh folder under the system temporary folder, removed afterwards.
class FolderPrintersTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "printers-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
  }
  void TearDown() override {
    fs::permissions(root_, fs::perms::all, fs::perm_options::add);
    fs::remove_all(root_);
  }

  void MakeFolders(const std::vector<std::string>& names) {
    for (const std::string& name : names) fs::create_directories(root_ / name);
  }
  void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }
  static std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
  }
  std::vector<std::string> Entries(const std::string& printer) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(root_ / printer)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path root_;
};

TEST_F(FolderPrintersTest, NamesInByteOrderAndDefaultChoice) {
  MakeFolders({"b", "a", "Z-2", "_x", "A"});
  WriteFile(root_ / "loose.pdf", "not a printer");
  struct {
    std::string default_name;
    int index;
  } cases[] = {
      {"a", 3},
      {"_x", 2},
      {"missing", 0},  // an unknown name falls back to the first
      {"", 0},
      {"B", 0},  // names match exactly, case included
  };
  for (const auto& c : cases) {
    auto printers = MakeFolderPrinters(root_.string(), c.default_name);
    EXPECT_EQ(printers->Names(),
              (std::vector<std::string>{"A", "Z-2", "_x", "a", "b"}));
    EXPECT_EQ(printers->DefaultIndex(), c.index) << c.default_name;
  }
}

TEST_F(FolderPrintersTest, NoPrinterWhenFolderEmptyOrMissing) {
  for (const fs::path& folder : {root_, root_ / "does-not-exist"}) {
    auto printers = MakeFolderPrinters(folder.string(), "x");
    EXPECT_TRUE(printers->Names().empty()) << folder;
    EXPECT_EQ(printers->DefaultIndex(), -1) << folder;
  }
}

TEST_F(FolderPrintersTest, NumberingContinuesAfterTheHighest) {
  MakeFolders({"fresh", "used"});
  for (const char* name : {"000007.pdf", "000003.pdf", "12.pdf", "000099.txt",
                           "1234567890.pdf", "x12.pdf", "notes"}) {
    WriteFile(root_ / "used" / name, "old");
  }
  auto printers = MakeFolderPrinters(root_.string(), "");
  struct {
    std::string printer;
    std::string file;
  } cases[] = {
      {"fresh", "000001.pdf"},
      {"fresh", "000002.pdf"},
      {"used", "000013.pdf"},
      {"used", "000014.pdf"},
  };
  for (const auto& c : cases) {
    std::string pdf = "%PDF-1.4 " + c.printer + c.file;
    EXPECT_EQ(printers->Submit(c.printer, pdf, "title"),
              (root_ / c.printer / c.file).string());
    EXPECT_EQ(ReadFile(root_ / c.printer / c.file), pdf);
  }
  // Nothing else appears: no temporary file is left behind.
  EXPECT_EQ(Entries("fresh"),
            (std::vector<std::string>{"000001.pdf", "000002.pdf"}));
  EXPECT_EQ(Entries("used").size(), 9u);
  EXPECT_EQ(ReadFile(root_ / "used" / "000007.pdf"), "old");
}

TEST_F(FolderPrintersTest, SimultaneousProcessesGetDistinctFiles) {
  MakeFolders({"p"});
  constexpr int kProcesses = 4;
  constexpr int kDocuments = 15;
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      auto printers = MakeFolderPrinters(root_.string(), "p");
      try {
        for (int d = 0; d < kDocuments; ++d) {
          printers->Submit("p", "doc " + std::to_string(p) + "/" + std::to_string(d), "");
        }
      } catch (...) {
        _exit(1);
      }
      _exit(0);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  // Every document once, whole, under the numbers 1..N without a gap.
  std::set<std::string> contents;
  std::vector<std::string> expected_names;
  for (int n = 1; n <= kProcesses * kDocuments; ++n) {
    char name[16];
    std::snprintf(name, sizeof name, "%06d.pdf", n);
    expected_names.push_back(name);
    contents.insert(ReadFile(root_ / "p" / name));
  }
  EXPECT_EQ(Entries("p"), expected_names);
  EXPECT_EQ(contents.size(), size_t{kProcesses * kDocuments});
  EXPECT_EQ(contents.count("doc 3/14"), 1u);
}

TEST_F(FolderPrintersTest, UnwritableOrMissingPrinterFolderRaises) {
  MakeFolders({"locked"});
  fs::permissions(root_, fs::perms::owner_all | fs::perms::group_read |
                             fs::perms::group_exec | fs::perms::others_read |
                             fs::perms::others_exec);
  fs::permissions(root_ / "locked", fs::perms::owner_read | fs::perms::owner_exec |
                                        fs::perms::group_read | fs::perms::group_exec |
                                        fs::perms::others_read | fs::perms::others_exec);
  auto printers = MakeFolderPrinters(root_.string(), "");
  ASSERT_EQ(printers->Names(), std::vector<std::string>{"locked"});

  // Root writes anywhere, so the child gives that up first. It reports
  // through its exit status: 0 when the right failure was raised.
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(3);
    try {
      printers->Submit("locked", "%PDF", "");
    } catch (const RunTimeError& e) {
      _exit(e.number() == kPermissionDenied &&
                    std::string(e.what()) == "Permission denied"
                ? 0
                : 1);
    }
    _exit(2);  // written after all
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: wrong failure, 2: no failure";
  EXPECT_TRUE(Entries("locked").empty());

  try {
    printers->Submit("gone", "%PDF", "");
    ADD_FAILURE() << "no failure for a missing printer folder";
  } catch (const RunTimeError& e) {
    EXPECT_EQ(e.number(), kPathNotFound);
  }
}

TEST_F(FolderPrintersTest, MediaWidthFromOptionalFile) {
  MakeFolders({"narrow", "plain", "garbage"});
  WriteFile(root_ / "narrow" / "media-width-mm", "58\n");
  WriteFile(root_ / "garbage" / "media-width-mm", "wide");
  auto printers = MakeFolderPrinters(root_.string(), "");
  EXPECT_EQ(printers->MediaWidthMm("narrow"), 58);
  EXPECT_EQ(printers->MediaWidthMm("plain"), 0);
  EXPECT_EQ(printers->MediaWidthMm("garbage"), 0);
}

}  // namespace
}  // namespace kalvenor
