// The QR client's request texts.
#include "qr/qr_request.h"

#include <iterator>

#include "base/code_page.h"

namespace kalvenor {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr char kBoundary[] = "---------------------------30862264243566";
constexpr char kCrLf[] = "\r\n";

void AppendHexByte(std::string& out, unsigned char byte) {
  out += kHexDigits[byte >> 4];
  out += kHexDigits[byte & 0x0F];
}

// The system colours' default values, 0xRRGGBB, by index.
constexpr uint32_t kSystemColors[] = {
    0xC8C8C8, 0x000000, 0x99B4D1, 0xBFCDDB, 0xF0F0F0, 0xFFFFFF, 0x646464, 0x000000,
    0x000000, 0x000000, 0xB4B4B4, 0xF4F7FC, 0xABABAB, 0x0078D7, 0xFFFFFF, 0xF0F0F0,
    0xA0A0A0, 0x6D6D6D, 0x000000, 0x000000, 0xFFFFFF, 0x696969, 0xE3E3E3, 0x000000,
    0xFFFFE1, 0x000000, 0x0066CC, 0xB9D1EA, 0xD7E4F2, 0x3399FF, 0xF0F0F0,
};

}  // namespace

std::string QrImagePath(const QrParameters& p) {
  std::string path = "/v1/create-qr-code/?data=" + UrlEncode(TextToUtf8(p.sText)) +
                     "&size=" + std::to_string(p.Width) + "x" + std::to_string(p.Height);
  if (p.Margin > 0) path += "&qzone=" + std::to_string(p.Margin);
  if (UCase(p.ErrCorrectionLevel) != u"L") path += "&ecc=" + EncodeAnsi(p.ErrCorrectionLevel);
  if (p.ForeColor != 16777215) path += "&color=" + ColorToHex(p.ForeColor);
  if (p.BackColor != 0) path += "&bgcolor=" + ColorToHex(p.BackColor);
  if (UCase(p.Encoding) != u"UTF-8") path += "&charset-target=" + EncodeAnsi(UCase(p.Encoding));
  return path;
}

std::string DecodeUrlPath(const Text& sUrl) {
  return std::string(kDecodeUploadPath) + "&u=" + UrlEncode(EncodeAnsi(sUrl));
}

std::string DecodeFormHeader() {
  return std::string("Content-Type: multipart/form-data; boundary=") + kBoundary + kCrLf;
}

std::string DecodeFormBody(const std::string& png) {
  std::string body;
  body.reserve(png.size() + 180);
  body += std::string("--") + kBoundary + kCrLf;
  body += "Content-Disposition: form-data; name=\"f\"; filename=\"FileName\"";
  body += kCrLf;
  body += "Content-Type: image/png";
  body += kCrLf;
  body += kCrLf;
  body += png;
  body += kCrLf;
  body += std::string("--") + kBoundary + "--" + kCrLf;
  return body;
}

std::string UrlEncode(const std::string& bytes) {
  std::string out;
  out.reserve(bytes.size() * 3);
  for (char ch : bytes) {
    unsigned char c = static_cast<unsigned char>(ch);
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
      out += ch;
    } else {
      out += '%';
      AppendHexByte(out, c);
    }
  }
  return out;
}

std::string TextToUtf8(const Text& text) { return ToUtf8(text); }

Text Utf8ToText(const std::string& bytes) { return FromUtf8(bytes); }

uint32_t TranslateColor(int32_t color) {
  uint32_t value = static_cast<uint32_t>(color);
  uint32_t kind = value >> 24;
  if (kind == 0x00 || kind == 0x02) return value & 0xFFFFFF;  // RGB, palette-relative RGB
  if (kind == 0x80 && (value & 0xFFFFFF) < std::size(kSystemColors)) {
    uint32_t rgb = kSystemColors[value & 0xFFFFFF];
    return ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | (rgb >> 16);
  }
  return 0;
}

std::string ColorToHex(int32_t color) {
  uint32_t ref = TranslateColor(color);
  std::string out;
  AppendHexByte(out, ref & 0xFF);
  AppendHexByte(out, (ref >> 8) & 0xFF);
  AppendHexByte(out, (ref >> 16) & 0xFF);
  return out;
}

}  // namespace kalvenor
