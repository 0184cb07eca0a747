// Image conversion of the QR client: bytes to stream, PNG stream to picture,
// picture to PNG bytes, and a picture rendered to a raster for readers.
#ifndef KALVENOR_QR_IMAGE_CONVERSION_H_
#define KALVENOR_QR_IMAGE_CONVERSION_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "render/picture.h"

namespace kalvenor {

// Twips per pixel of a picture made from an image: 96 pixels per inch.
constexpr float kTwipsPerImagePixel = 15;
// Largest image side accepted from outside, in pixels; a larger image is
// refused before it is decoded.
constexpr int kMaxImageSide = 4096;

// The bytes from `first_index` (0-based) to the end of `bytes`, as a stream
// to load an image from. An empty array gives an empty stream; a first index
// outside the array of a non-empty array gives no stream.
std::optional<std::string> StreamFromBytes(const std::string& bytes, int64_t first_index);

// The picture of a PNG image held in `stream`, at 96 pixels per inch; empty
// when the stream is not a PNG image or is larger than kMaxImageSide.
Picture PictureFromPngStream(const std::string& stream);

// The PNG encoding of `picture`: its bitmap at its own pixel size, or, for a
// picture of vector squares only, drawn at 4 pixels per 96-dpi pixel so that
// small modules stay sharp. False for an empty picture or a failed encoding.
bool ImageToPngBytes(const Picture& picture, std::string* png);

// 8-bit grey raster, row after row, 0 black and 255 white.
struct GreyRaster {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> pixels;
};

// `picture` drawn on white at `dots_per_inch`, with a white border of
// `border_dots` all around; antialiased like a PDF rasteriser.
GreyRaster RasterFromPicture(const Picture& picture, double dots_per_inch, int border_dots);

}  // namespace kalvenor

#endif  // KALVENOR_QR_IMAGE_CONVERSION_H_
