// Locale-aware number conversion for the counter's locale: decimal comma,
// thousands point, "$" as currency sign; integers round halves to even.
#ifndef KALVENOR_BASE_LOCALE_NUMBER_H_
#define KALVENOR_BASE_LOCALE_NUMBER_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/text.h"

namespace kalvenor {

// "1.234,56" -> 1234.56, " -3 " -> -3, "$ 10,00" -> 10. Surrounding blanks,
// a sign, a currency sign, thousands points between digits and an exponent
// are accepted; anything else (empty text included) is not a number.
std::optional<double> ParseLocaleNumber(const Text& text);

// Conversions that raise like the platform's: "Type mismatch" for text that
// is not a number, "Overflow" for a value outside the type's range.
double CDbl(const Text& text);
float CSng(const Text& text);
int16_t CInt(const Text& text);

// Nearest 16-bit integer, halves to the even neighbour; "Overflow" outside
// -32768..32767.
int16_t RoundToInt16(double value);

// Numbers in files and protocols ("57.5", "-1e3"), always with a '.'
// point whatever the process's locale: surrounding ASCII blanks allowed,
// nothing else. Empty when `text` is not a finite number.
std::optional<double> ParsePlainNumber(std::string_view text);

// `value` with up to `significant` digits and a '.' point ("12.5", "1e+20"),
// whatever the process's locale; "0" for a value that is not finite.
std::string FormatPlainNumber(double value, int significant);

}  // namespace kalvenor

#endif  // KALVENOR_BASE_LOCALE_NUMBER_H_
