// Painting with cairo: colours, the one picture painter and its cairo
// target, and the write callback of cairo's streams.
#include <algorithm>
#include <bit>
#include <cmath>
#include <string>
#include <vector>

#include "render/color.h"
#include "render/drawing-cairo.h"

namespace kalvenor {
namespace {

// The rectangles of `picture` as a one-bit mask, one bit a cell of the grid
// they are drawn on: the bitmap's pixels, or the modules of a 2-D symbol.
// Null when there is no such grid or a rectangle leaves it. A document then
// carries one small image instead of hundreds of rectangles written out as
// numbers.
struct ModuleMask {
  SurfacePtr surface;
  double cell_w = 0, cell_h = 0, x = 0, y = 0;  // twips
};

// The grid of `picture`'s cells in `mask`; false when it has none.
bool FindGrid(const PictureData& picture, ModuleMask* mask) {
  if (picture.pixel_width > 0 && picture.pixel_height > 0) {
    mask->cell_w = picture.width_twips / picture.pixel_width;
    mask->cell_h = picture.height_twips / picture.pixel_height;
    return true;
  }
  if (picture.module_twips <= 0 || !picture.square_modules) return false;
  mask->cell_w = mask->cell_h = picture.module_twips;
  double left = picture.rects[0].x, top = picture.rects[0].y;
  for (const PictureData::Rect& r : picture.rects) {
    left = std::min<double>(left, r.x);
    top = std::min<double>(top, r.y);
  }
  mask->x = left - std::floor(left / mask->cell_w + 1e-6) * mask->cell_w;
  mask->y = top - std::floor(top / mask->cell_h + 1e-6) * mask->cell_h;
  return true;
}

struct Cells {
  long x0, y0, x1, y1;
};

// The cells of `picture`'s rectangles on the grid of `mask`, `columns` by
// `rows`; false when a rectangle's edge is off the grid. An edge within a
// thousandth of a cell of a grid line is on it.
bool CellsOfRects(const PictureData& picture, const ModuleMask& mask, int columns, int rows,
                  std::vector<Cells>* cells) {
  auto cell = [](double v, double step, double origin, int limit, long* at) {
    double c = (v - origin) / step;
    *at = std::lround(c);
    return std::abs(c - static_cast<double>(*at)) < 1e-3 && *at >= 0 && *at <= limit;
  };
  cells->reserve(picture.rects.size());
  for (const PictureData::Rect& r : picture.rects) {
    Cells c;
    if (!cell(r.x, mask.cell_w, mask.x, columns, &c.x0) || !cell(r.y, mask.cell_h, mask.y, rows, &c.y0) ||
        !cell(r.x + r.w, mask.cell_w, mask.x, columns, &c.x1) ||
        !cell(r.y + r.h, mask.cell_h, mask.y, rows, &c.y1)) {
      return false;
    }
    cells->push_back(c);
  }
  return true;
}

ModuleMask MaskOfRects(const PictureData& picture) {
  ModuleMask mask;
  if (picture.rects.empty() || !FindGrid(picture, &mask)) return mask;
  const int columns = static_cast<int>(std::ceil((picture.width_twips - mask.x) / mask.cell_w - 1e-6));
  const int rows = static_cast<int>(std::ceil((picture.height_twips - mask.y) / mask.cell_h - 1e-6));
  std::vector<Cells> cells;
  if (columns <= 0 || rows <= 0 || columns > 32767 || rows > 32767 ||
      !CellsOfRects(picture, mask, columns, rows, &cells)) {
    return ModuleMask();
  }
  mask.surface.reset(cairo_image_surface_create(CAIRO_FORMAT_A1, columns, rows));
  if (cairo_surface_status(mask.surface.get()) != CAIRO_STATUS_SUCCESS) return ModuleMask();
  cairo_surface_flush(mask.surface.get());
  unsigned char* data = cairo_image_surface_get_data(mask.surface.get());
  const int stride = cairo_image_surface_get_stride(mask.surface.get());
  for (const Cells& c : cells) {
    for (long y = c.y0; y < c.y1; ++y) {
      auto* row = reinterpret_cast<uint32_t*>(data + y * stride);
      for (long x = c.x0; x < c.x1; ++x) {
        // A1 pixels are bits of native-endian 32-bit words.
        uint32_t bit = 1u << (std::endian::native == std::endian::little ? x % 32 : 31 - x % 32);
        row[x / 32] |= bit;
      }
    }
  }
  cairo_surface_mark_dirty(mask.surface.get());
  return mask;
}

// Paints on a cairo context whose user units are the picture's twips.
class CairoPictureTarget : public PictureTarget {
 public:
  CairoPictureTarget(cairo_t* cr, bool masks) : cr_(cr), masks_(masks) {}

