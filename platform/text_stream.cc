// The text stream of the slip and label readers.
#include "platform/text_stream.h"

#include "platform/code_page.h"
#include "platform/run_time_error.h"

namespace kalvenor {

void TextStream::LoadFromFile(FileSystem& files, const std::string& host_path) {
  std::string bytes = files.ReadFile(host_path);
  if (LCase(charset_) == u"cp437") {
    text_ = DecodeCp437(bytes);
  } else if (LCase(charset_) == u"windows-1252") {
    text_ = DecodeAnsi(bytes);
  } else {
    throw RunTimeError(kInvalidProcedureCall);
  }
  position_ = 0;
}

Text TextStream::ReadAll() {
  Text rest = text_.substr(position_);
  position_ = text_.size();
  return rest;
}

Text TextStream::ReadLine() {
  size_t end = text_.find(u"\r\n", position_);
  Text line;
  if (end == Text::npos) {
    line = text_.substr(position_);
    position_ = text_.size();
  } else {
    line = text_.substr(position_, end - position_);
    position_ = end + 2;
  }
  return line;
}

}  // namespace kalvenor
