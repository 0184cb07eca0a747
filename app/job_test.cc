#include "app/job.h"

#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <stdexcept>

#include "testing/faulty_file_system.h"
#include "testing/job_sandbox.h"

namespace kalvenor {
namespace {

// A file layer whose reads of the label raise what `raise` throws.
class ThrowingFileSystem : public FaultyFileSystem {
 public:
  ThrowingFileSystem(std::unique_ptr<FileSystem> base, std::function<void()> raise)
      : FaultyFileSystem(std::move(base)), raise_(std::move(raise)) {}
  std::string ReadFile(const std::string& path) override {
    if (path.ends_with("ETIQUE01.TXT")) raise_();
    return FaultyFileSystem::ReadFile(path);
  }

 private:
  std::function<void()> raise_;
};

// Every failure reaches the log as a description of the run-time error
// table: the program's own faults as "Internal error", never as the text of
// the exception, which goes to the trace.
TEST(RunJobTest, EveryFailureIsLoggedAsADescriptionOfTheTable) {
  const std::string label = "\\VENTAS\\ETIQUE01.TXT";
  struct Case {
    const char* name;
    std::function<void()> raise;
    const char* label_file;
    const char* log;
  } cases[] = {
      {"a run-time error", [] { throw RunTimeError(kPathNotFound); }, "A\r\nB|C\r\n", "ERROR: Path not found"},
      {"no memory", [] { throw std::bad_alloc(); }, "A\r\nB|C\r\n", "ERROR: Out of memory"},
      {"a library's exception", [] { throw std::out_of_range("basic_string_view::substr: __pos"); },
       "A\r\nB|C\r\n", "ERROR: Internal error"},
      {"not even an exception", [] { throw 42; }, "A\r\nB|C\r\n", "ERROR: Internal error"},
      {"a title as the last line, without its line end", [] {}, "TITULO",
       "ERROR: Invalid procedure call or argument"},
      {"a title as the last line, with its line end", [] {}, "TITULO\r\n",
       "ERROR: Invalid procedure call or argument"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    JobSandbox job;
    job.sandbox.Write("C/VENTAS/ETIQUE01.TXT", c.label_file);
    Host host = job.HostWith(MakeFolderPrinters(job.sandbox.Path("printers"), ""));
    host.files = std::make_unique<ThrowingFileSystem>(std::move(host.files), c.raise);
    EXPECT_EQ(RunJob("kalvenor " + label + " \\VENTAS\\LOG.TXT N N", host), 0);
    EXPECT_EQ(job.sandbox.Read("C/VENTAS/LOG.TXT"),
              "Impresion de Comanda: C:\\VENTAS\\ETIQUE01.TXT\r\n" + std::string(c.log) + "\r\n");
  }
}

}  // namespace
}  // namespace kalvenor
