// The command-line splitter.
#include "app/command_line.h"

#include "base/code_page.h"

namespace kalvenor {
namespace {

bool IsValidUtf8(const std::string& bytes) {
  return ToUtf8(FromUtf8(bytes)) == bytes;
}

}  // namespace

std::vector<Text> SplitCommandLine(const std::string& raw_command_line) {
  Text t;
  if (raw_command_line.size() > 2) {
    // The host hands over UTF-8; anything else is taken as Windows-1252.
    t = IsValidUtf8(raw_command_line) ? FromUtf8(raw_command_line) : DecodeAnsi(raw_command_line);
    t = UCase(t);
    size_t quote = InStr(t, u"\"", 2);
    if (quote != 0) {
      t = UCase(Mid(t, quote + 2));
    } else if (size_t space = InStr(t, u" "); space != 0) {
      t = Right(t, t.size() - space);
    }
    for (char16_t& c : t) {
      if (c == u'\0' || c == u'\t') c = u' ';
    }
    t = Trim(t);
  }
  std::vector<Text> arguments;
  if (t.empty()) return arguments;
  size_t start = 0;
  for (;;) {
    size_t space = t.find(u' ', start);
    arguments.push_back(t.substr(start, space == Text::npos ? Text::npos : space - start));
    if (space == Text::npos) break;
    start = space + 1;
  }
  return arguments;
}

}  // namespace kalvenor
