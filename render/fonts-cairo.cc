// The program's own fontconfig configuration, made current before the first
// text is laid out.
#include <fontconfig/fontconfig.h>

#include <memory>
#include <string>

#include "fonts/kalvenor_base_conf.h"  // kBaseFontConfiguration, made from fonts/kalvenor-base.conf
#include "render/cairo_printer.h"

namespace kalvenor {
namespace {

struct ConfigDeleter {
  void operator()(FcConfig* config) const { FcConfigDestroy(config); }
};

}  // namespace

std::string LoadFontConfiguration(const std::string& conf_path) {
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
  return problem;
}

}  // namespace kalvenor
