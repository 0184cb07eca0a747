// The lines the back end writes to CUPS.
#include "backend/cups_messages.h"

#include <unistd.h>

namespace kalvenor {

void CupsMessages::Show(const Verdict& verdict) {
  std::set<std::string> wanted;
  if (verdict.cause != Cause::kNone) wanted.insert(StateKeywordOf(verdict.cause));
  if (verdict.media_low) wanted.insert("media-low-report");
  for (const std::string& reason : shown_) {
    if (wanted.count(reason) == 0) Line("STATE: -" + reason);
  }
  for (const std::string& reason : wanted) {
    if (shown_.count(reason) == 0) Line("STATE: +" + reason);
  }
  if (verdict.cause != Cause::kNone && shown_.count(StateKeywordOf(verdict.cause)) == 0) {
    Info(std::string("printer not ready: ") + ReasonOf(verdict.cause));
  }
  shown_ = std::move(wanted);
}

void CupsMessages::Line(const std::string& line) {
  // One write a line, so that CUPS never reads half of one.
  std::string whole = line + "\n";
  ssize_t ignored = write(fd_, whole.data(), whole.size());
  (void)ignored;
}

}  // namespace kalvenor
