// Fuzz target: what the QR service answers, through the client into a
// picture: arbitrary bytes must give a bounded picture or none.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "fuzz/fuzz_host.h"
#include "net/http.h"
#include "qr/image_conversion.h"
#include "qr/qr_code.h"

namespace {

// Answers every request with the fuzzer's bytes.
class CannedHttp : public kalvenor::Http {
 public:
  explicit CannedHttp(std::string body) : body_(std::move(body)) {}
  std::optional<std::string> Get(const std::string&) override { return body_; }
  std::optional<std::string> Post(const std::string&, const std::string&, const std::string&) override {
    return body_;
  }

 private:
  std::string body_;
};

// The CRC-32 of PNG chunks (ISO 3309, as the PNG standard defines it).
uint32_t Crc32(const std::string& bytes, size_t from, size_t to) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = from; i < to; ++i) {
    crc ^= static_cast<unsigned char>(bytes[i]);
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

// Rewrites the checksum of every whole chunk, so that mutated chunks reach
// the decoder instead of stopping at the checksum test.
void FixChunkChecksums(std::string& png) {
  size_t at = 8;
  while (at + 12 <= png.size()) {
    uint32_t length = 0;
    for (int i = 0; i < 4; ++i) length = (length << 8) | static_cast<unsigned char>(png[at + i]);
    if (length > png.size() - at - 12) break;
    uint32_t crc = Crc32(png, at + 4, at + 8 + length);
    for (int i = 0; i < 4; ++i) png[at + 8 + length + i] = static_cast<char>(crc >> (24 - 8 * i));
    at += 12 + length;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kalvenor;
  Host host;
  host.env = [](const std::string& name) -> std::optional<std::string> {
    if (name == kQrServiceVariable) return "http://qr.invalid";
    return std::nullopt;
  };
  std::string body(reinterpret_cast<const char*>(data), size);
  // An odd last byte keeps the checksums as they are, so broken ones are
  // fuzzed too.
  if (size > 8 && (data[size - 1] & 1) == 0) FixChunkChecksums(body);
  host.http = std::make_unique<CannedHttp>(body);
  QrCode qr(host);
  Picture picture = qr.GetPictureQrCode(u"https://www.afip.gob.ar/fe/qr/?p=1", 100, 100, u"UTF-8", u"L",
                                        16777215, 0, 0);
  if (picture != nullptr) {
    Require(picture->width_twips <= kMaxImageSide * kTwipsPerImagePixel &&
                picture->height_twips <= kMaxImageSide * kTwipsPerImagePixel,
            "a picture from outside is bounded");
    // Small pictures go on through the PNG encoder, as a decoding upload would.
    if (picture->width_twips <= 256 * kTwipsPerImagePixel && picture->height_twips <= 256 * kTwipsPerImagePixel) {
      std::string png;
      ImageToPngBytes(picture, &png);
    }
  }
  return 0;
}