  void Background(const PictureData& picture) override {
    SetArgb(cr_, picture.background_argb);
    cairo_rectangle(cr_, 0, 0, picture.width_twips, picture.height_twips);
    cairo_fill(cr_);
  }

  void Bitmap(const PictureData& picture) override {
    // cairo only reads the pixels; ARGB32 rows of whole pixels need no padding.
    SurfacePtr image(cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(const_cast<uint32_t*>(picture.pixels.data())), CAIRO_FORMAT_ARGB32,
        picture.pixel_width, picture.pixel_height, picture.pixel_width * 4));
    cairo_save(cr_);
    cairo_scale(cr_, picture.width_twips / picture.pixel_width, picture.height_twips / picture.pixel_height);
    cairo_set_source_surface(cr_, image.get(), 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr_), CAIRO_FILTER_NEAREST);
    cairo_paint(cr_);
    cairo_restore(cr_);
  }

  void Rects(const PictureData& picture) override {
    SetArgb(cr_, picture.fill_argb);
    ModuleMask mask = masks_ ? MaskOfRects(picture) : ModuleMask();
    if (mask.surface == nullptr) {
      for (const PictureData::Rect& r : picture.rects) cairo_rectangle(cr_, r.x, r.y, r.w, r.h);
      cairo_fill(cr_);
      return;
    }
    cairo_save(cr_);
    cairo_translate(cr_, mask.x, mask.y);
    cairo_scale(cr_, mask.cell_w, mask.cell_h);
    PatternPtr pattern(cairo_pattern_create_for_surface(mask.surface.get()));
    cairo_pattern_set_filter(pattern.get(), CAIRO_FILTER_NEAREST);
    cairo_mask(cr_, pattern.get());
    cairo_restore(cr_);
  }

 private:
  cairo_t* cr_;
  bool masks_;
};

}  // namespace

cairo_status_t AppendToString(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

void SetArgb(cairo_t* cr, uint32_t argb) {
  cairo_set_source_rgba(cr, ((argb >> 16) & 0xFF) / 255.0, ((argb >> 8) & 0xFF) / 255.0, (argb & 0xFF) / 255.0,
                        (argb >> 24) / 255.0);
}

void SetColor(cairo_t* cr, uint32_t color) { SetArgb(cr, OpaqueArgb(color)); }

bool HasBitmap(const PictureData& picture) {
  return picture.pixel_width > 0 && picture.pixel_height > 0 &&
         picture.pixels.size() == static_cast<size_t>(picture.pixel_width) * picture.pixel_height;
}

void DrawPicture(const PictureData& picture, PictureTarget& target) {
  if (picture.has_background) target.Background(picture);
  if (HasBitmap(picture) && !picture.rects_replace_bitmap) target.Bitmap(picture);
  if (!picture.rects.empty()) target.Rects(picture);
}

void DrawPicture(cairo_t* cr, const PictureData& picture, double scale, bool masks) {
  cairo_save(cr);
  cairo_scale(cr, scale, scale);
  CairoPictureTarget target(cr, masks);
  DrawPicture(picture, target);
  cairo_restore(cr);
}

}  // namespace kalvenor
