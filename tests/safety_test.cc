// What a job may touch: paths stay on their drive, an unmapped drive is
// never reached, and a run writes only the files its caller named.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "testing/job_sandbox.h"

namespace kalvenor {
namespace {

std::set<std::string> Added(const std::set<std::string>& before, const std::set<std::string>& after) {
  std::set<std::string> added;
  std::set_difference(after.begin(), after.end(), before.begin(), before.end(),
                      std::inserter(added, added.end()));
  return added;
}

TEST(SafetyTest, ParentStepsStopAtTheDriveRoot) {
  struct Case {
    const char* slip;
    const char* log;
    std::string outcome;
  } cases[] = {
      // Climbing above C: lands at its root, where \VENTAS is.
      {"\\..\\..\\..\\..\\..\\VENTAS\\C0001234.TXT", "\\..\\..\\..\\VENTAS\\LOG.TXT",
       "Finalizo correctamente."},
      // A file outside the drive's folder is out of reach: /etc/hostname
      // would be read (and fail as a slip) if the path left the drive.
      {"\\..\\..\\..\\..\\..\\..\\ETC\\HOSTNAME", "\\VENTAS\\LOG.TXT", "ERROR: File not found"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.slip);
    JobSandbox job;
    ASSERT_EQ(RunProgram(job.Job({c.slip, c.log, "N", "S"})), 0);
    std::string log = job.sandbox.Read("C/VENTAS/LOG.TXT");
    EXPECT_TRUE(log.ends_with("\r\n" + c.outcome + "\r\n")) << log;
  }
}

// An unmapped program drive is never reached; a run writes only its files.
TEST(SafetyTest, AJobWritesOnlyWhatItsCallerNamed) {
  JobSandbox job;
  std::set<std::string> before = job.Files();
  // The program drive Q: is not mapped: neither the slip nor the log can be
  // reached, and nothing but the trace is written.
  ProgramRun run = job.SlipJob();
  run.env["KALVENOR_PROGRAM_DRIVE"] = "Q:";
  EXPECT_EQ(RunProgram(run), 1);
  EXPECT_NE(job.sandbox.Read("stderr.txt").find("Path not found"), std::string::npos);
  EXPECT_EQ(Added(before, job.Files()), (std::set<std::string>{"stderr.txt", "trace.jsonl"}));
  ASSERT_EQ(RunProgram(job.SlipJob()), 0);
  EXPECT_EQ(Added(before, job.Files()),
            (std::set<std::string>{"C/VENTAS/LOG.TXT", "H/COMANDAS/90001234.TXT",
                                   "printers/COMANDERA/000001.pdf", "printers/COMANDERA/000002.pdf",
                                   "stderr.txt", "trace.jsonl"}));
}

}  // namespace
}  // namespace kalvenor
