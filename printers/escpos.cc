// ESC/POS encoding of a one-bit page.
#include "printers/escpos.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace kalvenor {
namespace {

constexpr int kMaxBandRows = 255;
constexpr int kMaxFeed = 255;

// Eight bytes at a time: most rows of a receipt are blank paper.
bool BlankRow(const DotPage& page, int row) {
  const uint8_t* first = page.bits.data() + static_cast<size_t>(row) * page.width_bytes;
  int i = 0;
  for (uint64_t eight; i + 8 <= page.width_bytes; i += 8) {
    std::memcpy(&eight, first + i, 8);
    if (eight != 0) return false;
  }
  return std::all_of(first + i, first + page.width_bytes, [](uint8_t b) { return b == 0; });
}

// Bytes of `row` up to and including its last inked one.
int InkedBytes(const DotPage& page, int row) {
  const uint8_t* first = page.bits.data() + static_cast<size_t>(row) * page.width_bytes;
  int n = page.width_bytes;
  while (n > 0 && first[n - 1] == 0) --n;
  return n;
}

}  // namespace

std::string EncodeEscPos(const DotPage& page, PrinterOutput::Cut cut) {
  std::string out = "\x1b\x40";
  // At most every row's bytes, a band's or a feed's command a row, and the cut.
  out.reserve(page.bits.size() + 8 * static_cast<size_t>(page.height) + 16);
  int row = 0;
  while (row < page.height) {
    if (BlankRow(page, row)) {
      int blank = 0;
      while (row + blank < page.height && BlankRow(page, row + blank)) ++blank;
      row += blank;
      for (; blank > 0; blank -= std::min(blank, kMaxFeed)) {
        out += "\x1b\x4a";
        out += static_cast<char>(std::min(blank, kMaxFeed));
      }
      continue;
    }
    int rows = 0, bytes = 1;
    while (row + rows < page.height && rows < kMaxBandRows && !BlankRow(page, row + rows)) {
      bytes = std::max(bytes, InkedBytes(page, row + rows));
      ++rows;
    }
    out += "\x1d\x76\x30";
    out += '\0';
    out += static_cast<char>(bytes & 0xFF);
    out += static_cast<char>(bytes >> 8);
    out += static_cast<char>(rows & 0xFF);
    out += static_cast<char>(rows >> 8);
    for (int r = 0; r < rows; ++r) {
      out.append(reinterpret_cast<const char*>(page.bits.data()) +
                     static_cast<size_t>(row + r) * page.width_bytes,
                 bytes);
    }
    row += rows;
  }
  if (cut == PrinterOutput::Cut::kPartial) out += std::string("\x1d\x56\x42\x00", 4);
  if (cut == PrinterOutput::Cut::kFull) out += std::string("\x1d\x56\x41\x00", 4);
  return out;
}

}  // namespace kalvenor
