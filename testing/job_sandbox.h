// JobSandbox: a sandbox laid out as a sales counter (the example slip,
// label file, settings and feed count on C:, the slips folder on H:, a
// folder printer with COMANDERA and OFICINA) for runs of the built program.
#ifndef KALVENOR_TESTING_JOB_SANDBOX_H_
#define KALVENOR_TESTING_JOB_SANDBOX_H_

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/host.h"
#include "platform/printers.h"
#include "testing/fake_host.h"
#include "testing/program_runner.h"

namespace kalvenor {

class JobSandbox {
 public:
  JobSandbox();

  // The bytes of an example file (examples/NAME).
  static std::string Example(const std::string& name);

  // A run of the program with `args` in C:\CAJA, with env() and stderr to
  // the sandbox's stderr.txt.
  ProgramRun Job(std::vector<std::string> args) const;
  // Runs the example slip with its log in \VENTAS\LOG.TXT.
  ProgramRun SlipJob() const;

  // An in-process host on the sandbox's drives (working directory C:\CAJA,
  // trace to trace.jsonl) that prints PDFs through `printers`.
  Host HostWith(std::unique_ptr<Printers> printers) const;

  // Paths relative to the sandbox of the numbered documents of a printer.
  std::vector<std::string> Pdfs(const std::string& printer = "COMANDERA") const;
  // Every file below the sandbox (relative paths), hidden ones included.
  std::set<std::string> Files() const;

  Sandbox sandbox;
  std::map<std::string, std::string> env;
};

// The printers of `base`, optionally under one other name (`shown`, for
// the back end's `queue`), calling `after_first` once the first document
// has been handed over: the printer changes while a job is running.
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

// True when `bytes` is a whole PDF file: its header and, at its end, its
// end-of-file marker.
bool IsCompletePdf(const std::string& bytes);

}  // namespace kalvenor

#endif  // KALVENOR_TESTING_JOB_SANDBOX_H_
