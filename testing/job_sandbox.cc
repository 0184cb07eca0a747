// The sales-counter sandbox of end-to-end tests.
#include "testing/job_sandbox.h"

#include <algorithm>
#include <filesystem>
#include <utility>

#include "platform/cairo_surfaces.h"

namespace kalvenor {

JobSandbox::JobSandbox() {
  sandbox.Write("C/VENTAS/C0001234.TXT", Example("C0001234.TXT"));
  sandbox.Write("C/VENTAS/ETIQUE01.TXT", Example("ETIQUE01.TXT"));
  sandbox.Write("C/CAJA/KALVENOR.INI", Example("KALVENOR.INI"));
  sandbox.Write("C/ZOV/COMANRNG.ZOV", Example("COMANRNG.ZOV"));
  sandbox.MakeFolder("H/COMANDAS");
  sandbox.MakeFolder("printers/COMANDERA");
  sandbox.MakeFolder("printers/OFICINA");
  env = {{"KALVENOR_DRIVE_C", sandbox.Path("C")},
         {"KALVENOR_DRIVE_H", sandbox.Path("H")},
         {"KALVENOR_PRINTER_DIR", sandbox.Path("printers")},
         {"KALVENOR_DEFAULT_PRINTER", "OFICINA"},
         {"KALVENOR_TRACE", sandbox.Path("trace.jsonl")}};
}

std::string JobSandbox::Example(const std::string& name) {
  return ReadBytes(std::string(KALVENOR_SOURCE_DIR) + "/examples/" + name);
}

ProgramRun JobSandbox::Job(std::vector<std::string> args) const {
  ProgramRun run;
  run.args = std::move(args);
  run.env = env;
  run.working_directory = sandbox.Path("C/CAJA");
  run.stderr_path = sandbox.Path("stderr.txt");
  return run;
}

ProgramRun JobSandbox::SlipJob() const {
  return Job({"\\VENTAS\\C0001234.TXT", "\\VENTAS\\LOG.TXT", "N", "S"});
}

Host JobSandbox::HostWith(std::unique_ptr<Printers> printers) const {
  Host host;
  host.env = EnvOf(env);
  host.files = MakeRealFileSystem(host.env);
  host.working_directory = sandbox.Path("C/CAJA");
  auto shared = std::make_shared<std::unique_ptr<Printers>>(std::move(printers));
  host.make_printer = [shared](Trace* trace) { return MakeCairoPrinter(std::move(*shared), trace); };
  host.trace = std::make_unique<Trace>(sandbox.Path("trace.jsonl"));
  host.warn_sink = [](const Text&) {};
  return host;
}

std::vector<std::string> JobSandbox::Pdfs(const std::string& printer) const {
  std::vector<std::string> pdfs;
  std::error_code ignored;
  for (auto& entry : std::filesystem::directory_iterator(sandbox.Path("printers/" + printer), ignored)) {
    std::string name = entry.path().filename().string();
    if (name.ends_with(".pdf") && !name.starts_with(".")) pdfs.push_back("printers/" + printer + "/" + name);
  }
  std::sort(pdfs.begin(), pdfs.end());
  return pdfs;
}

std::set<std::string> JobSandbox::Files() const {
  std::set<std::string> files;
  std::error_code ignored;
  for (auto& entry : std::filesystem::recursive_directory_iterator(sandbox.root(), ignored)) {
    if (entry.is_regular_file(ignored)) {
      files.insert(std::filesystem::relative(entry.path(), sandbox.root()).string());
    }
  }
  return files;
}

StagedPrinters::StagedPrinters(std::unique_ptr<Printers> base, std::function<void()> after_first,
                               std::string shown, std::string queue)
    : base_(std::move(base)), after_first_(std::move(after_first)), shown_(std::move(shown)),
      queue_(std::move(queue)) {
  if (!shown_.empty()) names_ = {shown_};
}

std::string StagedPrinters::Submit(const std::string& name, const std::string& pdf,
                                   const std::string& title) {
  std::string made = base_->Submit(Real(name), pdf, title);
  if (after_first_) std::exchange(after_first_, nullptr)();
  return made;
}

bool IsCompletePdf(const std::string& bytes) {
  if (!bytes.starts_with("%PDF-")) return false;
  size_t end = bytes.find_last_not_of("\r\n ");
  return end != std::string::npos && end >= 4 && bytes.compare(end - 4, 5, "%%EOF") == 0;
}

}  // namespace kalvenor
