// Slips printed at once on one folder printer (a double click, two counters sharing a printer): every job
// prints whole documents under numbers of its own and logs its own outcome.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <regex>
#include <set>

#include "testing/job_sandbox.h"

namespace kalvenor {
namespace {

TEST(ConcurrencyTest, ParallelJobsPrintDistinctCompleteDocuments) {
  constexpr int kJobs = 8;
  const char* wanted = std::getenv("KALVENOR_STRESS_ROUNDS");  // 50 for the full stress
  const int rounds = std::max(wanted != nullptr ? std::atoi(wanted) : 0, 4);
  JobSandbox job;
  const std::string slip = JobSandbox::Example("C0001234.TXT");
  const std::regex enddoc(R"re("op":"enddoc","doc":(\d+),"printer":"COMANDERA","output":"([^"]+)")re");
  std::set<std::string> outputs;
  for (int round = 0; round < rounds; ++round) {
    SCOPED_TRACE(testing::Message() << "round " << round);
    std::vector<pid_t> pids;
    for (int j = 0; j < kJobs; ++j) {
      std::string n = std::to_string(j);
      job.sandbox.Write("C/VENTAS/C000123" + n + ".TXT", slip);
      ProgramRun run = job.Job({"\\VENTAS\\C000123" + n + ".TXT", "\\VENTAS\\LOG" + n + ".TXT", "N", "S"});
      run.env["KALVENOR_TRACE"] = job.sandbox.Path("trace" + n + ".jsonl");
      std::remove(run.env["KALVENOR_TRACE"].c_str());
      pids.push_back(StartProgram(run));
    }
    for (int j = 0; j < kJobs; ++j) {
      std::string n = std::to_string(j);
      EXPECT_EQ(WaitForProgram(pids[j]), 0) << job.sandbox.Read("stderr.txt");
      EXPECT_EQ(job.sandbox.Read("C/VENTAS/LOG" + n + ".TXT"),
                "Impresion de Comanda: C:\\VENTAS\\C000123" + n + ".TXT\r\nFinalizo correctamente.\r\n");
      EXPECT_EQ(job.sandbox.Read("H/COMANDAS/9000123" + n + ".TXT"), slip);
      std::string trace = job.sandbox.Read("trace" + n + ".jsonl");
      int documents = 0;
      for (std::sregex_iterator it(trace.begin(), trace.end(), enddoc), end; it != end; ++it) {
        ++documents;
        EXPECT_TRUE(outputs.insert((*it)[2]).second) << "two jobs wrote " << (*it)[2];
      }
      EXPECT_EQ(documents, 2) << "job " << n;
    }
    if (testing::Test::HasFailure()) break;
  }
  std::vector<std::string> pdfs = job.Pdfs();
  EXPECT_EQ(pdfs.size(), static_cast<size_t>(2 * kJobs * rounds));
  for (const std::string& pdf : pdfs) {
    EXPECT_TRUE(outputs.count(job.sandbox.Path(pdf))) << pdf << " is nobody's";
    EXPECT_TRUE(IsCompletePdf(job.sandbox.Read(pdf))) << pdf;
  }
  for (const std::string& file : job.Files()) {
    EXPECT_FALSE(file.find("/.") != std::string::npos) << "left behind: " << file;
  }
}

}  // namespace
}  // namespace kalvenor
