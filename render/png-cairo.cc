// PNG encoding through cairo's writer.
#include "render/png.h"

#include "render/drawing-cairo.h"

namespace kalvenor {

std::string EncodePng(const uint32_t* pixels, int width, int height, int stride) {
  if (pixels == nullptr || width <= 0 || height <= 0 ||
      stride < cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, width)) {
    return std::string();
  }
  // cairo only reads the pixels to encode them.
  auto* data = reinterpret_cast<unsigned char*>(const_cast<uint32_t*>(pixels));
  SurfacePtr surface(cairo_image_surface_create_for_data(data, CAIRO_FORMAT_ARGB32, width, height, stride));
  std::string png;
  if (cairo_surface_write_to_png_stream(surface.get(), AppendToString, &png) != CAIRO_STATUS_SUCCESS) png.clear();
  return png;
}

}  // namespace kalvenor
