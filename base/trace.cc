// The JSON-lines trace of printer operations.
#include "base/trace.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "base/locale_number.h"

namespace kalvenor {

Trace::Trace(const std::string& path) {
  if (path.empty()) return;
  // Opened without waiting: a FIFO with no reader turns the trace off
  // instead of holding the job. Writes then block as on any file.
  int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
  if (fd < 0) {
    problem_ = errno == ENXIO ? "no process reads the FIFO" : std::strerror(errno);
    return;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  file_ = fdopen(fd, "a");
  if (file_ == nullptr) close(fd);
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

std::string JsonNumber(double value) { return FormatPlainNumber(value, 10); }

}  // namespace kalvenor
