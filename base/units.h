// Measures and colours shared by every drawing surface.
#ifndef KALVENOR_BASE_UNITS_H_
#define KALVENOR_BASE_UNITS_H_

#include <cstdint>

namespace kalvenor {

// Positions and sizes are in twips: 1440 an inch.
inline constexpr double kTwipsPerPoint = 20.0;
inline constexpr double kTwipsPerPixel = 15.0;  // a screen pixel at 96 per inch

// Colours as 0x00BBGGRR.
inline constexpr uint32_t kBlack = 0x000000;
inline constexpr uint32_t kWhite = 0xFFFFFF;

}  // namespace kalvenor

#endif  // KALVENOR_BASE_UNITS_H_
