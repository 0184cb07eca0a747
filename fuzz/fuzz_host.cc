// The fuzz targets' host.
#include "fuzz/fuzz_host.h"

#include <cstdio>
#include <cstdlib>
#include <map>

#include "base/run_time_error.h"

namespace kalvenor {
namespace {

// The example settings and feed count, so that jobs use real values.
constexpr char kSettings[] =
    "Fuente              =Consolas                 \r\n"
    "Margen izquierdo    =60                       \r\n"
    "Tamano chico        =7                        \r\n"
    "Tamano normal       =8                        \r\n"
    "Tamano grande       =11                       \r\n";

}  // namespace

FuzzHost::FuzzHost() {
  std::map<std::string, std::string> env = {
      {"KALVENOR_DRIVE_C", "/mem/C"},
      {"KALVENOR_DRIVE_H", "/mem/H"},
  };
  host.env = [env](const std::string& name) -> std::optional<std::string> {
    auto it = env.find(name);
    if (it == env.end()) return std::nullopt;
    return it->second;
  };
  auto memory = std::make_unique<MemoryFileSystem>(host.env);
  files = memory.get();
  files->MakeFolder("/mem/C/VENTAS");
  files->MakeFolder("/mem/H/COMANDAS");
  files->MakeFolder("/mem/C/CAE/RTA");
  files->Put("/mem/C/CAJA/KALVENOR.INI", kSettings);
  files->Put("/mem/C/ZOV/COMANRNG.ZOV", "3 \r\n");
  host.files = std::move(memory);
  host.working_directory = "/mem/C/CAJA";
  auto* recording = new RecordingPrinter();
  printer = recording;
  host.make_printer = [recording](Trace*) { return std::unique_ptr<Printer>(recording); };
  host.printer();
  host.trace = std::make_unique<Trace>("");
  host.warn_sink = [](const Text&) {};
}

void Require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}

// True for the outcomes a job may log: a description of the run-time error
// table, or one of the documented texts built on one. "Internal error" is
// a fault of the program, never an outcome of its input.
bool IsDocumentedFailure(const std::string& description) {
  if (description.starts_with(ErrorDescription(kPrinterError) + ": ") ||
      description.starts_with("File too large (over ")) {
    return true;
  }
  const std::string undefined = ErrorDescription(-1);
  for (int number = 1; number < 1000; ++number) {
    std::string known = ErrorDescription(number);
    if (known != undefined && number != kInternalError && known == description) return true;
  }
  return false;
}

void CheckLog(const MemoryFileSystem& files, const std::string& host_path) {
  const std::string* log = files.Find(host_path);
  Require(log != nullptr, "the job left no log");
  size_t first = log->find("\r\n");
  Require(first != std::string::npos && log->starts_with("Impresion de Comanda: "),
          "the log's first line");
  std::string second = log->substr(first + 2);
  Require(second.ends_with("\r\n") && second.find("\r\n") == second.size() - 2,
          "the log has exactly two lines");
  std::string outcome = second.substr(0, second.size() - 2);
  Require(outcome == "Finalizo correctamente." ||
              (outcome.starts_with("ERROR: ") && IsDocumentedFailure(outcome.substr(7))),
          "the log's second line is a documented outcome");
}

}  // namespace kalvenor
