// The byte stream of an ESC/POS receipt printer: a one-bit page image as
// raster bands, blank rows as paper feeds, and the cut.
#ifndef KALVENOR_PRINTERS_ESCPOS_H_
#define KALVENOR_PRINTERS_ESCPOS_H_

#include <string>

#include "printers/printer_options.h"
#include "printers/dot_page.h"

namespace kalvenor {

// The page as one document: ESC @, then from top to bottom bands of at most
// 255 rows (GS v 0, each row cut after its last inked byte of the band) and
// runs of blank rows as ESC J feeds, then the cut.
std::string EncodeEscPos(const DotPage& page, PrinterOutput::Cut cut);

}  // namespace kalvenor

#endif  // KALVENOR_PRINTERS_ESCPOS_H_
