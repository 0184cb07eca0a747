// The text stream of the slip and label readers.
#include "host/text_stream.h"

#include <algorithm>

#include "base/code_page.h"
#include "base/run_time_error.h"

namespace kalvenor {

void TextStream::LoadFromFile(FileSystem& files, const std::string& host_path) {
  bytes_ = files.ReadFile(host_path);
  position_ = 0;
  ansi_ = LCase(charset_) == u"windows-1252";
  if (!ansi_ && LCase(charset_) != u"cp437") throw RunTimeError(kInvalidProcedureCall);
}

Text TextStream::Decode(std::string_view bytes) const {
  return ansi_ ? DecodeAnsi(bytes) : DecodeCp437(bytes);
}

Text TextStream::ReadAll() {
  std::string_view rest = std::string_view(bytes_).substr(std::min(position_, bytes_.size()));
  position_ = bytes_.size();
  return Decode(rest);
}

Text TextStream::ReadLine() {
  // Past the end (a last line without its line end was read) the stream
  // reads empty lines, as a missing line reads.
  if (position_ >= bytes_.size()) return Text();
  size_t end = bytes_.find('\n', position_);
  if (end == std::string::npos) end = bytes_.size();
  size_t next = std::min(end + 1, bytes_.size());
  if (end > position_ && end < bytes_.size() && bytes_[end - 1] == '\r') --end;
  Text line = Decode(std::string_view(bytes_).substr(position_, end - position_));
  position_ = next;
  return line;
}

}  // namespace kalvenor
