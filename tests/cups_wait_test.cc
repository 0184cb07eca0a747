// CUPS jobs followed to their end (KALVENOR_CUPS_WAIT), and queues that stop, refuse, fail or disappear
// mid-job: each case on a queue of its own, on the test queue's driver, printing to /dev/null.
#include <gtest/gtest.h>
#include <unistd.h>

#include <regex>

#include "app/job.h"
#include "printers/printers.h"
#include "testing/job_sandbox.h"

namespace kalvenor {
namespace {

bool Shell(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

// A queue removed with its jobs at the end of the case.
struct ScratchQueue {
  ~ScratchQueue() { Shell("cancel -a " + name + "; lpadmin -x " + name); }
  const std::string name = "KALVENOR-WAIT-" + std::to_string(getpid());
};

TEST(CupsWait, QueueStatesEndTheJobAsTheySay) {
  if (ShellOutput("lpstat -r 2>/dev/null").find("is running") == std::string::npos ||
      !Shell("lpstat -p KALVENOR-COMANDERA")) {
    GTEST_SKIP() << "no CUPS server with the KALVENOR-COMANDERA queue (scripts/cups-test-queue.sh)";
  }
  struct Case {
    const char* name;
    std::string before;       // run on the queue ("%") before the job
    std::string after_first;  // run once the first receipt is queued
    int wait_seconds;
    std::string outcome;            // the start of the log's second line
    std::vector<std::string> said;  // in that line too
    size_t queued, printed;         // receipts CUPS took, and of them those it completed
  } cases[] = {
      {"printing, followed", "", "", 30, "Finalizo correctamente.", {}, 2, 2},
      {"stopped, not followed: CUPS holds the jobs", "cupsdisable %", "", 0, "Finalizo correctamente.", {}, 2,
       0},
      {"stopped, followed: late", "cupsdisable -r media-empty %", "", 1, "ERROR: Printer error: %: job ",
       {"was not printed in time", "paused", "media-empty"}, 0, 0},
      {"device failing mid-job, followed: aborted", "", "lpadmin -p % -v serial:/dev/kalvenor-none", 30,
       "ERROR: Printer error: %: job ", {"was aborted", "printer state reasons: "}, 1, 1},
      {"refusing jobs", "cupsreject %", "", 0, "ERROR: Printer error: %: ", {}, 0, 0},
      {"removed mid-job", "", "lpadmin -x %", 0, "ERROR: Printer error: %: ", {}, 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchQueue queue;
    auto named = [&](const std::string& s) { return std::regex_replace(s, std::regex("%"), queue.name); };
    ASSERT_TRUE(Shell(named("lpadmin -p % -v file:///dev/null -E -o printer-error-policy=abort-job"
                            " -m lsb/usr/cups-pdf/CUPS-PDF_opt.ppd")));
    ASSERT_TRUE(c.before.empty() || Shell(named(c.before)));
    JobSandbox job;
    std::string after = named(c.after_first);
    Host host = job.HostWith(std::make_unique<StagedPrinters>(
        MakeCupsPrinters(c.wait_seconds), [after] { Shell(after); }, "COMANDERA", queue.name));
    EXPECT_EQ(RunJob("kalvenor \\VENTAS\\C0001234.TXT \\VENTAS\\LOG.TXT N S", host), 0);
    std::string log = job.sandbox.Read("C/VENTAS/LOG.TXT");
    std::string second = log.substr(log.find("\r\n") + 2);
    EXPECT_TRUE(second.starts_with(named(c.outcome))) << second;
    EXPECT_EQ(second.find('\n'), second.size() - 1) << "one line";
    for (const std::string& part : c.said) EXPECT_NE(second.find(part), std::string::npos) << part;
    auto jobs = [&](const std::string& which) { return ShellOutput(named("lpstat -W " + which + " -o %")); };
    if (c.wait_seconds > 0 && c.outcome.starts_with("ERROR")) {
      EXPECT_EQ(jobs("not-completed"), "") << "a late job is taken back";
    }
    // The CUPS jobs the trace names, and of them those CUPS completed.
    std::string trace = job.sandbox.Read("trace.jsonl"), completed = jobs("completed");
    std::regex enddoc(R"re("op":"enddoc","doc":\d+,"printer":"COMANDERA","output":"(\d+)")re");
    size_t queued = 0, printed = 0;
    for (std::sregex_iterator it(trace.begin(), trace.end(), enddoc), end; it != end; ++it, ++queued) {
      printed += completed.find(queue.name + "-" + (*it)[1].str() + " ") != std::string::npos;
    }
    EXPECT_EQ(queued, c.queued);
    EXPECT_EQ(printed, c.printed) << completed;
  }
}

}  // namespace
}  // namespace kalvenor
