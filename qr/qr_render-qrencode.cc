// The built-in QR renderer over libqrencode.
#include <qrencode.h>

#include <algorithm>
#include <memory>

#include "qr/image_conversion.h"
#include "qr/qr_render.h"
#include "render/color.h"

namespace kalvenor {
namespace {

struct QrcodeDeleter {
  void operator()(QRcode* code) const { QRcode_free(code); }
};

QRecLevel Level(const Text& ecc) {
  Text upper = UCase(ecc);
  if (upper == u"M") return QR_ECLEVEL_M;
  if (upper == u"Q") return QR_ECLEVEL_Q;
  if (upper == u"H") return QR_ECLEVEL_H;
  return QR_ECLEVEL_L;
}

std::string DataBytes(const QrParameters& p) {
  if (UCase(p.Encoding) != u"ISO-8859-1") return TextToUtf8(p.sText);
  std::string bytes;
  for (char16_t c : p.sText) bytes += c <= 0xFF ? static_cast<char>(c) : '?';
  return bytes;
}

}  // namespace

Picture RenderQrPicture(const QrParameters& p) {
  if (p.Width <= 0 || p.Height <= 0 || p.Width > kMaxImageSide || p.Height > kMaxImageSide) {
    return nullptr;
  }
  std::string data = DataBytes(p);
  if (data.empty()) return nullptr;
  std::unique_ptr<QRcode, QrcodeDeleter> code(QRcode_encodeData(
      static_cast<int>(data.size()), reinterpret_cast<const unsigned char*>(data.data()), 0,
      Level(p.ErrCorrectionLevel)));
  if (code == nullptr) return nullptr;

  auto picture = std::make_shared<PictureData>();
  picture->width_twips = p.Width * kTwipsPerImagePixel;
  picture->height_twips = p.Height * kTwipsPerImagePixel;
  picture->fill_argb = p.ForeColor == 16777215 ? 0xFF000000u : OpaqueArgb(TranslateColor(p.ForeColor));
  picture->has_background = true;
  picture->background_argb = p.BackColor == 0 ? 0xFFFFFFFFu : OpaqueArgb(TranslateColor(p.BackColor));

  const int modules = code->width;
  const int quiet_zone = std::clamp(p.Margin, 0, 100);
  const float module_size =
      std::min(picture->width_twips, picture->height_twips) / (modules + 2 * quiet_zone);
  const float left = (picture->width_twips - modules * module_size) / 2;
  const float top = (picture->height_twips - modules * module_size) / 2;
  picture->module_twips = module_size;
  picture->square_modules = true;
  // One rectangle per horizontal run of dark modules: fewer shapes, and no
  // seams between neighbours of a run when a rasteriser antialiases edges.
  for (int y = 0; y < modules; ++y) {
    const unsigned char* row = code->data + static_cast<size_t>(y) * modules;
    int x = 0;
    while (x < modules) {
      if ((row[x] & 1) == 0) {
        ++x;
        continue;
      }
      int run = x;
      while (run < modules && (row[run] & 1) != 0) ++run;
      picture->rects.push_back({left + x * module_size, top + y * module_size,
                                (run - x) * module_size, module_size});
      x = run;
    }
  }
  return picture;
}

}  // namespace kalvenor
