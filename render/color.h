// Colours: the sales system's 0x00BBGGRR, a picture's premultiplied
// 0xAARRGGBB, and whether a colour prints black on a one-bit printer.
#ifndef KALVENOR_RENDER_COLOR_H_
#define KALVENOR_RENDER_COLOR_H_

#include <cstdint>

namespace kalvenor {

// The opaque ARGB of `color` (0x00BBGGRR).
constexpr uint32_t OpaqueArgb(uint32_t color) {
  return 0xFF000000u | ((color & 0xFF) << 16) | (color & 0xFF00) | ((color >> 16) & 0xFF);
}

// True when the premultiplied ARGB pixel `argb`, over white paper, prints
// black on a one-bit printer: darker than half.
constexpr bool InkArgb(uint32_t argb) {
  if (argb == 0xFFFFFFFFu) return false;  // most pixels: white paper
  if (argb == 0xFF000000u) return true;   // and black bars
  const uint32_t a = argb >> 24;
  const uint32_t lum = (((argb >> 16) & 0xFF) * 30 + ((argb >> 8) & 0xFF) * 59 + (argb & 0xFF) * 11) / 100;
  return lum + (255 - a) < 128;
}

// The same for a colour (0x00BBGGRR).
constexpr bool Ink(uint32_t color) { return InkArgb(OpaqueArgb(color)); }

}  // namespace kalvenor

#endif  // KALVENOR_RENDER_COLOR_H_
