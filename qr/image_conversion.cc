// Image conversion without an image library: the byte stream.
#include "qr/image_conversion.h"

namespace kalvenor {

std::optional<std::string> StreamFromBytes(const std::string& bytes, int64_t first_index) {
  if (bytes.empty()) return std::string();
  if (first_index < 0 || first_index >= static_cast<int64_t>(bytes.size())) return std::nullopt;
  return bytes.substr(static_cast<size_t>(first_index));
}

}  // namespace kalvenor
