// Host: the platform facilities a job uses, passed explicitly to every part
// of the job so that tests can put fakes in their place.
#ifndef KALVENOR_HOST_HOST_H_
#define KALVENOR_HOST_HOST_H_

#include <functional>
#include <memory>
#include <string>

#include "host/file_system.h"
#include "net/http.h"
#include "base/text.h"
#include "base/trace.h"
#include "render/printer.h"

namespace kalvenor {

struct Host {
  EnvLookup env;
  std::unique_ptr<FileSystem> files;
  // The process's working directory, where the configuration file lives.
  std::string working_directory;
  // Makes the printer on first use, so a job that fails early never talks
  // to the print system.
  std::function<std::unique_ptr<Printer>(Trace*)> make_printer;
  std::unique_ptr<Trace> trace;
  // Requests of the QR client; may be null (no network).
  std::unique_ptr<Http> http;
  // Where warnings go when no window is on screen (standard error in a run).
  std::function<void(const Text&)> warn_sink;

  Printer& printer();
  // A warning that would have been a message box: to the sink and the trace.
  void Warn(const Text& text);

 private:
  std::unique_ptr<Printer> printer_;
};

}  // namespace kalvenor

#endif  // KALVENOR_HOST_HOST_H_
