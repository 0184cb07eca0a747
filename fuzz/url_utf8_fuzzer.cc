// Fuzz target: the URL and UTF-8 encoders of the QR client, and the image
// request built from arbitrary QR data.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_host.h"
#include "qr/qr_request.h"

namespace {

bool IsUnreserved(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

bool IsUpperHex(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kalvenor;
  std::string bytes(reinterpret_cast<const char*>(data), size);

  std::string encoded = UrlEncode(bytes);
  size_t decoded_length = 0;
  for (size_t i = 0; i < encoded.size(); ++decoded_length) {
    if (encoded[i] == '%') {
      Require(i + 2 < encoded.size(), "an escape has two digits");
      Require(IsUpperHex(encoded[i + 1]) && IsUpperHex(encoded[i + 2]), "escapes are upper-case hex");
      i += 3;
    } else {
      Require(IsUnreserved(encoded[i]), "only letters and digits stay as they are");
      ++i;
    }
  }
  Require(decoded_length == bytes.size(), "one escape or character per byte");

  // Bytes as UTF-16 units (pairs), to reach lone surrogates too.
  Text text;
  for (size_t i = 0; i + 1 < size; i += 2) text += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
  std::string utf8 = TextToUtf8(text);
  Text back = Utf8ToText(utf8);
  Require(TextToUtf8(back) == utf8, "UTF-8 of decoded UTF-8 is stable");
  Require(back.size() <= text.size(), "no unit is invented");
  Utf8ToText(bytes);  // arbitrary, possibly broken, UTF-8

  QrParameters p;
  p.sText = text;
  std::string path = QrImagePath(p);
  Require(path.find(' ') == std::string::npos && path.find('\r') == std::string::npos &&
              path.find('\n') == std::string::npos,
          "the request path has no space or line break");
  return 0;
}
