// CUPS jobs followed to their end (KALVENOR_CUPS_WAIT), and queues that
// stop, refuse, fail or disappear while a job is running. Each case runs on
// a queue of its own that prints to /dev/null with the driver of the test
// queue that scripts/cups-test-queue.sh makes, so that queue keeps its state.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <regex>

#include "app/job.h"
#include "platform/printers.h"
#include "testing/fake_host.h"
#include "testing/job_sandbox.h"

namespace kalvenor {
namespace {

bool Shell(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

// A queue on the test queue's driver, removed at the end of the case.
struct ScratchQueue {
  ScratchQueue() : name("KALVENOR-WAIT-" + std::to_string(getpid())) {
    ok = ShellOutput("lpstat -r 2>/dev/null").find("is running") != std::string::npos &&
          Shell("lpstat -p KALVENOR-COMANDERA") &&
          Shell("lpadmin -p " + name +
                " -v file:///dev/null -P /etc/cups/ppd/KALVENOR-COMANDERA.ppd"
                " -o printer-error-policy=abort-job -o Label=2 -E");
  }
  ~ScratchQueue() {
    Shell("cancel -a " + name);
    Shell("lpadmin -x " + name);
  }
  // The queue's jobs that are not finished, or those that are.
  std::string Jobs(const char* which = "not-completed") const {
    return ShellOutput("lpstat -W " + std::string(which) + " -o " + name + " 2>/dev/null");
  }

  const std::string name;
  bool ok = false;
};

TEST(CupsWait, QueueStatesEndTheJobAsTheySay) {
  struct Case {
    const char* name;
    std::string before;       // command run on the queue before the job ("%" is its name)
    std::string after_first;  // command run once the first receipt is queued
    int wait_seconds;
    std::string outcome;             // the log's second line, up to its length
    std::vector<std::string> said;   // in that line too
    size_t queued;                   // receipts CUPS took
    size_t printed;                  // of them, receipts CUPS completed
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
    if (!queue.ok) {
      GTEST_SKIP() << "no CUPS server with the KALVENOR-COMANDERA queue (run scripts/cups-test-queue.sh "
                      "as root) or no right to add a queue";
    }
    auto named = [&](std::string text) {
      for (size_t at; (at = text.find('%')) != std::string::npos;) text.replace(at, 1, queue.name);
      return text;
    };
    if (!c.before.empty()) {
      ASSERT_TRUE(Shell(named(c.before)));
    }
    JobSandbox job;
    std::string after = named(c.after_first);
    Host host = job.HostWith(std::make_unique<StagedPrinters>(
        MakeCupsPrinters(c.wait_seconds), [after] { if (!after.empty()) Shell(after); }, "COMANDERA",
        queue.name));
    EXPECT_EQ(RunJob("kalvenor \\VENTAS\\C0001234.TXT \\VENTAS\\LOG.TXT N S", host), 0);
    std::string log = job.sandbox.Read("C/VENTAS/LOG.TXT");
    std::string second = log.substr(log.find("\r\n") + 2);
    EXPECT_TRUE(second.starts_with(named(c.outcome))) << second;
    EXPECT_EQ(second.find('\n'), second.size() - 1) << "one line";
    for (const std::string& part : c.said) EXPECT_NE(second.find(part), std::string::npos) << part;
    if (c.wait_seconds > 0 && c.outcome.starts_with("ERROR")) {
      // The job that did not print is taken back so it cannot print later.
      EXPECT_EQ(queue.Jobs(), "");
    }
    // The CUPS jobs the trace names, and of them those CUPS completed.
    std::string trace = job.sandbox.Read("trace.jsonl"), completed = queue.Jobs("completed");
    std::regex enddoc(R"re("op":"enddoc","doc":\d+,"printer":"COMANDERA","output":"(\d+)")re");
    size_t queued = 0, printed = 0;
    for (std::sregex_iterator it(trace.begin(), trace.end(), enddoc), end; it != end; ++it, ++queued) {
      if (completed.find(queue.name + "-" + (*it)[1].str() + " ") != std::string::npos) ++printed;
    }
    EXPECT_EQ(queued, c.queued);
    EXPECT_EQ(printed, c.printed) << completed;
  }
}

}  // namespace
}  // namespace kalvenor
