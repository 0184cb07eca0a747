// TextStream: the text stream the slip and label readers use. It loads a
// whole file, decodes it from its character set, and hands out the text
// whole or line by line (a line ends with CR LF or with a lone LF). The file
// is kept as its bytes and decoded a line at a time, so a stream costs about
// the file's size.
#ifndef KALVENOR_HOST_TEXT_STREAM_H_
#define KALVENOR_HOST_TEXT_STREAM_H_

#include <string>

#include "host/file_system.h"
#include "base/text.h"

namespace kalvenor {

class TextStream {
 public:
  // The character set the file is decoded from: "cp437" (the default) or
  // "windows-1252".
  explicit TextStream(Text charset = u"cp437") : charset_(std::move(charset)) {}

  // Loads and decodes the file at `host_path`; raises like FileSystem.
  void LoadFromFile(FileSystem& files, const std::string& host_path);
  // The rest of the text.
  Text ReadAll();
  // The next line without its CR LF (or LF).
  Text ReadLine();
  // True when everything has been read.
  bool EOS() const { return position_ >= bytes_.size(); }

 private:
  Text Decode(std::string_view bytes) const;

  Text charset_;
  bool ansi_ = false;
  std::string bytes_;
  size_t position_ = 0;
};

}  // namespace kalvenor

#endif  // KALVENOR_HOST_TEXT_STREAM_H_
