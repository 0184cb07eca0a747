// Dark pixels of a picture as vector rectangles.
#include "barcode_form/sharp_picture.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "render/color.h"

namespace kalvenor {

Picture WithSharpBars(std::shared_ptr<PictureData>&& picture, int module_pixels, std::function<Picture()> compact) {
  std::shared_ptr<PictureData> sharp = std::move(picture);
  if (!sharp || sharp->pixel_width <= 0 || sharp->pixel_height <= 0 ||
      sharp->pixels.size() != static_cast<size_t>(sharp->pixel_width) * sharp->pixel_height) {
    return sharp;
  }
  sharp->fill_argb = 0xFF000000u;
  // On paper only the rectangles on white: the scaled bitmap is left out,
  // so that nothing grey bleeds into the spaces between them.
  sharp->has_background = true;
  sharp->background_argb = 0xFFFFFFFFu;
  sharp->rects_replace_bitmap = true;
  const int w = sharp->pixel_width, h = sharp->pixel_height;
  const float sx = sharp->width_twips / w, sy = sharp->height_twips / h;
  if (module_pixels > 0) sharp->module_twips = module_pixels * sx;
  sharp->compact = std::move(compact);
  auto emit = [&](int x0, int x1, int y0, int y1) {
    sharp->rects.push_back({x0 * sx, y0 * sy, (x1 - x0) * sx, (y1 - y0) * sy});
  };
  // Runs (first, past-last column) still open, with the row they began on,
  // in column order: a row's runs come left to right, so both lists stay
  // sorted and are matched in one pass.
  struct Run {
    int first, past, top;
  };
  std::vector<Run> open, next;
  for (int y = 0; y <= h; ++y) {
    const uint32_t* row = sharp->pixels.data() + static_cast<size_t>(y) * w;
    // A row like the one above it continues every open run and ends none
    // (the bars of a symbol are mostly such rows).
    if (y > 0 && y < h && std::equal(row, row + w, row - w)) continue;
    next.clear();
    size_t o = 0;
    for (int x = 0; y < h && x < w;) {
      if (!InkArgb(row[x])) {
        ++x;
        continue;
      }
      int start = x;
      while (x < w && InkArgb(row[x])) ++x;
      while (o < open.size() && std::make_pair(open[o].first, open[o].past) < std::make_pair(start, x)) ++o;
      bool continues = o < open.size() && open[o].first == start && open[o].past == x;
      next.push_back({start, x, continues ? open[o].top : y});
    }
    size_t n = 0;
    for (const Run& run : open) {
      while (n < next.size() && std::make_pair(next[n].first, next[n].past) < std::make_pair(run.first, run.past)) ++n;
      if (n == next.size() || next[n].first != run.first || next[n].past != run.past) {
        emit(run.first, run.past, run.top, y);
      }
    }
    std::swap(open, next);
  }
  return sharp;
}

}  // namespace kalvenor
