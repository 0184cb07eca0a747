#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "platform/printers.h"
#include "platform/run_time_error.h"
#include "testing/fake_host.h"

namespace kalvenor {
namespace {

namespace fs = std::filesystem;

class FolderPrintersTest : public testing::Test {
 protected:
  std::vector<std::string> Entries(const std::string& printer) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(sandbox_.Path(printer))) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  // Waits for a forked child: its exit status, or -1.
  static int ExitStatus(pid_t pid) {
    int status = 0;
    return waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

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
  EXPECT_EQ(Entries("fresh"), (std::vector<std::string>{"000001.pdf", "000002.pdf"}));
  EXPECT_EQ(Entries("used").size(), 9u);
  EXPECT_EQ(sandbox_.Read("used/000007.pdf"), "old");
}

TEST_F(FolderPrintersTest, SimultaneousProcessesGetDistinctFiles) {
  sandbox_.MakeFolder("p");
  constexpr int kProcesses = 4, kDocuments = 15;
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      try {
        auto printers = MakeFolderPrinters(sandbox_.root(), "p");
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
  for (pid_t pid : children) EXPECT_EQ(ExitStatus(pid), 0);
  // Every document once, whole, under the numbers 1..N without a gap.
  std::vector<std::string> names = Entries("p");
  ASSERT_EQ(names.size(), size_t{kProcesses * kDocuments});
  EXPECT_EQ(names.back(), "000060.pdf");
  std::set<std::string> contents;
  for (const std::string& name : names) contents.insert(sandbox_.Read("p/" + name));
  EXPECT_EQ(contents.size(), names.size());
  EXPECT_EQ(contents.count("doc 3/14"), 1u);
}

TEST_F(FolderPrintersTest, UnwritableOrMissingPrinterFolderRaises) {
  sandbox_.MakeFolder("locked");
  fs::permissions(sandbox_.root(), fs::perms::all);  // reachable for nobody
  fs::permissions(sandbox_.Path("locked"), fs::perms::owner_read | fs::perms::owner_exec |
                                               fs::perms::others_read | fs::perms::others_exec);
  auto printers = MakeFolderPrinters(sandbox_.root(), "");
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
      _exit(e.number() == kPermissionDenied && std::string(e.what()) == "Permission denied" ? 0 : 1);
    }
    _exit(2);  // written after all
  }
  EXPECT_EQ(ExitStatus(pid), 0) << "1: wrong failure, 2: no failure";
  EXPECT_TRUE(Entries("locked").empty());

  try {
    printers->Submit("gone", "%PDF", "");
    ADD_FAILURE() << "no failure for a missing printer folder";
  } catch (const RunTimeError& e) {
    EXPECT_EQ(e.number(), kPathNotFound);
  }
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
