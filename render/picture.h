// Picture: a shared, immutable image with its physical size, painted with
// PaintPicture. It holds a bitmap, vector squares, or both: an optional
// background first, the bitmap over it, the squares on top.
#ifndef KALVENOR_RENDER_PICTURE_H_
#define KALVENOR_RENDER_PICTURE_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace kalvenor {

struct PictureData {
  // Physical size in twips; painting places the picture at this size.
  float width_twips = 0;
  float height_twips = 0;

  // Optional bitmap: premultiplied ARGB32, native-endian, row after row,
  // `pixels.size() == pixel_width * pixel_height`. Scaled to the physical
  // size with nearest-neighbour sampling, so bars stay sharp.
  int pixel_width = 0;
  int pixel_height = 0;
  std::vector<uint32_t> pixels;

  // Optional vector content, in twips from the picture's top-left corner:
  // filled rectangles in `fill_argb` (opaque black for QR modules) over an
  // optional background.
  struct Rect {
    float x, y, w, h;
  };
  std::vector<Rect> rects;
  uint32_t fill_argb = 0xFF000000u;
  bool has_background = false;
  uint32_t background_argb = 0xFFFFFFFFu;
  // Set when `rects` stand for the bitmap on paper: painting leaves the
  // bitmap out, and it stays only for whoever reads pixels.
  bool rects_replace_bitmap = false;

  // Set when `rects` are the modules of a symbol: the designed width of one
  // module in twips, every rectangle's left and right edge a whole number of
  // modules from the picture's left edge (or from one fixed offset). A
  // printer that draws at its own dots makes a module a whole number of dots
  // (at least 2 for a bar code), so that no bar gains or loses a dot.
  float module_twips = 0;
  // For a 2-D symbol (QR): rows are modules too, and a module may be 1 dot.
  bool square_modules = false;

  // Makes the same symbol in fewer modules (a Code 128 in its shortest
  // encoding, decoding to the same data), for a printer that shrinks the
  // page to a narrower roll; empty when the picture has no such form. Made
  // only when asked: other printers never need it.
  std::function<std::shared_ptr<const PictureData>()> compact;
};

// A reference to a picture; empty when no picture was made.
using Picture = std::shared_ptr<const PictureData>;

}  // namespace kalvenor

#endif  // KALVENOR_RENDER_PICTURE_H_
