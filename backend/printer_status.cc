// What an ESC/POS printer says back and what it means for printing.
#include "backend/printer_status.h"

namespace kalvenor {
namespace {

constexpr char kBlockStart = 0x37;
constexpr size_t kLongestBlock = 16;  // longer blocks are skipped, not kept

// A status reply has bits 1 and 4 set and bits 0 and 7 clear.
bool IsStatusReply(unsigned char byte) { return (byte & 0x93) == 0x12; }

bool Has(const StatusBytes& status, int n, int bits) { return status[n] >= 0 && (status[n] & bits) != 0; }

}  // namespace

std::string ProcessIdCommand(std::string_view id) {
  return std::string("\x1d\x28\x48\x06\x00\x30\x30", 7) + std::string(id);
}

const char* ReasonOf(Cause cause) {
  switch (cause) {
    case Cause::kNone: return "";
    case Cause::kPaperOut: return "paper out";
    case Cause::kCoverOpen: return "cover open";
    case Cause::kCutterError: return "cutter error";
    case Cause::kPrinterError: return "printer error";
    case Cause::kOffline: return "offline";
  }
  return "";
}

const char* StateKeywordOf(Cause cause) {
  switch (cause) {
    case Cause::kNone: return "";
    case Cause::kPaperOut: return "media-empty-error";
    case Cause::kCoverOpen: return "cover-open-error";
    case Cause::kOffline: return "offline-report";
    case Cause::kCutterError:
    case Cause::kPrinterError: return "other-error";
  }
  return "";
}

Verdict Judge(const StatusBytes& status) {
  Verdict verdict;
  verdict.media_low = Has(status, 4, 0x0C);
  if (Has(status, 2, 0x20) || Has(status, 4, 0x60)) verdict.cause = Cause::kPaperOut;
  else if (Has(status, 2, 0x04)) verdict.cause = Cause::kCoverOpen;
  else if (Has(status, 3, 0x08)) verdict.cause = Cause::kCutterError;
  else if (Has(status, 2, 0x40) || Has(status, 3, 0x60)) verdict.cause = Cause::kPrinterError;
  else if (Has(status, 1, 0x08)) verdict.cause = Cause::kOffline;
  return verdict;
}

void StatusReader::Ask(std::string_view query) {
  asked_.clear();
  status_ = {-1, -1, -1, -1, -1};
  for (size_t i = 2; i < query.size(); i += 3) asked_.push_back(query[i]);
  asking_ = !asked_.empty();
}

void StatusReader::ExpectProcessId(std::string_view id) {
  id_ = "\x22" + std::string(id);
  confirmed_ = false;
}

void StatusReader::Feed(std::string_view bytes) {
  for (char c : bytes) {
    if (in_block_) {
      if (c == 0) EndBlock();
      else if (block_.size() <= kLongestBlock) block_.push_back(c);
    } else if (c == kBlockStart) {
      in_block_ = true;
      block_.clear();
    } else if (IsStatusReply(static_cast<unsigned char>(c)) && !asked_.empty()) {
      status_[asked_.front()] = static_cast<unsigned char>(c);
      asked_.pop_front();
    }
  }
}

void StatusReader::EndBlock() {
  in_block_ = false;
  if (block_ == "\x25") cleared_ = true;
  if (!id_.empty() && block_ == id_) confirmed_ = true;
}

}  // namespace kalvenor
