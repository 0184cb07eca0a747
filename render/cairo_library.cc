// Loads cairo and fontconfig at the first call into them.
#define KALVENOR_CAIRO_LIBRARY_LOADER
#include "render/cairo_library.h"

#include <dlfcn.h>

#include <cstdio>
#include <optional>
#include <string>
#include <type_traits>

#include "base/run_time_error.h"

namespace kalvenor {
namespace {

// The functions of both libraries, or none with the reason in `error`. The
// libraries stay loaded: their objects live until the program ends.
std::optional<CairoFunctions> Load(std::string* error) {
  CairoFunctions functions{};
  void* cairo = dlopen("libcairo.so.2", RTLD_LAZY | RTLD_LOCAL);
  void* fontconfig = cairo != nullptr ? dlopen("libfontconfig.so.1", RTLD_LAZY | RTLD_LOCAL) : nullptr;
  if (cairo == nullptr || fontconfig == nullptr) {
    *error = dlerror();
    return std::nullopt;
  }
  bool found = true;
  auto find = [&found, error](void* library, const char* name, auto* function) {
    *function = reinterpret_cast<std::remove_pointer_t<decltype(function)>>(dlsym(library, name));
    if (*function == nullptr && found) {
      found = false;
      *error = std::string(name) + " not found";
    }
  };
#define KALVENOR_FIND_CAIRO(name) find(cairo, #name, &functions.name);
#define KALVENOR_FIND_FONTCONFIG(name) find(fontconfig, #name, &functions.name);
  KALVENOR_CAIRO_FUNCTIONS(KALVENOR_FIND_CAIRO)
  KALVENOR_FONTCONFIG_FUNCTIONS(KALVENOR_FIND_FONTCONFIG)
#undef KALVENOR_FIND_CAIRO
#undef KALVENOR_FIND_FONTCONFIG
  if (!found) return std::nullopt;
  return functions;
}

}  // namespace

const CairoFunctions& CairoLibrary() {
  static const std::optional<CairoFunctions> functions = [] {
    std::string error;
    std::optional<CairoFunctions> loaded = Load(&error);
    if (!loaded) std::fprintf(stderr, "kalvenor: cannot load cairo: %s\n", error.c_str());
    return loaded;
  }();
  if (!functions) throw RunTimeError(kFileNotFound);
  return *functions;
}

}  // namespace kalvenor
