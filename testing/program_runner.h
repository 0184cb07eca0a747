// Runs the built kalvenor program as the sales system does, with a chosen
// environment, working directory and limits, for end-to-end tests.
#ifndef KALVENOR_TESTING_PROGRAM_RUNNER_H_
#define KALVENOR_TESTING_PROGRAM_RUNNER_H_

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

namespace kalvenor {

struct ProgramRun {
  std::vector<std::string> args;  // after the program path
  // Added to the test's environment, from which every KALVENOR_* variable
  // is dropped first. An empty value drops the variable.
  std::map<std::string, std::string> env;
  std::string working_directory = ".";
  std::string stderr_path;  // empty: /dev/null; "|" a pipe nobody reads; "-" closed (with 0 and 1)
  // Run as the unprivileged user nobody: root would write anywhere.
  bool as_nobody = false;
  // Largest file the process may write, in bytes (a full disk); the write
  // that would pass it fails with EFBIG. Negative: no limit.
  long file_size_limit = -1;
  // Seconds after which the program is killed (WaitForProgram then gives
  // 124); 0: no limit.
  int timeout_seconds = 0;
};

// Starts the program; returns its process id (-1 when it cannot start).
pid_t StartProgram(const ProgramRun& run);
// Waits for it: its exit status, or 128 + the signal that ended it; 124
// past `timeout_seconds`. `peak_kb`: the largest resident size it reached.
int WaitForProgram(pid_t pid, int timeout_seconds = 0, long* peak_kb = nullptr);
int RunProgram(const ProgramRun& run, long* peak_kb = nullptr);

// Makes every folder under `root` (and `root`) open to everyone and every
// file readable and writable by everyone, so that a run as nobody reaches
// them; tests then take away exactly the permission they want to test.
void OpenToEveryone(const std::string& root);

}  // namespace kalvenor

#endif  // KALVENOR_TESTING_PROGRAM_RUNNER_H_
