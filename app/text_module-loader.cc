// MakePangoText of the kalvenor program: it loads kalvenor-text.so, so that
// the program itself never links pango, GLib's object system and the
// libraries they bring; a job whose fonts are all in the font cache never
// loads them. The tests link pango's text directly.
#include <dlfcn.h>
#include <unistd.h>

#include <string>

#include "app/real_host.h"
#include "render/pango_text.h"

namespace kalvenor {

std::unique_ptr<PangoText> MakePangoText(std::string* error) {
  constexpr char kModuleName[] = "kalvenor-text.so";
  const std::string folder = ExecutableFolder();
  *error = std::string(kModuleName) + " not found";
  // Beside the program in a build tree, under lib/kalvenor when installed.
  for (const std::string& path : {folder + "/" + kModuleName, folder + "/../lib/kalvenor/" + kModuleName}) {
    if (access(path.c_str(), R_OK) != 0) continue;
    // Kept loaded for the life of the process: its objects live as long.
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
      const char* why = dlerror();
      *error = why != nullptr ? why : path;
      continue;
    }
    using Make = PangoText* (*)(std::string*);
    auto make = reinterpret_cast<Make>(dlsym(handle, "KalvenorTextMakePango"));
    if (make == nullptr) {
      *error = path + ": no KalvenorTextMakePango";
      continue;
    }
    return std::unique_ptr<PangoText>(make(error));
  }
  return nullptr;
}

}  // namespace kalvenor
