// The printer of a job, made on first use, and its warnings.
#include "host/host.h"

namespace kalvenor {

Printer& Host::printer() {
  if (!printer_) printer_ = make_printer(trace.get());
  return *printer_;
}

void Host::Warn(const Text& text) {
  if (warn_sink) warn_sink(text);
  if (trace) trace->Write("\"op\":\"message\",\"text\":" + JsonText(text));
}

}  // namespace kalvenor
