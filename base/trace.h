// Trace: one JSON object per line for every printer operation, appended to
// the file named by KALVENOR_TRACE.
#ifndef KALVENOR_BASE_TRACE_H_
#define KALVENOR_BASE_TRACE_H_

#include <cstdio>
#include <string>

#include "base/text.h"

namespace kalvenor {

class Trace {
 public:
  // Opens `path` for appending; an empty path or a file that cannot be
  // opened gives a trace that writes nothing.
  explicit Trace(const std::string& path);
  ~Trace();
  Trace(const Trace&) = delete;
  Trace& operator=(const Trace&) = delete;

  bool enabled() const { return file_ != nullptr; }
  // Why a named trace file could not be opened; empty when it was.
  const std::string& problem() const { return problem_; }
  // Writes one object built from already-encoded "key":value members.
  void Write(const std::string& members);

 private:
  std::FILE* file_ = nullptr;
  std::string problem_;
};

// JSON encodings of a text (quoted, escaped, UTF-8) and of a number in twips.
std::string JsonText(const Text& text);
std::string JsonNumber(double value);

}  // namespace kalvenor

#endif  // KALVENOR_BASE_TRACE_H_
