// What an ESC/POS printer says back, read byte by byte: replies to real-time
// status queries (DLE EOT n), blocks from 0x37 to the next 0x00 (process IDs,
// the buffer clear), and what they mean for printing. No input or output here.
#ifndef KALVENOR_BACKEND_PRINTER_STATUS_H_
#define KALVENOR_BACKEND_PRINTER_STATUS_H_

#include <array>
#include <deque>
#include <string>
#include <string_view>

namespace kalvenor {

// The commands the back end sends.
inline constexpr std::string_view kAskAll = "\x10\x04\x01\x10\x04\x02\x10\x04\x03\x10\x04\x04";
inline constexpr std::string_view kAskPaper = "\x10\x04\x02\x10\x04\x04";
inline constexpr std::string_view kClearBuffers = "\x10\x14\x08\x01\x03\x14\x01\x06\x02\x08";
// GS ( H with function 48: the printer answers 37 22 ID 00 once everything before it has printed.
std::string ProcessIdCommand(std::string_view id);  // REQUIRES: id is four digits

// Why a printer does not print, most important first: when several show at
// once, the first is named.
enum class Cause { kNone, kPaperOut, kCoverOpen, kCutterError, kPrinterError, kOffline };
const char* ReasonOf(Cause cause);        // "paper out", ...; "" for kNone
const char* StateKeywordOf(Cause cause);  // CUPS printer-state-reasons: "media-empty-error", ...

// The reply bytes to DLE EOT 1 to 4; index 0 is unused, -1 is not asked.
using StatusBytes = std::array<int, 5>;
struct Verdict {
  Cause cause = Cause::kNone;  // kNone: ready
  bool media_low = false;      // paper near its end: only reported
};
Verdict Judge(const StatusBytes& status);

class StatusReader {
 public:
  // `query` (DLE EOT commands) was just sent: its replies are looked for from
  // now on, in its order; earlier questions are forgotten.
  void Ask(std::string_view query);
  bool Answered() const { return asking_ && asked_.empty(); }
  const StatusBytes& status() const { return status_; }

  // A process ID or a buffer clear was sent: its answer is looked for from now on.
  void ExpectProcessId(std::string_view id);
  void ExpectClear() { cleared_ = false; }
  bool Confirmed() const { return confirmed_; }
  bool Cleared() const { return cleared_; }

  void Feed(std::string_view bytes);

 private:
  void EndBlock();

  std::deque<int> asked_;  // the n of each reply still to come
  bool asking_ = false;
  StatusBytes status_ = {-1, -1, -1, -1, -1};
  bool in_block_ = false;
  std::string block_;  // after the 0x37, at most a few bytes
  std::string id_;
  bool confirmed_ = false;
  bool cleared_ = false;
};

}  // namespace kalvenor

#endif  // KALVENOR_BACKEND_PRINTER_STATUS_H_
