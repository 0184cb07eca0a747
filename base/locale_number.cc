// Locale-aware number conversion (decimal comma, thousands point).
#include "base/locale_number.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <string>

#include "base/run_time_error.h"

namespace kalvenor {
namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }
bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

}  // namespace

std::optional<double> ParseLocaleNumber(const Text& text) {
  size_t i = 0, n = text.size();
  while (n > 0 && IsBlank(text[n - 1])) --n;
  auto skip_blanks = [&] { while (i < n && IsBlank(text[i])) ++i; };
  skip_blanks();
  bool negative = false, have_sign = false, have_currency = false;
  for (;;) {  // sign and currency sign, in either order
    if (!have_sign && i < n && (text[i] == u'-' || text[i] == u'+')) {
      negative = text[i] == u'-';
      have_sign = true;
      ++i;
    } else if (!have_currency && i < n && text[i] == u'$') {
      have_currency = true;
      ++i;
    } else {
      break;
    }
    skip_blanks();
  }
  // Digits in ASCII form with a '.' decimal point, for strtod.
  std::string number;
  bool any_digit = false;
  bool in_integer_part = true;
  for (; i < n; ++i) {
    char16_t c = text[i];
    if (IsDigit(c)) {
      number += static_cast<char>(c);
      any_digit = true;
    } else if (c == u'.' && in_integer_part && any_digit && i + 1 < n && IsDigit(text[i + 1])) {
      // thousands point: only between digits of the integer part
    } else if (c == u',' && in_integer_part) {
      number += '.';
      in_integer_part = false;
    } else {
      break;
    }
  }
  if (!any_digit) return std::nullopt;
  if (i < n && (text[i] == u'E' || text[i] == u'e')) {
    std::string exponent = "e";
    size_t j = i + 1;
    if (j < n && (text[j] == u'-' || text[j] == u'+')) exponent += static_cast<char>(text[j++]);
    size_t digits_at = j;
    while (j < n && IsDigit(text[j])) exponent += static_cast<char>(text[j++]);
    if (j == digits_at) return std::nullopt;
    number += exponent;
    i = j;
  }
  if (i != n) return std::nullopt;
  std::optional<double> value = ParsePlainNumber(number);
  if (!value) return std::nullopt;
  return negative ? -*value : *value;
}

std::optional<double> ParsePlainNumber(std::string_view text) {
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  double value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  // A too-large exponent is out of range, not a number to print with.
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

std::string FormatPlainNumber(double value, int significant) {
  if (!std::isfinite(value)) return "0";
  char buffer[64];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, significant);
  if (ec != std::errc()) return "0";
  return std::string(buffer, end);
}

double CDbl(const Text& text) {
  std::optional<double> value = ParseLocaleNumber(text);
  if (!value) throw RunTimeError(kTypeMismatch);
  return *value;
}

float CSng(const Text& text) {
  double value = CDbl(text);
  if (std::fabs(value) > FLT_MAX) throw RunTimeError(kOverflow);
  return static_cast<float>(value);
}

int16_t CInt(const Text& text) { return RoundToInt16(CDbl(text)); }

int16_t RoundToInt16(double value) {
  double rounded = std::nearbyint(value);  // the default mode rounds halves to even
  if (!(rounded >= -32768.0 && rounded <= 32767.0)) throw RunTimeError(kOverflow);
  return static_cast<int16_t>(rounded);
}

}  // namespace kalvenor
