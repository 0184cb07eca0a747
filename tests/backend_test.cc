// The kalvenor back end run as CUPS runs it, against a fake receipt printer that answers for its
// state (testing/fake_status_printer.py): exit status, ERROR: reason, what printed and whether the
// printer's buffer was cleared, within wait + 7 s whatever the printer does.
#include <gtest/gtest.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <regex>
#include <thread>

#include "testing/job_sandbox.h"

namespace kalvenor {
namespace {

// The fake printer, ended by closing its standard input; its first line says where it listens
// ("port N" or "pty PATH"), and it keeps what it printed in `record`.
struct FakePrinter : ReportingProcess {
  FakePrinter(const Sandbox& box, std::vector<std::string> flags)
      : ReportingProcess(Args(box, std::move(flags)), false, true), record(box.Path("record.json")) {
    where = ReadLine(20);
  }
  static std::vector<std::string> Args(const Sandbox& box, std::vector<std::string> flags) {
    flags.insert(flags.begin(), {"python3", KALVENOR_SOURCE_DIR "/testing/fake_status_printer.py",
                                 box.Path("record.json")});
    return flags;
  }
  // What it printed, once it has read what came and ended.
  std::string Record() {
    EndInput();
    return ReadBytes(record);
  }
  std::string where, record;
};

std::string Field(const std::string& record, const std::string& name) {
  std::smatch match;
  std::regex field("\"" + name + "\": \"?([0-9a-f]*)");
  return std::regex_search(record, match, field) ? match[1].str() : "?";
}

std::string HexOf(const std::string& bytes) {
  std::string hex;
  for (unsigned char c : bytes) hex += "0123456789abcdef"[c >> 4], hex += "0123456789abcdef"[c & 15];
  return hex;
}

struct BackendRun {
  int status = -1;
  double seconds = 0;
  std::string stderr_text, record;
};

// Runs the back end on `job` with `uri` ("%" the fake's port), as CUPS would for job 42.
BackendRun RunBackend(const Sandbox& box, const std::string& uri, const std::string& job, FakePrinter& printer,
               std::atomic<pid_t>* started = nullptr) {
  box.Write("job.prn", job);
  ProgramRun run;
  run.program = KALVENOR_BACKEND_BINARY;
  run.args = {"42", "caja", "ticket", "1", "", box.Path("job.prn")};
  run.env = {{"DEVICE_URI", std::regex_replace(uri, std::regex("%"), printer.where.substr(5))}};
  run.stderr_path = box.Path("stderr.txt");
  auto start = std::chrono::steady_clock::now();
  BackendRun result;
  pid_t pid = StartProgram(run);
  if (started != nullptr) *started = pid;
  result.status = WaitForProgram(pid, 30);
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  result.stderr_text = box.Read("stderr.txt");
  result.record = printer.Record();
  return result;
}

const std::string kReceipt = "\x1b@" + std::string(300, '\x55') + "\x1dVB" + std::string(1, '\0');

TEST(Backend, PrinterStatesEndTheJobAsTheySay) {
  struct Case {
    const char* why;
    std::vector<std::string> flags;
    const char* uri;  // after kalvenor://127.0.0.1:PORT
    int status;
    const char* said;  // on standard error
    const char* receipts;
    const char* cleared;
    double at_most;  // seconds
    std::string job = kReceipt;
  } cases[] = {
      {"ready", {}, "?wait=2", 0, "INFO: job printed", "1", "0", 2},
      {"reloaded in time", {"--empty", "--reload-after", "1"}, "?wait=3", 0, "STATE: -media-empty-error", "1", "0", 3},
      {"out of paper", {"--empty"}, "?wait=1", 5, "STATE: +media-empty-error\n", "0", "0", 1.5},
      {"paper ends mid-job", {"--paper-after", "9"}, "?wait=1", 5, "ERROR: paper out\n", "0", "1", 1.5},
      {"paper ends, reloaded", {"--paper-after", "9", "--reload-after", "1"}, "?wait=3", 0, "printed", "1", "0", 3},
      {"cover open", {"--cover-open"}, "/?wait=1", 5, "ERROR: cover open\n", "0", "0", 1.5},
      {"offline", {"--offline"}, "?wait=1", 5, "ERROR: offline\n", "0", "0", 1.5},
      {"silent", {"--silent"}, "?wait=3", 5, "ERROR: no status answer\n", "0", "0", 2.5},
      {"no process IDs", {"--no-ids"}, "?wait=1", 5, "ERROR: not confirmed\n", "1", "1", 8},
      {"no process IDs, queried", {"--no-ids"}, "?status=query&wait=1", 0, "printed", "1", "0", 1},
      {"queried, paper ends", {"--paper-after", "9"}, "?status=query&wait=1", 5, "ERROR: paper out\n", "0", "1", 1.5},
      {"silent, not asked", {"--silent"}, "?status=off&wait=1", 0, "INFO: job sent", "1", "0", 1},
      {"refused", {"--refuse"}, "?wait=2", 5, "ERROR: unreachable\n", "0", "0", 2.5},
      {"stops reading", {"--stop-reading", "50"}, "?wait=1", 5, "ERROR: offline, buffer not cleared\n", "0", "0", 8,
       std::string(16 << 20, '\x55')},
      {"bad wait", {}, "?wait=0", 5, "ERROR: bad device URI", "0", "0", 0.5},
      {"bad option", {}, "?colour=red", 5, "ERROR: bad device URI", "0", "0", 0.5},
      {"baud on TCP", {}, "?baud=9600", 5, "ERROR: bad device URI", "0", "0", 0.5},
  };
  std::vector<BackendRun> runs(std::size(cases));
  std::vector<std::thread> threads;
  for (size_t i = 0; i < std::size(cases); ++i) {
    threads.emplace_back([&, i] {
      Sandbox box;
      FakePrinter printer(box, cases[i].flags);
      runs[i] = RunBackend(box, "kalvenor://127.0.0.1:%" + std::string(cases[i].uri), cases[i].job, printer);
    });
  }
  for (auto& thread : threads) thread.join();
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    const BackendRun& run = runs[i];
    SCOPED_TRACE(std::string(c.why) + "\n" + run.stderr_text + run.record);
    EXPECT_EQ(run.status, c.status);
    EXPECT_NE(run.stderr_text.find(c.said), std::string::npos);
    EXPECT_EQ(run.stderr_text.find("ERROR:") != std::string::npos, c.status != 0);
    EXPECT_EQ(Field(run.record, "receipts"), c.receipts);
    EXPECT_EQ(Field(run.record, "cleared"), c.cleared);
    if (std::string(c.receipts) == "1") {
      EXPECT_EQ(Field(run.record, "printed"), HexOf(c.job));
    }
    if (std::string(c.said).find("bad device URI") != std::string::npos) {
      EXPECT_EQ(Field(run.record, "received"), "0");
    }
    // The deadline with room for a loaded machine; never past the back end's wait + 7 s.
    EXPECT_LE(run.seconds, c.at_most + 2);
  }
}

TEST(Backend, CancelledJobClearsThePrinter) {
  Sandbox box;
  FakePrinter printer(box, {"--paper-after", "9"});
  std::atomic<pid_t> backend = -1;
  std::thread cancel([&] {
    // The job is in the stopped printer.
    if (printer.ReadLine(20) == "paper-out" && backend > 0) kill(backend, SIGTERM);
  });
  BackendRun run = RunBackend(box, "kalvenor://127.0.0.1:%?wait=20", kReceipt, printer, &backend);
  cancel.join();
  EXPECT_EQ(run.status, 0) << run.stderr_text;
  EXPECT_LE(run.seconds, 3);
  EXPECT_NE(run.stderr_text.find("INFO: job cancelled\n"), std::string::npos) << run.stderr_text;
  EXPECT_EQ(Field(run.record, "cleared"), "1");
  EXPECT_EQ(Field(run.record, "receipts"), "0");
}

TEST(Backend, SerialPortInRawMode) {
  Sandbox box;
  FakePrinter printer(box, {"--pty"});
  std::string job = kReceipt;
  for (int c = 0; c < 256; ++c) job.insert(job.end() - 4, static_cast<char>(c));
  BackendRun run = RunBackend(box, "kalvenor:" + printer.where.substr(4) + "?baud=19200&wait=2", job, printer);
  EXPECT_EQ(run.status, 0) << run.stderr_text;
  EXPECT_EQ(Field(run.record, "printed"), HexOf(job));
  EXPECT_EQ(Field(run.record, "speed"), std::to_string(B19200));
}

TEST(Backend, ListsItsDevice) {
  EXPECT_EQ(ShellOutput(KALVENOR_BACKEND_BINARY),
            "network kalvenor \"Unknown\" \"ESC/POS printer with status (Kalvenor)\"\n");
}

}  // namespace
}  // namespace kalvenor
