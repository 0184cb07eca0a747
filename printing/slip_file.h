// The slip file: its line layout, the cleaning pass and the pre-scan that
// collects what the printing pass needs in advance.
#ifndef KALVENOR_PRINTING_SLIP_FILE_H_
#define KALVENOR_PRINTING_SLIP_FILE_H_

#include <cstdint>

#include "printing/job_state.h"
#include "host/host.h"

namespace kalvenor {

// One slip line: section digit (column 1), line code (columns 2-3) and the
// 42-character line text (columns 5-46, padded with spaces or cut).
struct SlipLine {
  Text section_digit;
  int16_t line_code = 0;
  Text text;
};

// Splits a line; raises "Type mismatch" when the line code is not a number.
SlipLine SplitSlipLine(const Text& line);

// Rewrites the slip with NUL characters turned into spaces and one CR LF
// appended, in code page 437 as it was read, replacing the file atomically.
void CleanSlipFile(const Text& slip_path, Host& host);

// Reads every non-empty line once and fills `prescan`: the copy amounts and
// the insurer-difference flag, the client-signature and insurer flags, the
// prescription and authorisation barcode texts and flags. A section digit or
// line code that is not a number raises "Type mismatch".
void PreScanSlip(const Text& slip_path, PreScan& prescan, Host& host);

// The folder that keeps a copy of every slip.
inline constexpr char16_t kSlipsFolder[] = u"H:\\COMANDAS";

// Asks for the attributes of the slips folder and ignores the answer and any
// failure; the comanda job calls it once at its start.
void ProbeSlipsFolder(Host& host);

// True when `text` is a number greater than 1; false for 1 or less and for
// text that is not a number.
bool IsNumberAboveOne(const Text& text);

}  // namespace kalvenor

#endif  // KALVENOR_PRINTING_SLIP_FILE_H_
