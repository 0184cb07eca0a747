// The JSON-lines trace of printer operations.
#include "platform/trace.h"

#include <cmath>
#include <cstdio>

namespace kalvenor {

Trace::Trace(const std::string& path) {
  if (!path.empty()) file_ = std::fopen(path.c_str(), "a");
}

Trace::~Trace() {
  if (file_ != nullptr) std::fclose(file_);
}

void Trace::Write(const std::string& members) {
  if (file_ == nullptr) return;
  std::string line = "{" + members + "}\n";
  // One write per line, so lines of simultaneous jobs do not interleave.
  std::fwrite(line.data(), 1, line.size(), file_);
  std::fflush(file_);
}

std::string JsonText(const Text& text) {
  std::string utf8 = ToUtf8(text);
  std::string out = "\"";
  for (unsigned char c : utf8) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char buffer[8];
          std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
          out += buffer;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string JsonNumber(double value) {
  if (!std::isfinite(value)) return "0";
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.10g", value);
  return buffer;
}

}  // namespace kalvenor
