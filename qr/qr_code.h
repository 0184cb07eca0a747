// QrCode: the QR client. It obtains QR pictures from the rendering service
// (or draws them itself when no service is configured) and reads barcodes out
// of images through the decoding service. Failures answer in-band: no
// picture, or false; nothing here raises.
#ifndef KALVENOR_QR_QR_CODE_H_
#define KALVENOR_QR_QR_CODE_H_

#include <cstdint>
#include <optional>
#include <string>

#include "host/host.h"
#include "base/text.h"
#include "render/picture.h"

namespace kalvenor {

// Base addresses ("http://host:port") of the two services.
inline constexpr char kQrServiceVariable[] = "KALVENOR_QR_SERVICE";
inline constexpr char kQrDecoderVariable[] = "KALVENOR_QR_DECODER";

class QrCode {
 public:
  // Uses the host's environment, HTTP client and files; `host` must outlive
  // the client.
  explicit QrCode(Host& host) : host_(host) {}

  // The picture of a QR symbol of `sText`, `Width` x `Height` pixels at 96
  // per inch. With KALVENOR_QR_SERVICE set it is the service's PNG for the
  // request built from the arguments; otherwise the built-in renderer draws
  // it from the same arguments. Empty on any failure.
  Picture GetPictureQrCode(const Text& sText, int32_t Width, int32_t Height,
                           const Text& Encoding = u"UTF-8", const Text& ErrCorrectionLevel = u"L",
                           int32_t ForeColor = 16777215, int32_t BackColor = 0,
                           int32_t Margin = 0);

  // Each sends an image to the decoding service (KALVENOR_QR_DECODER) and is
  // true when it answered with status 200; `OutStrDecode` is then the whole
  // reply. The uploads (stream, picture, file) read the reply as UTF-8 and
  // leave `OutStrDecode` alone on failure.
  //
  // `InBytes` is uploaded as it is (a PNG image is expected).
  bool DecodeFromStream(const std::string& InBytes, Text& OutStrDecode);
  // False without a request when `oPicture` is empty.
  bool DecodeFromPicture(const Picture& oPicture, Text& OutStrDecode);
  // `sFile` is a PNG file on one of the program's drives.
  bool DecodeFromFile(const Text& sFile, Text& OutStrDecode);
  // Has the service fetch the image at `sUrl`. `OutStrDecode` is emptied
  // first, and gets the reply's bytes one character each (Windows-1252).
  bool DecodeFromUrl(const Text& sUrl, Text& OutStrDecode);

 private:
  // The base address in `variable`, without a trailing "/"; nothing when it
  // is unset or empty.
  std::optional<std::string> ServiceBase(const char* variable);
  bool PostImageForDecoding(const std::string& png, Text& OutStrDecode);

  Host& host_;
};

}  // namespace kalvenor

#endif  // KALVENOR_QR_QR_CODE_H_
