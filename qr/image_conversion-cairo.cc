// Image conversion with cairo: PNG decoding and encoding, and a picture
// painted onto an image surface.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "qr/image_conversion.h"
#include "render/drawing-cairo.h"
#include "render/png.h"

namespace kalvenor {
namespace {

struct ReadCursor {
  const std::string* bytes;
  size_t pos;
};

cairo_status_t ReadFromString(void* closure, unsigned char* data, unsigned int length) {
  auto* cursor = static_cast<ReadCursor*>(closure);
  if (cursor->bytes->size() - cursor->pos < length) return CAIRO_STATUS_READ_ERROR;
  std::memcpy(data, cursor->bytes->data() + cursor->pos, length);
  cursor->pos += length;
  return CAIRO_STATUS_SUCCESS;
}

// Width and height from the PNG header, or false when `bytes` is not a PNG.
bool PngSize(const std::string& bytes, uint32_t* width, uint32_t* height) {
  static const char kSignature[] = "\x89PNG\r\n\x1a\n";
  if (bytes.size() < 24 || bytes.compare(0, 8, kSignature, 8) != 0 ||
      bytes.compare(12, 4, "IHDR") != 0) {
    return false;
  }
  auto be32 = [&bytes](size_t at) {
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
    return v;
  };
  *width = be32(16);
  *height = be32(20);
  return true;
}

// A white image surface of `width` x `height` with `picture` drawn at
// `pixels_per_twip`, offset by `border` pixels.
SurfacePtr Render(const PictureData& picture, int width, int height, double pixels_per_twip,
                  int border) {
  SurfacePtr surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return nullptr;
  ContextPtr cr(cairo_create(surface.get()));
  cairo_set_source_rgb(cr.get(), 1, 1, 1);
  cairo_paint(cr.get());
  cairo_translate(cr.get(), border, border);
  DrawPicture(cr.get(), picture, pixels_per_twip);
  cr.reset();
  cairo_surface_flush(surface.get());
  return surface;
}

}  // namespace

Picture PictureFromPngStream(const std::string& stream) {
  uint32_t width = 0;
  uint32_t height = 0;
  if (!PngSize(stream, &width, &height) || width == 0 || height == 0 || width > kMaxImageSide ||
      height > kMaxImageSide) {
    return nullptr;
  }
  ReadCursor cursor{&stream, 0};
  SurfacePtr loaded(cairo_image_surface_create_from_png_stream(ReadFromString, &cursor));
  if (cairo_surface_status(loaded.get()) != CAIRO_STATUS_SUCCESS) return nullptr;
  int w = cairo_image_surface_get_width(loaded.get());
  int h = cairo_image_surface_get_height(loaded.get());

  // Whatever the PNG's pixel format, copy it into premultiplied ARGB32.
  SurfacePtr argb(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h));
  if (cairo_surface_status(argb.get()) != CAIRO_STATUS_SUCCESS) return nullptr;
  ContextPtr cr(cairo_create(argb.get()));
  cairo_set_source_surface(cr.get(), loaded.get(), 0, 0);
  cairo_set_operator(cr.get(), CAIRO_OPERATOR_SOURCE);
  cairo_paint(cr.get());
  cr.reset();
  cairo_surface_flush(argb.get());

  auto picture = std::make_shared<PictureData>();
  picture->pixel_width = w;
  picture->pixel_height = h;
  picture->width_twips = w * kTwipsPerImagePixel;
  picture->height_twips = h * kTwipsPerImagePixel;
  picture->pixels.resize(static_cast<size_t>(w) * h);
  const unsigned char* data = cairo_image_surface_get_data(argb.get());
  int stride = cairo_image_surface_get_stride(argb.get());
  for (int y = 0; y < h; ++y) {
    std::memcpy(picture->pixels.data() + static_cast<size_t>(y) * w,
                data + static_cast<size_t>(y) * stride, static_cast<size_t>(w) * 4);
  }
  return picture;
}

bool ImageToPngBytes(const Picture& picture, std::string* png) {
  png->clear();
  if (picture == nullptr || picture->width_twips <= 0 || picture->height_twips <= 0) return false;
  int width;
  int height;
  if (picture->pixel_width > 0 && picture->pixel_height > 0) {
    width = picture->pixel_width;
    height = picture->pixel_height;
  } else {
    constexpr int kVectorOversampling = 4;
    width = static_cast<int>(std::ceil(picture->width_twips / kTwipsPerImagePixel)) *
            kVectorOversampling;
    height = static_cast<int>(std::ceil(picture->height_twips / kTwipsPerImagePixel)) *
             kVectorOversampling;
  }
  if (width > kMaxImageSide * 4 || height > kMaxImageSide * 4) return false;
  SurfacePtr surface = Render(*picture, width, height, width / picture->width_twips, 0);
  if (surface == nullptr) return false;
  *png = EncodePng(reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(surface.get())),
                   width, height, cairo_image_surface_get_stride(surface.get()));
  return !png->empty();
}

GreyRaster RasterFromPicture(const Picture& picture, double dots_per_inch, int border_dots) {
  GreyRaster raster;
  if (picture == nullptr) return raster;
  double scale = dots_per_inch / 1440.0;
  int width = static_cast<int>(std::ceil(picture->width_twips * scale)) + 2 * border_dots;
  int height = static_cast<int>(std::ceil(picture->height_twips * scale)) + 2 * border_dots;
  if (width > 8 * kMaxImageSide || height > 8 * kMaxImageSide) return raster;
  SurfacePtr surface = Render(*picture, width, height, scale, border_dots);
  if (surface == nullptr) return raster;
  raster.width = width;
  raster.height = height;
  raster.pixels.resize(static_cast<size_t>(width) * height);
  const unsigned char* data = cairo_image_surface_get_data(surface.get());
  int stride = cairo_image_surface_get_stride(surface.get());
  for (int y = 0; y < height; ++y) {
    const auto* row = reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(y) * stride);
    for (int x = 0; x < width; ++x) {
      uint32_t p = row[x];
      int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
      raster.pixels[static_cast<size_t>(y) * width + x] =
          static_cast<uint8_t>((r * 299 + g * 587 + b * 114) / 1000);
    }
  }
  return raster;
}

}  // namespace kalvenor
