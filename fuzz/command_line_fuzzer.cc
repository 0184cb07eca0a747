// Fuzz target: the command-line splitter, and the DOS paths that the
// arguments become: whatever they hold, a path on a drive stays under the
// drive's folder.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "app/command_line.h"
#include "fuzz/fuzz_host.h"
#include "host/dos_path.h"
#include "base/run_time_error.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kalvenor;
  std::string raw(reinterpret_cast<const char*>(data), size);
  std::vector<Text> arguments = SplitCommandLine(raw);
  EnvLookup env = [](const std::string& name) -> std::optional<std::string> {
    if (name == "KALVENOR_DRIVE_C") return "/nonexistent-kalvenor/C";
    return std::nullopt;
  };
  for (const Text& argument : arguments) {
    Require(argument.find(u' ') == Text::npos, "an argument holds no space");
    Require(UCase(argument) == argument, "arguments are upper-cased");
    std::string path = DosToHostPath(u"C:" + argument, env);
    Require(path == "/nonexistent-kalvenor/C" || path.starts_with("/nonexistent-kalvenor/C/"),
            "a path stays under its drive's folder");
    Require(path.find("/../") == std::string::npos && !path.ends_with("/.."),
            "no parent step survives in a host path");
    try {
      DosToHostPath(u"Q:" + argument, env);
      Require(false, "an unmapped drive has no host path");
    } catch (const RunTimeError& error) {
      Require(error.number() == kPathNotFound, "an unmapped drive is a missing path");
    }
  }
  return 0;
}
