// The printer's replies: status bytes to a verdict in the order of importance,
// blocks skipped, unasked replies ignored, process IDs and the clear recognised.
#include "backend/printer_status.h"

#include <gtest/gtest.h>

namespace kalvenor {
namespace {

std::string Hex(const char* text) {
  std::string bytes;
  for (const char* p = text; *p != 0;) {
    char* end = nullptr;
    bytes.push_back(static_cast<char>(strtol(p, &end, 16)));
    p = *end == ' ' ? end + 1 : end;
  }
  return bytes;
}

TEST(StatusReader, RepliesToVerdict) {
  struct {
    std::string_view query;
    const char* before;  // what came before the query, with an earlier one unanswered: never a reply
    const char* after;
    const char* reason;  // "?" when the replies are not all in
    bool media_low;
  } cases[] = {
      {kAskAll, "", "12 12 12 12", "", false},
      {kAskAll, "", "1a 12 12 12", "offline", false},
      {kAskAll, "", "1a 16 12 12", "cover open", false},
      {kAskAll, "", "1a 32 12 12", "paper out", false},
      {kAskAll, "", "12 12 12 72", "paper out", false},
      {kAskAll, "", "1a 36 12 72", "paper out", false},   // paper out before cover open
      {kAskAll, "", "1a 52 1a 12", "cutter error", false},  // cutter before printer error
      {kAskAll, "", "12 52 12 12", "printer error", false},
      {kAskAll, "", "1a 12 32 12", "printer error", false},  // before offline
      {kAskAll, "", "12 12 52 12", "printer error", false},
      {kAskAll, "", "12 12 12 1e", "", true},  // paper near its end still prints
      {kAskAll, "", "12 12 12 1a", "", true},
      {kAskAll, "", "12 12 12 7e", "paper out", true},
      {kAskAll, "", "00 ff 18 12 13 10 12 02 80 12 01 12", "", false},  // other bytes dropped
      {kAskAll, "", "37 22 31 32 33 34 00 12 12 12 12", "", false},
      {kAskAll, "", "37 1a 32 00 12 37 25 00 12 12 12", "", false},  // nothing in a block is a reply
      {kAskAll, "", "12 37 99 12 12", "?", false},  // an unfinished block
      {kAskAll, "1a 32 12 72", "12 12 12 12", "", false},  // stale replies before the query
      {kAskAll, "1a 32", "12 12 12 12", "", false},  // the earlier query's missing replies never come
      {kAskAll, "37 22 1a", "00 12 12 12 12", "", false},  // a block that began before
      {kAskAll, "", "12 12 12", "?", false},
      {kAskPaper, "", "32 72", "paper out", false},
      {kAskPaper, "", "16 12", "cover open", false},
      {kAskPaper, "", "12 12", "", false},
  };
  for (const auto& c : cases) {
    StatusReader reader;
    reader.Ask(kAskAll);
    reader.Feed(Hex(c.before));
    reader.Ask(c.query);
    std::string after = Hex(c.after);
    for (char byte : after) reader.Feed(std::string(1, byte));  // replies come in pieces
    std::string why = std::string(c.before) + " | " + c.after;
    if (std::string_view(c.reason) == "?") {
      EXPECT_FALSE(reader.Answered()) << why;
      continue;
    }
    ASSERT_TRUE(reader.Answered()) << why;
    Verdict verdict = Judge(reader.status());
    EXPECT_EQ(ReasonOf(verdict.cause), std::string(c.reason)) << why;
    EXPECT_EQ(verdict.media_low, c.media_low) << why;
  }
}

TEST(StatusReader, ProcessIdAndClear) {
  struct {
    const char* bytes;
    bool confirmed, cleared;
  } cases[] = {
      {"37 22 30 30 34 32 00", true, false},
      {"12 37 22 30 30 34 32 00 12", true, false},
      {"37 22 30 30 34 31 00", false, false},  // another job's
      {"37 22 30 30 34 32", false, false},     // unfinished
      {"37 22 30 30 34 32 33 00", false, false},
      {"37 25 00", false, true},
      {"37 25 30 00", false, false},
      {"37 25 37 22 30 30 34 32 00", false, false},  // 0x37 inside a block starts nothing
  };
  for (const auto& c : cases) {
    StatusReader reader;
    reader.ExpectProcessId("0042");
    reader.ExpectClear();
    reader.Feed(Hex(c.bytes));
    EXPECT_EQ(reader.Confirmed(), c.confirmed) << c.bytes;
    EXPECT_EQ(reader.Cleared(), c.cleared) << c.bytes;
  }
  EXPECT_EQ(ProcessIdCommand("0042"), Hex("1d 28 48 06 00 30 30 30 30 34 32"));
}

}  // namespace
}  // namespace kalvenor
