#include "desktop/event_guard.h"

#include <cstdio>

#include "base/run_time_error.h"

namespace kalvenor {

void RunGuarded(const std::function<void()>& event, const std::function<void(const Text&)>& warn) {
  std::exception_ptr failure;
  try {
    event();
    return;
  } catch (...) {
    failure = std::current_exception();
  }
  RunTimeError error = ErrorFromException(failure);
  if (error.number() == kInternalError) {
    std::fprintf(stderr, "kalvenor-barcodes: internal error: %s\n", ExceptionText(failure).c_str());
  }
  try {
    warn(FromUtf8(error.description()));
  } catch (...) {
    std::fprintf(stderr, "kalvenor-barcodes: %s\n", error.description().c_str());
  }
}

}  // namespace kalvenor
