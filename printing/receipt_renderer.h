// The receipt renderer: one section of a slip printed as one receipt copy.
#ifndef KALVENOR_PRINTING_RECEIPT_RENDERER_H_
#define KALVENOR_PRINTING_RECEIPT_RENDERER_H_

#include <cstdint>

#include "printing/job_state.h"
#include "host/host.h"

namespace kalvenor {

class frmCodBarra;

// Prints the current section from the section lists: a centred header, the
// upper block, the items with bold prices, the footer with the "TOTAL $"
// and C.A.E. lines, the signature block, the insurer barcodes, the paper
// feed and, on the first printed copy, the fiscal QR code. `section_end_line`
// is shortened to its text from the fifth character on, the reference for
// centring. `form` draws the barcodes; null when the slip has none. The
// caller ends the document.
void PrintReceipt(Text& section_end_line, Job& job, frmCodBarra* form, Host& host);

// The smaller of a and b.
inline int16_t MinInt16(int16_t a, int16_t b) { return a < b ? a : b; }

}  // namespace kalvenor

#endif  // KALVENOR_PRINTING_RECEIPT_RENDERER_H_
