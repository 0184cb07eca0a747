// Code page 437 (slip and label files) and Windows-1252, the system's ANSI
// code page (configuration, feed-count, reply and log files).
#ifndef KALVENOR_BASE_CODE_PAGE_H_
#define KALVENOR_BASE_CODE_PAGE_H_

#include <string>
#include <string_view>

#include "base/text.h"

namespace kalvenor {

Text DecodeCp437(std::string_view bytes);
// Characters code page 437 lacks become "?".
std::string EncodeCp437(const Text& text);

Text DecodeAnsi(std::string_view bytes);
// The character's Windows-1252 code, with the Windows best-fit fallback for
// characters Windows-1252 lacks ("?" when there is none).
unsigned char AnsiCode(char16_t c);
// The character's own Windows-1252 code, without best-fit; -1 when it has none.
int ExactAnsiCode(char16_t c);
std::string EncodeAnsi(const Text& text);

}  // namespace kalvenor

#endif  // KALVENOR_BASE_CODE_PAGE_H_
