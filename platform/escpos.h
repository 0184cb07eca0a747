// The byte stream of an ESC/POS receipt printer: a one-bit page image as
// raster bands, blank rows as paper feeds, and the cut.
#ifndef KALVENOR_PLATFORM_ESCPOS_H_
#define KALVENOR_PLATFORM_ESCPOS_H_

#include <cstdint>
#include <string>
#include <vector>

#include "platform/printer_options.h"

namespace kalvenor {

// A one-bit page: `width_bytes` bytes a row, most significant bit leftmost,
// 1 = black.
struct DotPage {
  int width_bytes = 0;
  int height = 0;
  std::vector<uint8_t> bits;
};

// The page as one document: ESC @, then from top to bottom bands of at most
// 255 rows (GS v 0, each row cut after its last inked byte of the band) and
// runs of blank rows as ESC J feeds, then the cut.
std::string EncodeEscPos(const DotPage& page, PrinterOutput::Cut cut);

}  // namespace kalvenor

#endif  // KALVENOR_PLATFORM_ESCPOS_H_
