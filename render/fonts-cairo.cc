// The program's own fontconfig configuration, made current before the first
// text is laid out.

#include <memory>
#include <string>
#include <string_view>

#include "base/posix_file.h"

#include "fonts/kalvenor_base_conf.h"  // kBaseFontConfiguration, made from fonts/kalvenor-base.conf
#include "render/cairo_printer.h"
#include "render/drawing-cairo.h"

namespace kalvenor {
namespace {

struct ConfigDeleter {
  void operator()(FcConfig* config) const { FcConfigDestroy(config); }
};

}  // namespace

void ConfigureFonts(const std::string& conf_path, const std::string& cache_folder,
                    std::function<void(const std::string&)> warn) {
  TextEngine::Get().Configure(FontSetup{conf_path, true, cache_folder, std::move(warn)});
}

std::string FontConfigurationStamp(const std::string& conf_path) {
  // What the files say, not where they are: an edited alias file resolves
  // names otherwise; the font folders are watched by the cache itself.
  uint64_t hash = 14695981039346656037u;
  auto add = [&hash](std::string_view bytes) {
    for (unsigned char c : bytes) hash = (hash ^ c) * 1099511628211u;
    hash = (hash ^ 0xFF) * 1099511628211u;
  };
  add(kBaseFontConfiguration);
  std::string aliases;
  int err = 0;
  if (!conf_path.empty()) ReadOrdinaryFile(conf_path, 1L << 20, &aliases, &err);
  add(aliases);
  return "fontconfig " + std::to_string(hash);
}

std::string LoadFontConfiguration(const std::string& conf_path, bool* own) {
  if (own != nullptr) *own = false;
  // The current configuration keeps its own reference.
  std::unique_ptr<FcConfig, ConfigDeleter> config(FcConfigCreate());
  if (config == nullptr) return "fontconfig: no configuration could be made; the system's stays";
  if (!FcConfigParseAndLoadFromMemory(config.get(), reinterpret_cast<const FcChar8*>(kBaseFontConfiguration),
                                      FcTrue)) {
    return "fontconfig: the built-in configuration could not be loaded; the system's stays";
  }
  std::string problem;
  // The program's aliases last, where they were on top of the system's.
  if (!conf_path.empty() && !FcConfigParseAndLoad(config.get(), reinterpret_cast<const FcChar8*>(conf_path.c_str()),
                                                  FcTrue)) {
    problem = "fontconfig: " + conf_path + " could not be loaded; font aliases may be missing";
  }
  if (!FcConfigBuildFonts(config.get())) {
    if (!problem.empty()) problem += "; ";
    return problem + "fontconfig: the fonts could not be listed; the system's configuration stays";
  }
  if (!FcConfigSetCurrent(config.get())) {
    if (!problem.empty()) problem += "; ";
    return problem + "fontconfig: the program's configuration could not be made current; the system's stays";
  }
  if (own != nullptr) *own = true;
  return problem;
}

}  // namespace kalvenor
