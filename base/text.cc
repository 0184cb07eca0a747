// Text helpers over UTF-16 strings.
#include "base/text.h"

namespace kalvenor {

Text Left(const Text& s, size_t n) { return s.substr(0, n); }

Text Right(const Text& s, size_t n) {
  return n >= s.size() ? s : s.substr(s.size() - n);
}

Text Mid(const Text& s, size_t start, size_t n) {
  if (start == 0 || start > s.size()) return Text();
  return s.substr(start - 1, n);
}

Text Trim(const Text& s) {
  size_t b = s.find_first_not_of(u' ');
  if (b == Text::npos) return Text();
  size_t e = s.find_last_not_of(u' ');
  return s.substr(b, e - b + 1);
}

size_t InStr(const Text& s, const Text& what, size_t start) {
  if (start == 0 || start > s.size() + 1) return 0;
  size_t p = s.find(what, start - 1);
  return p == Text::npos ? 0 : p + 1;
}

size_t InStrNoCase(const Text& s, const Text& what, size_t start) {
  return InStr(LCase(s), LCase(what), start);
}

size_t InStrRev(const Text& s, const Text& what) {
  size_t p = s.rfind(what);
  return p == Text::npos ? 0 : p + 1;
}

Text Replace(const Text& s, const Text& from, const Text& to) {
  if (from.empty()) return s;
  Text out;
  out.reserve(s.size());
  size_t pos = 0;
  for (;;) {
    size_t hit = s.find(from, pos);
    if (hit == Text::npos) break;
    out.append(s, pos, hit - pos);
    out += to;
    pos = hit + from.size();
  }
  out.append(s, pos, Text::npos);
  return out;
}

bool StartsWith(const Text& s, const Text& prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}

namespace {

char16_t Upper(char16_t c) {
  if (c >= u'a' && c <= u'z') return c - 32;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 32;
  if (c == 0xFF) return 0x178;
  if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return c - 32;  // Greek
  return c;
}

char16_t Lower(char16_t c) {
  if (c >= u'A' && c <= u'Z') return c + 32;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
  if (c == 0x178) return 0xFF;
  if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 32;
  return c;
}

}  // namespace

Text UCase(const Text& s) {
  Text out(s);
  for (auto& c : out) c = Upper(c);
  return out;
}

Text LCase(const Text& s) {
  Text out(s);
  for (auto& c : out) c = Lower(c);
  return out;
}

std::string ToUtf8(const Text& s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    char32_t c = s[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
        s[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (s[++i] - 0xDC00);
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;  // a lone surrogate cannot be written as UTF-8
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

Text FromUtf8(std::string_view s) {
  Text out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    unsigned char b = s[i];
    char32_t c;
    size_t len;
    if (b < 0x80) { c = b; len = 1; }
    else if ((b & 0xE0) == 0xC0) { c = b & 0x1F; len = 2; }
    else if ((b & 0xF0) == 0xE0) { c = b & 0x0F; len = 3; }
    else if ((b & 0xF8) == 0xF0) { c = b & 0x07; len = 4; }
    else { out += u'\xFFFD'; ++i; continue; }
    if (i + len > s.size()) { out += u'\xFFFD'; break; }
    bool ok = true;
    for (size_t k = 1; k < len; ++k) {
      unsigned char cb = s[i + k];
      if ((cb & 0xC0) != 0x80) { ok = false; break; }
      c = (c << 6) | (cb & 0x3F);
    }
    if (!ok) { out += u'\xFFFD'; ++i; continue; }
    i += len;
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
  }
  return out;
}

}  // namespace kalvenor
