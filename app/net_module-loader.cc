// MakeCupsPrinters and MakeCurlHttp of the kalvenor program: they load
// kalvenor-net.so on first use and hand over to its back ends. Linked into
// the program ahead of the library, so the program itself never links
// libcups or libcurl (see net/net_module.h). The tests link the back
// ends directly.
#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "app/real_host.h"
#include "net/net_module.h"
#include "base/run_time_error.h"

namespace kalvenor {
namespace {

constexpr char kModuleName[] = "kalvenor-net.so";

// The module's handle, loaded once per process: beside the program in a
// build tree, under lib/kalvenor when installed. Null when it cannot be
// loaded; `error` then says why.
void* Module(std::string* error) {
  static void* handle = nullptr;
  static std::string load_error;
  static bool tried = false;
  if (!tried) {
    tried = true;
    std::string folder = ExecutableFolder();
    for (const std::string& path :
         {folder + "/" + kModuleName, folder + "/../lib/kalvenor/" + kModuleName}) {
      if (access(path.c_str(), R_OK) != 0) continue;
      handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
      if (handle != nullptr) break;
      const char* why = dlerror();
      load_error = why != nullptr ? why : path;
    }
    if (handle == nullptr && load_error.empty()) load_error = std::string(kModuleName) + " not found";
  }
  *error = load_error;
  return handle;
}

template <typename Function>
Function Entry(const char* name, std::string* error) {
  void* handle = Module(error);
  if (handle == nullptr) return nullptr;
  void* entry = dlsym(handle, name);
  if (entry == nullptr) *error = std::string(kModuleName) + ": no " + name;
  return reinterpret_cast<Function>(entry);
}

// Loads the module at the first request: a job that never asks the QR
// service never loads curl. Without the module every request fails, as a
// request without network would.
class LazyHttp : public Http {
 public:
  explicit LazyHttp(const HttpLimits& limits) : limits_(limits) {}

  std::optional<std::string> Get(const std::string& url) override {
    Http* http = Real();
    if (http == nullptr) return std::nullopt;
    return http->Get(url);
  }

  std::optional<std::string> Post(const std::string& url, const std::string& header_text,
                                  const std::string& body) override {
    Http* http = Real();
    if (http == nullptr) return std::nullopt;
    return http->Post(url, header_text, body);
  }

 private:
  Http* Real() {
    if (!real_ && !tried_) {
      tried_ = true;
      std::string error;
      auto make = Entry<decltype(&KalvenorNetMakeCurlHttp)>("KalvenorNetMakeCurlHttp", &error);
      if (make != nullptr) {
        real_.reset(make(&limits_));
      } else {
        // The job goes on as without network; whoever looks into a missing
        // QR code finds why on standard error.
        std::fprintf(stderr, "kalvenor: no network requests: %s\n", error.c_str());
      }
    }
    return real_.get();
  }

  HttpLimits limits_;
  bool tried_ = false;
  std::unique_ptr<Http> real_;
};

}  // namespace

std::unique_ptr<Printers> MakeCupsPrinters(int wait_seconds) {
  std::string error;
  auto make = Entry<decltype(&KalvenorNetMakeCupsPrinters)>("KalvenorNetMakeCupsPrinters", &error);
  if (make == nullptr) {
    throw RunTimeError(kPrinterError, ErrorDescription(kPrinterError) + ": " + error);
  }
  return std::unique_ptr<Printers>(make(wait_seconds));
}

std::unique_ptr<Http> MakeCurlHttp(const HttpLimits& limits) {
  return std::make_unique<LazyHttp>(limits);
}

}  // namespace kalvenor
