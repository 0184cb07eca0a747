// Text: UTF-16 strings with the string functions the job procedures use.
// Positions are 1-based where they mirror the program's own string functions.
#ifndef KALVENOR_BASE_TEXT_H_
#define KALVENOR_BASE_TEXT_H_

#include <string>
#include <string_view>

namespace kalvenor {

using Text = std::u16string;

// The first / last n characters (all of them when n is larger).
Text Left(const Text& s, size_t n);
Text Right(const Text& s, size_t n);
// n characters from 1-based `start`; the rest of the text when n is npos.
// REQUIRES: start >= 1 (callers that may pass 0 check first).
Text Mid(const Text& s, size_t start, size_t n = Text::npos);

// Leading and trailing spaces (U+0020 only) removed.
Text Trim(const Text& s);

// 1-based position of `what` in `s` from 1-based `start`, 0 when absent.
// An empty `what` is found at `start`.
size_t InStr(const Text& s, const Text& what, size_t start = 1);
// The same, ignoring letter case.
size_t InStrNoCase(const Text& s, const Text& what, size_t start = 1);
// 1-based position of the last occurrence of `what`, 0 when absent.
size_t InStrRev(const Text& s, const Text& what);

// Every occurrence of `from` replaced by `to`, scanning left to right.
Text Replace(const Text& s, const Text& from, const Text& to);

bool StartsWith(const Text& s, const Text& prefix);

// Letter case of Latin letters (ASCII and Latin-1, the letters of the
// counter's language) and of the Greek letters of code page 437.
Text UCase(const Text& s);
Text LCase(const Text& s);

// UTF-8 <-> UTF-16 for the outside world (files names, pango, JSON).
std::string ToUtf8(const Text& s);
Text FromUtf8(std::string_view s);

}  // namespace kalvenor

#endif  // KALVENOR_BASE_TEXT_H_
