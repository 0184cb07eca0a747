// Crash safety: the program killed (SIGKILL) at random points of a job, run
// after run on the same folders. Whatever the moment, the slip is the bytes
// the host wrote or the cleaned bytes, the slips-folder copy is absent, the
// previous one or whole, the log the previous one or whole, and no
// document shows under a numbered name before it is complete.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <random>
#include <thread>

#include "testing/job_sandbox.h"

namespace kalvenor {
namespace {

using Clock = std::chrono::steady_clock;

// KALVENOR_KILL_RUNS asks for another number of runs.
int RunsWanted() {
  const char* value = std::getenv("KALVENOR_KILL_RUNS");
  int runs = value != nullptr ? std::atoi(value) : 0;
  return runs > 0 ? runs : 100;
}

TEST(CrashTest, KilledAtAnyPointLeavesNoPartialFile) {
  JobSandbox job;
  const std::string slip_a = JobSandbox::Example("C0001234.TXT");
  std::string slip_b = slip_a;
  slip_b[slip_b.size() / 2] = slip_b[slip_b.size() / 2] == 'X' ? 'Y' : 'X';
  const std::string finished = "Impresion de Comanda: C:\\VENTAS\\C0001234.TXT\r\nFinalizo correctamente.\r\n";

  // How long an uninterrupted job takes here: kills are spread over it.
  auto start = Clock::now();
  ASSERT_EQ(RunProgram(job.SlipJob()), 0);
  ASSERT_EQ(job.sandbox.Read("C/VENTAS/LOG.TXT"), finished);
  auto job_time = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start);

  std::mt19937 random(12345);
  std::uniform_int_distribution<long> delay(0, job_time.count() * 11 / 10);
  // The runs asked for, but no more than fit in 20 s once 25 are done (a
  // sanitizer build on a busy machine is several times slower).
  const int runs = RunsWanted();
  const int at_least = std::min(runs, 25);
  const auto budget = std::chrono::seconds(20);
  auto began = Clock::now();
  int done = 0, finished_runs = 0;
  for (int i = 0; i < runs && (i < at_least || Clock::now() - began < budget); ++i, ++done) {
    SCOPED_TRACE(testing::Message() << "run " << i);
    const std::string& slip = i % 2 == 0 ? slip_b : slip_a;
    std::string previous_copy = job.sandbox.Read("H/COMANDAS/90001234.TXT");
    std::string previous_log = job.sandbox.Read("C/VENTAS/LOG.TXT");
    job.sandbox.Write("C/VENTAS/C0001234.TXT", slip);  // the host writes the next slip

    pid_t pid = StartProgram(job.SlipJob());
    ASSERT_GT(pid, 0);
    std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
    kill(pid, SIGKILL);
    if (WaitForProgram(pid) == 0) ++finished_runs;

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
  }
  std::printf("crash test: %d runs, %d ran to their end, %zu documents\n", done, finished_runs,
              job.Pdfs().size());
}

}  // namespace
}  // namespace kalvenor
