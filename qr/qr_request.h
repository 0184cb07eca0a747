// The requests of the QR client: the image URL with its parameters, the
// multipart form of an upload, and the byte-level encodings they use.
// Byte strings hold one byte per char.
#ifndef KALVENOR_QR_QR_REQUEST_H_
#define KALVENOR_QR_QR_REQUEST_H_

#include <cstdint>
#include <string>

#include "base/text.h"

namespace kalvenor {

// The parameters of one QR picture, with the defaults that add nothing to
// the request. A ForeColor of 0xFFFFFF and a BackColor of 0 mean "not given".
struct QrParameters {
  Text sText;
  int32_t Width = 100;
  int32_t Height = 100;
  Text Encoding = u"UTF-8";
  Text ErrCorrectionLevel = u"L";
  int32_t ForeColor = 16777215;
  int32_t BackColor = 0;
  int32_t Margin = 0;
};

// Path and query of the image request, to follow the service's base address:
// data, size, then qzone, ecc, color, bgcolor and charset-target when they
// differ from the defaults, in this order.
std::string QrImagePath(const QrParameters& p);

// Path and query of a decoding request that has the service fetch `sUrl`.
// The address is encoded from its Windows-1252 bytes, not from UTF-8.
std::string DecodeUrlPath(const Text& sUrl);
// Path of the upload that decodes an image.
inline constexpr char kDecodeUploadPath[] = "/w/decode?full=false";
// The extra header text of the upload (87 bytes, ending in CR LF) and the
// multipart body around `png` (180 bytes plus the image).
std::string DecodeFormHeader();
std::string DecodeFormBody(const std::string& png);

// Every byte that is not an ASCII letter or digit as "%" and two upper-case
// hexadecimal digits; unreserved punctuation too.
std::string UrlEncode(const std::string& bytes);
// UTF-8 bytes of `text` (a lone surrogate becomes U+FFFD), and back.
std::string TextToUtf8(const Text& text);
Text Utf8ToText(const std::string& bytes);

// A colour value as an RGB colour reference 0x00BBGGRR: an RGB value as it
// is, a system colour (0x800000nn) as the system's default for it, anything
// else (a palette index, an unknown value) as black.
uint32_t TranslateColor(int32_t color);
// Six upper-case hexadecimal digits: red, green, blue.
std::string ColorToHex(int32_t color);

}  // namespace kalvenor

#endif  // KALVENOR_QR_QR_REQUEST_H_
