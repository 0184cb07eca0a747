// The host of a real run.
#include "app/real_host.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "render/cairo_printer.h"
#include "render/font_cache.h"
#include "printers/printers.h"

namespace kalvenor {
namespace {

std::optional<std::string> GetEnv(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

// The font aliases shipped with the program: beside the binary in a build
// tree, under share/kalvenor when installed, or where KALVENOR_FONTS_CONF says.
std::string FontConfigurationPath(const EnvLookup& env) {
  if (auto path = env("KALVENOR_FONTS_CONF")) return *path;
  std::string folder = ExecutableFolder();
  for (std::string candidate : {folder + "/kalvenor-fonts.conf",
                                folder + "/../share/kalvenor/kalvenor-fonts.conf"}) {
    if (access(candidate.c_str(), R_OK) == 0) return candidate;
  }
  return std::string();
}

// A settings file is read only when it is an ordinary file of a sane size:
// a FIFO or a device (/dev/zero) would hold the job or fill its memory.
bool IsSaneSettingsFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= (1 << 20);
}

// KALVENOR_CUPS_WAIT: whole seconds to follow each CUPS job, up to an
// hour; not a positive number: do not follow; unset (-1): follow the jobs
// on queues of the kalvenor back end only.
int CupsWaitSeconds(const EnvLookup& env) {
  std::optional<std::string> value = env("KALVENOR_CUPS_WAIT");
  if (!value) return -1;
  int seconds = 0;
  auto [end, ec] = std::from_chars(value->data(), value->data() + value->size(), seconds);
  if (ec != std::errc() || end != value->data() + value->size() || seconds <= 0) return 0;
  return std::min(seconds, 3600);
}

}  // namespace

Host MakeRealHost() {
  Host host;
  host.env = GetEnv;
  host.files = MakeRealFileSystem(host.env);
  char cwd[4096];
  host.working_directory = getcwd(cwd, sizeof cwd) != nullptr ? cwd : ".";
  host.trace = std::make_unique<Trace>(GetEnv("KALVENOR_TRACE").value_or(""));
  host.http = MakeCurlHttp();
  host.warn_sink = [](const Text& text) { std::fprintf(stderr, "%s\n", ToUtf8(text).c_str()); };
  EnvLookup env = host.env;
  if (!host.trace->problem().empty()) {
    host.Warn(FromUtf8("KALVENOR_TRACE: " + *env("KALVENOR_TRACE") + ": " + host.trace->problem() +
                       "; no trace is written"));
  }
  std::string fonts = FontConfigurationPath(env);
  if (!fonts.empty() && !IsSaneSettingsFile(fonts)) {
    host.Warn(FromUtf8("KALVENOR_FONTS_CONF: " + fonts + " is not an ordinary file of at most 1 MB; not read"));
    fonts.clear();
  }
  // Warnings of the fonts come when a font is resolved, during the job.
  ConfigureFonts(fonts, CacheFolder(env), [](const std::string& problem) {
    std::fprintf(stderr, "kalvenor: %s\n", problem.c_str());
  });
  host.make_printer = [env](Trace* trace) {
    std::unique_ptr<Printers> printers;
    if (auto folder = env("KALVENOR_PRINTER_DIR")) {
      printers = MakeFolderPrinters(*folder, env("KALVENOR_DEFAULT_PRINTER").value_or(""));
    } else {
      printers = MakeCupsPrinters(CupsWaitSeconds(env));
    }
    return MakeCairoPrinter(std::move(printers), trace);
  };
  return host;
}

std::string ExecutableFolder() {
  char buffer[4096];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return ".";
  std::string path(buffer, static_cast<size_t>(n));
  return path.substr(0, path.find_last_of('/'));
}

}  // namespace kalvenor
