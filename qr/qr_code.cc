// QrCode: requests to the QR services and the built-in renderer.
#include "qr/qr_code.h"

#include "base/code_page.h"
#include "net/http.h"
#include "base/run_time_error.h"
#include "qr/image_conversion.h"
#include "qr/qr_render.h"
#include "qr/qr_request.h"

namespace kalvenor {

std::optional<std::string> QrCode::ServiceBase(const char* variable) {
  std::optional<std::string> base = host_.env ? host_.env(variable) : std::nullopt;
  if (!base || base->empty()) return std::nullopt;
  if (base->back() == '/') base->pop_back();
  return base;
}

Picture QrCode::GetPictureQrCode(const Text& sText, int32_t Width, int32_t Height,
                                 const Text& Encoding, const Text& ErrCorrectionLevel,
                                 int32_t ForeColor, int32_t BackColor, int32_t Margin) {
  QrParameters p{sText, Width, Height, Encoding, ErrCorrectionLevel, ForeColor, BackColor, Margin};
  std::optional<std::string> base = ServiceBase(kQrServiceVariable);
  if (!base) return RenderQrPicture(p);
  if (host_.http == nullptr) return nullptr;
  std::optional<std::string> body = host_.http->Get(*base + QrImagePath(p));
  if (!body) return nullptr;
  std::optional<std::string> stream = StreamFromBytes(*body, 0);
  if (!stream) return nullptr;
  return PictureFromPngStream(*stream);
}

bool QrCode::DecodeFromStream(const std::string& InBytes, Text& OutStrDecode) {
  return PostImageForDecoding(InBytes, OutStrDecode);
}

bool QrCode::DecodeFromPicture(const Picture& oPicture, Text& OutStrDecode) {
  if (oPicture == nullptr) return false;
  std::string png;
  return ImageToPngBytes(oPicture, &png) && PostImageForDecoding(png, OutStrDecode);
}

bool QrCode::DecodeFromFile(const Text& sFile, Text& OutStrDecode) {
  std::string bytes;
  try {
    bytes = host_.files->ReadFile(host_.files->HostPath(sFile));
  } catch (const RunTimeError&) {
    return false;  // a file that cannot be read is an image that cannot be loaded
  }
  std::string png;
  return ImageToPngBytes(PictureFromPngStream(bytes), &png) &&
         PostImageForDecoding(png, OutStrDecode);
}

bool QrCode::DecodeFromUrl(const Text& sUrl, Text& OutStrDecode) {
  OutStrDecode.clear();
  std::optional<std::string> base = ServiceBase(kQrDecoderVariable);
  if (!base || host_.http == nullptr) return false;
  std::optional<std::string> body = host_.http->Get(*base + DecodeUrlPath(sUrl));
  if (!body) return false;
  OutStrDecode = DecodeAnsi(*body);
  return true;
}

bool QrCode::PostImageForDecoding(const std::string& png, Text& OutStrDecode) {
  std::optional<std::string> base = ServiceBase(kQrDecoderVariable);
  if (!base || host_.http == nullptr) return false;
  std::optional<std::string> body =
      host_.http->Post(*base + kDecodeUploadPath, DecodeFormHeader(), DecodeFormBody(png));
  if (!body) return false;
  OutStrDecode = Utf8ToText(*body);
  return true;
}

}  // namespace kalvenor
