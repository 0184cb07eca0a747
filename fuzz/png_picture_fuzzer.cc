// Fuzz target: what the QR service answers, through the client into a
// picture: arbitrary bytes must give a bounded picture or none.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "fuzz/fuzz_host.h"
#include "platform/http.h"
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kalvenor;
  Host host;
  host.env = [](const std::string& name) -> std::optional<std::string> {
    if (name == kQrServiceVariable) return "http://qr.invalid";
    return std::nullopt;
  };
  host.http = std::make_unique<CannedHttp>(std::string(reinterpret_cast<const char*>(data), size));
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
