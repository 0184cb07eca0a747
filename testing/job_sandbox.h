// Runs of the built program, and a sandbox laid out as a sales counter: the example slip, label
// file, settings and feed count on C:, the slips folder on H:, folder printers COMANDERA and OFICINA.
#ifndef KALVENOR_TESTING_JOB_SANDBOX_H_
#define KALVENOR_TESTING_JOB_SANDBOX_H_

#include <sys/types.h>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "host/host.h"
#include "printers/printers.h"
#include "testing/fake_host.h"

namespace kalvenor {

// A run of the built program as the sales system does it.
struct ProgramRun {
  std::vector<std::string> args;  // after the program path
  // Added to the test's environment without its KALVENOR_* variables; an empty value drops one.
  std::map<std::string, std::string> env;
  std::string working_directory = ".";
  std::string stderr_path;  // empty: /dev/null; "|" a pipe nobody reads; "-" closed (with 0 and 1)
  bool as_nobody = false;  // as the user nobody: root would write anywhere
  long file_size_limit = -1;  // bytes the process may write to a file (a full disk); <0: none
  int timeout_seconds = 0;  // killed after it (status 124); 0: no limit
  std::string program;  // empty: the program of this build
};

// Starts the program: its process id, or -1. Waiting gives its exit status, or 128 + the signal
// that ended it; 124 past `timeout_seconds`. `peak_kb`: the largest resident size the program
// itself reached (a forked child's count starts at the test's own size, so /usr/bin/time, a
// small process, starts the program and measures it).
pid_t StartProgram(const ProgramRun& run);
int WaitForProgram(pid_t pid, int timeout_seconds = 0);
int RunProgram(const ProgramRun& run, long* peak_kb = nullptr);

// Opens `root` and everything under it to everyone, so that a run as nobody reaches them; tests
// then take away exactly the permission they want to test.
void OpenToEveryone(const std::string& root);

class JobSandbox {
 public:
  JobSandbox();

  static std::string Example(const std::string& name);  // examples/NAME

  // A run of the program with `args` in C:\CAJA, with `env` and stderr to stderr.txt.
  ProgramRun Job(std::vector<std::string> args) const;
  // Runs the example slip with its log in \VENTAS\LOG.TXT.
  ProgramRun SlipJob() const;

  // An in-process host on the sandbox's drives (in C:\CAJA, traced) printing through `printers`.
  Host HostWith(std::unique_ptr<Printers> printers) const;

  // Paths relative to the sandbox of the numbered documents of a printer, in order.
  std::vector<std::string> Pdfs(const std::string& printer = "COMANDERA", const std::string& extension = ".pdf") const;
  // The trace's steps other than drawing, in order: "select enddoc select message enddoc".
  std::string TraceSteps() const;
  // Every file below the sandbox (relative paths), hidden ones included.
  std::set<std::string> Files() const;

  Sandbox sandbox;
  Sandbox cache_home;  // the program's font cache, apart from the files a job writes
  std::map<std::string, std::string> env;
};

// The printers of `base`, optionally as only `shown` for the back end's `queue`, calling
// `after_first` once the first document has been handed over.
class StagedPrinters : public Printers {
 public:
  StagedPrinters(std::unique_ptr<Printers> base, std::function<void()> after_first,
                 std::string shown = "", std::string queue = "");
  const std::vector<std::string>& Names() override { return shown_.empty() ? base_->Names() : names_; }
  int DefaultIndex() override { return shown_.empty() ? base_->DefaultIndex() : 0; }
  double MediaWidthMm(const std::string& name) override { return base_->MediaWidthMm(Real(name)); }
  PrinterOutput Output(const std::string& name) override { return base_->Output(Real(name)); }
  std::string Submit(const std::string& name, const std::string& pdf, const std::string& title) override;

 private:
  const std::string& Real(const std::string& name) const { return name == shown_ ? queue_ : name; }

  std::unique_ptr<Printers> base_;
  std::function<void()> after_first_;
  std::string shown_, queue_;
  std::vector<std::string> names_;
};

// What is wrong with `lines` as JSON lines (one object a line, so numbers with a '.' point): a line
// for each bad line, empty when all are good.
std::string JsonLinesProblems(const std::string& lines);

// True when `bytes` is a whole PDF file: its header and, at its end, its end-of-file marker.
bool IsCompletePdf(const std::string& bytes);

}  // namespace kalvenor

#endif  // KALVENOR_TESTING_JOB_SANDBOX_H_
