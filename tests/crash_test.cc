// The program killed at each call of a job that changes a file (tests/kill_at.cc), one run per call on the
// same folders: the slip, its copy and the log are each the old or the new bytes, every document whole.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstdlib>

#include "testing/job_sandbox.h"

namespace kalvenor {
namespace {

TEST(CrashTest, KilledAtEachFileChangeLeavesNoPartialFile) {
  JobSandbox job;
  const std::string slip_a = JobSandbox::Example("C0001234.TXT");
  std::string slip_b = slip_a;
  slip_b[slip_b.size() / 2] = slip_b[slip_b.size() / 2] == 'X' ? 'Y' : 'X';
  const std::string finished =
      "Impresion de Comanda: C:\\VENTAS\\C0001234.TXT\r\nFinalizo correctamente.\r\n";
  ProgramRun run = job.SlipJob();
  run.env["KALVENOR_TRACE"] = "";  // its writes are not the job's files
  run.env["LD_PRELOAD"] = KALVENOR_KILL_AT;
  const char* asan = std::getenv("ASAN_OPTIONS");
  run.env["ASAN_OPTIONS"] = std::string(asan != nullptr ? asan : "") + ":verify_asan_link_order=0";
  int call = 1;
  for (;; ++call) {  // until the job runs past its last call
    SCOPED_TRACE(testing::Message() << "killed at call " << call);
    ASSERT_LT(call, 1000);
    const std::string& slip = call % 2 == 0 ? slip_b : slip_a;
    std::string previous_copy = job.sandbox.Read("H/COMANDAS/90001234.TXT");
    std::string previous_log = job.sandbox.Read("C/VENTAS/LOG.TXT");
    job.sandbox.Write("C/VENTAS/C0001234.TXT", slip);  // the host writes the next slip
    run.env["KILL_AT_CALL"] = std::to_string(call);
    int status = RunProgram(run);
    std::string on_disk = job.sandbox.Read("C/VENTAS/C0001234.TXT");
    EXPECT_TRUE(on_disk == slip || on_disk == slip + "\r\n") << "slip of " << on_disk.size() << " bytes";
    std::string copy = job.sandbox.Read("H/COMANDAS/90001234.TXT");
    EXPECT_TRUE(copy == previous_copy || copy == slip) << "copy of " << copy.size() << " bytes";
    std::string log = job.sandbox.Read("C/VENTAS/LOG.TXT");
    EXPECT_TRUE(log == previous_log || log == finished) << log;
    for (const std::string& pdf : job.Pdfs()) {
      EXPECT_TRUE(IsCompletePdf(job.sandbox.Read(pdf))) << pdf;
    }
    if (testing::Test::HasFailure()) break;
    if (status != 128 + SIGKILL) {
      EXPECT_EQ(status, 0);
      EXPECT_EQ(log, finished);
      break;
    }
  }
  EXPECT_GT(call, 8) << "fewer calls than the copy, slip, log and documents need";
}

}  // namespace
}  // namespace kalvenor
