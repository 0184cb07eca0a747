#include "app/command_line.h"

#include <gtest/gtest.h>

namespace kalvenor {
namespace {

TEST(SplitCommandLine, Cases) {
  using Args = std::vector<Text>;
  struct Case {
    std::string line;
    Args args;
  } cases[] = {
      {"\"C:\\Mis Programas\\kalvenor.exe\" \\ventas\\c0001234.txt \\ventas\\log.txt n s",
       {u"\\VENTAS\\C0001234.TXT", u"\\VENTAS\\LOG.TXT", u"N", u"S"}},
      {"kalvenor a  b", {u"A", u"", u"B"}},            // two spaces: an empty argument
      {"kalvenor a\tb", {u"A", u"B"}},                 // a TAB separates
      {"/usr/bin/kalvenor", {u"/USR/BIN/KALVENOR"}},   // no space: the whole line
      {"kalvenor  ", {}},
      {"ab", {}},                                      // two bytes or fewer: nothing
      {"kalvenor peña", {u"PEÑA"}},
      {"kalvenor pe\xF1" "a", {u"PEÑA"}},              // not UTF-8: Windows-1252
  };
  for (const Case& c : cases) EXPECT_EQ(SplitCommandLine(c.line), c.args) << c.line;
}

}  // namespace
}  // namespace kalvenor
