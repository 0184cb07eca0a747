// DotPage: the one-bit page of a dot printer, as drawn and as sent.
#ifndef KALVENOR_PRINTERS_DOT_PAGE_H_
#define KALVENOR_PRINTERS_DOT_PAGE_H_

#include <cstdint>
#include <vector>

namespace kalvenor {

// A one-bit page: `width_bytes` bytes a row, most significant bit leftmost,
// 1 = black.
struct DotPage {
  int width_bytes = 0;
  int height = 0;
  std::vector<uint8_t> bits;
};

}  // namespace kalvenor

#endif  // KALVENOR_PRINTERS_DOT_PAGE_H_
