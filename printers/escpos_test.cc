#include "printers/escpos.h"

#include <gtest/gtest.h>

namespace kalvenor {
namespace {

using namespace std::string_literals;

const std::string kInit = "\x1b\x40", kPartial("\x1d\x56\x42\x00", 4), kFull("\x1d\x56\x41\x00", 4);

// A raster band header: GS v 0, mode 0, bytes a row and rows, little-endian.
std::string Band(int bytes, int rows) {
  return std::string("\x1d\x76\x30\x00", 4) + char(bytes & 0xFF) + char(bytes >> 8) + char(rows & 0xFF) +
         char(rows >> 8);
}

// A page `width_bytes` wide whose listed rows hold `bits` (others blank).
DotPage PageOf(int width_bytes, int height, std::vector<std::pair<int, std::vector<uint8_t>>> rows) {
  DotPage page{width_bytes, height, std::vector<uint8_t>(static_cast<size_t>(width_bytes) * height)};
  for (auto& [row, bits] : rows) std::copy(bits.begin(), bits.end(), page.bits.begin() + row * width_bytes);
  return page;
}

TEST(EncodeEscPos, BandsFeedsAndCuts) {
  DotPage tall = PageOf(2, 300, {});
  for (int row = 0; row < 300; ++row) tall.bits[row * 2] = 0x01;
  struct Case {
    const char* name;
    DotPage page;
    PrinterOutput::Cut cut;
    std::string stream;
  } cases[] = {
      {"empty page, no cut", PageOf(4, 0, {}), PrinterOutput::Cut::kNone, kInit},
      {"blank rows are one feed", PageOf(4, 3, {}), PrinterOutput::Cut::kPartial, kInit + "\x1b\x4a\x03" + kPartial},
      {"a feed of 300 rows is split at 255", PageOf(1, 300, {}), PrinterOutput::Cut::kFull,
       kInit + "\x1b\x4a\xff" + "\x1b\x4a\x2d" + kFull},
      {"a band ends after its last inked byte", PageOf(4, 2, {{0, {0x80, 0, 0x01, 0}}, {1, {0x40, 0, 0, 0}}}),
       PrinterOutput::Cut::kNone, kInit + Band(3, 2) + "\x80\x00\x01\x40\x00\x00"s},
      {"feeds between bands", PageOf(2, 4, {{1, {0, 0xFF}}, {3, {0x0F, 0}}}), PrinterOutput::Cut::kNone,
       kInit + "\x1b\x4a\x01" + Band(2, 1) + "\x00\xff"s + "\x1b\x4a\x01" + Band(1, 1) + "\x0f"},
      {"300 inked rows: bands of at most 255", tall, PrinterOutput::Cut::kNone,
       kInit + Band(1, 255) + std::string(255, '\x01') + Band(1, 45) + std::string(45, '\x01')},
      {"a row 300 bytes wide", PageOf(300, 1, {{0, std::vector<uint8_t>(300, 0xAA)}}), PrinterOutput::Cut::kNone,
       kInit + Band(300, 1) + std::string(300, '\xaa')},
  };
  for (const Case& c : cases) EXPECT_EQ(EncodeEscPos(c.page, c.cut), c.stream) << c.name;
}

}  // namespace
}  // namespace kalvenor
