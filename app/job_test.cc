#include "app/job.h"

#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <stdexcept>

#include "testing/faulty_file_system.h"
#include "testing/job_sandbox.h"

namespace kalvenor {
namespace {

// Every failure reaches the log as a description of the run-time error
// table: the program's own faults as "Internal error", never as the text of
// the exception, which goes to the trace.
TEST(RunJobTest, EveryFailureIsLoggedAsADescriptionOfTheTable) {
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
    auto files = std::make_unique<FaultyFileSystem>(std::move(host.files));
    files->FailReadsOf("ETIQUE01.TXT", c.raise);
    host.files = std::move(files);
    EXPECT_EQ(RunJob("kalvenor \\VENTAS\\ETIQUE01.TXT \\VENTAS\\LOG.TXT N N", host), 0);
    EXPECT_EQ(job.sandbox.Read("C/VENTAS/LOG.TXT"),
              "Impresion de Comanda: C:\\VENTAS\\ETIQUE01.TXT\r\n" + std::string(c.log) + "\r\n");
  }
}

}  // namespace
}  // namespace kalvenor
