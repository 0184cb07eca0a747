// The command-line splitter: the raw command line of the process to the
// upper-cased list of arguments that the job reads.
#ifndef KALVENOR_APP_COMMAND_LINE_H_
#define KALVENOR_APP_COMMAND_LINE_H_

#include <string>
#include <vector>

#include "base/text.h"

namespace kalvenor {

// Drops the program path (up to one character after a closing quote, or up
// to the first space), upper-cases, turns NUL and TAB into spaces, trims and
// splits at every single space: two spaces give an empty argument between
// them. Quoting of arguments is not supported.
std::vector<Text> SplitCommandLine(const std::string& raw_command_line);

}  // namespace kalvenor

#endif  // KALVENOR_APP_COMMAND_LINE_H_
