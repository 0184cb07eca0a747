// The one-bit dot page of a receipt printer, drawn without a grey image of
// the whole page.
#include "render/dot_render-cairo.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "render/drawing-cairo.h"

namespace kalvenor {
namespace {

// Cairo puts a glyph at the device pixel its origin rounds to, halves up.
// (lround of a whole number: far off the page it is some far-off value, not
// undefined behaviour.)
long RoundHalfUp(double v) { return std::lround(std::floor(v + 0.5)); }

// Glyph `index` of `face` at `scale`, with the font matrix `m` and
// `options`, black on a transparent square of 2 * `reach` dots whose centre
// is the glyph's origin.
SurfacePtr DrawGlyph(cairo_font_face_t* face, const cairo_matrix_t& m, const cairo_font_options_t* options,
                     double scale, unsigned long index, long reach) {
  const int side = static_cast<int>(2 * reach);
  SurfacePtr surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, side, side));
  ContextPtr cr(cairo_create(surface.get()));
  cairo_set_source_rgba(cr.get(), 0, 0, 0, 1);
  cairo_translate(cr.get(), static_cast<double>(reach), static_cast<double>(reach));
  cairo_scale(cr.get(), scale, scale);
  cairo_set_font_face(cr.get(), face);
  cairo_set_font_matrix(cr.get(), &m);
  cairo_set_font_options(cr.get(), options);
  cairo_glyph_t glyph{index, 0, 0};
  cairo_show_glyphs(cr.get(), &glyph, 1);
  cr.reset();
  cairo_surface_flush(surface.get());
  return surface;
}

// The pixels of a drawn glyph, ARGB32 rows `stride` bytes apart, whose
// ink is a cover of at least `least` (of 255).
struct GlyphPixels {
  const unsigned char* data;
  int stride;
  uint32_t least;

  uint32_t Cover(int x, int y) const {
    return reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(y) * stride)[x] >> 24;
  }
  bool Dark(int x, int y) const { return Cover(x, y) >= least; }
};

// The box [x0, x1) x [y0, y1) of the dark pixels of a square of `side`.
struct InkBox {
  int x0, y0, x1, y1;
  bool empty() const { return x1 <= x0; }
};

InkBox FindInk(const GlyphPixels& pixels, int side) {
  InkBox box{side, side, 0, 0};
  for (int y = 0; y < side; ++y) {
    for (int x = 0; x < side; ++x) {
      if (pixels.Dark(x, y)) {
        box = InkBox{std::min(box.x0, x), std::min(box.y0, y), std::max(box.x1, x + 1), std::max(box.y1, y + 1)};
      }
    }
  }
  return box;
}

// Cairo's number of 1/256 units nearest `v` (halves to even, as cairo rounds).
int32_t Fixed(double v) { return static_cast<int32_t>(std::nearbyint(v * 256)); }

// The outline box cairo keeps for glyph `index` drawn at `scale` with the
// font matrix `m`: its extents on a font whose matrix is the whole
// transformation, as cairo combines the two, in 1/256 of a device unit. A
// glyph without ink is a point at its origin.
std::array<int32_t, 4> OutlineBox(cairo_font_face_t* face, const cairo_matrix_t& m,
                                  const cairo_font_options_t* options, double scale, unsigned long index) {
  const cairo_matrix_t ctm{scale, 0, 0, scale, 0, 0}, identity{1, 0, 0, 1, 0, 0};
  cairo_matrix_t whole;
  cairo_matrix_multiply(&whole, &m, &ctm);
  // An image surface draws with hinted metrics unless they are asked off.
  FontOptionsPtr merged(cairo_font_options_copy(options));
  if (cairo_font_options_get_hint_metrics(merged.get()) == CAIRO_HINT_METRICS_DEFAULT) {
    cairo_font_options_set_hint_metrics(merged.get(), CAIRO_HINT_METRICS_ON);
  }
  cairo_scaled_font_t* font = cairo_scaled_font_create(face, &whole, &identity, merged.get());
  const cairo_glyph_t glyph{index, 0, 0};
  cairo_text_extents_t e{};
  cairo_scaled_font_glyph_extents(font, &glyph, 1, &e);
  cairo_scaled_font_destroy(font);
  return {Fixed(e.x_bearing), Fixed(e.y_bearing), Fixed(e.x_bearing + e.width), Fixed(e.y_bearing + e.height)};
}

}  // namespace

DotRenderer::~DotRenderer() {
  for (cairo_scaled_font_t* font : fonts_) cairo_scaled_font_destroy(font);
}

void DotRenderer::Begin(int width, int rows) {
  width_ = width;
  page_.width_bytes = width / 8;
  page_.height = rows;
  page_.bits = std::move(spare_);
  page_.bits.assign(static_cast<size_t>(page_.width_bytes) * rows, 0);
  spare_.clear();
}

void DotRenderer::Recycle(DotPage&& page) { spare_ = std::move(page.bits); }

DotPage DotRenderer::Take() {
  DotPage page = std::move(page_);
  page_ = DotPage();
  width_ = 0;
  return page;
}

void DotRenderer::Fill(long x0, long y0, long x1, long y1, bool ink) {
  x0 = std::max(x0, 0L);
  y0 = std::max(y0, 0L);
  x1 = std::min<long>(x1, width_);
  y1 = std::min<long>(y1, page_.height);
  if (x0 >= x1) return;
  // Bytes first..last, the first and last only in part.
  const long first = x0 / 8, last = (x1 - 1) / 8;
  const auto head = static_cast<uint8_t>(0xFF >> (x0 % 8));
  const auto tail = static_cast<uint8_t>(0xFF << (7 - (x1 - 1) % 8));
  auto apply = [ink](uint8_t& byte, uint8_t mask) { byte = ink ? byte | mask : byte & ~mask; };
  for (long y = y0; y < y1; ++y) {
    uint8_t* row = page_.bits.data() + static_cast<size_t>(y) * page_.width_bytes;
    if (first == last) {
      apply(row[first], head & tail);
      continue;
    }
    apply(row[first], head);
    std::fill(row + first + 1, row + last, ink ? 0xFF : 0x00);
    apply(row[last], tail);
  }
}

void DotRenderer::Stamp(const GlyphBits& glyph, long x, long y) {
  constexpr long kFar = 1L << 40;  // no page is this long; the sums below stay in range
  if (x < -kFar || x > kFar || y < -kFar || y > kFar) return;
  const int row_bytes = (glyph.width + 7) / 8;
  const long left = x + glyph.left;
  // The rows on the page.
  const long top = y + glyph.top;
  const int first = static_cast<int>(std::clamp(-top, 0L, static_cast<long>(glyph.height)));
  const int past = static_cast<int>(std::clamp(page_.height - top, static_cast<long>(first),
                                               static_cast<long>(glyph.height)));
  if (left >= 0) {
    // Every byte of a row lands at the same shift, from one whole byte on.
    const long at = left / 8;
    const int shift = static_cast<int>(left % 8);
    const int whole = static_cast<int>(std::clamp(page_.width_bytes - at, 0L, static_cast<long>(row_bytes)));
    for (int r = first; r < past; ++r) {
      const uint8_t* src = glyph.bits.data() + static_cast<size_t>(r) * row_bytes;
      uint8_t* dst = page_.bits.data() + static_cast<size_t>(top + r) * page_.width_bytes + at;
      for (int b = 0; b < whole; ++b) {
        if (src[b] == 0) continue;
        dst[b] |= static_cast<uint8_t>(src[b] >> shift);
        if (shift != 0 && at + b + 1 < page_.width_bytes) dst[b + 1] |= static_cast<uint8_t>(src[b] << (8 - shift));
      }
    }
    return;
  }
  for (int r = first; r < past; ++r) {
    const long py = top + r;
    const uint8_t* src = glyph.bits.data() + static_cast<size_t>(r) * row_bytes;
    uint8_t* dst = page_.bits.data() + static_cast<size_t>(py) * page_.width_bytes;
    for (int b = 0; b < row_bytes; ++b) {
      if (src[b] == 0) continue;
      const long px = left + 8L * b;  // the dot of this byte's first bit
      if (px >= 0) {
        // Bytes past the page's width fall off it; its width is whole bytes.
        const long at = px / 8, shift = px % 8;
        if (at < page_.width_bytes) dst[at] |= static_cast<uint8_t>(src[b] >> shift);
        if (shift != 0 && at + 1 < page_.width_bytes) dst[at + 1] |= static_cast<uint8_t>(src[b] << (8 - shift));
        continue;
      }
      for (int c = 0; c < 8; ++c) {
        if ((src[b] & (0x80 >> c)) != 0 && px + c >= 0) dst[(px + c) / 8] |= 0x80 >> ((px + c) % 8);
      }
    }
  }
}

void DotRenderer::Merge(const unsigned char* data, int stride, int width, int height, long x0, long y0,
                        bool ink) {
  for (int r = 0; r < height; ++r) {
    const unsigned char* row = data + static_cast<size_t>(r) * stride;
    for (int c = 0; c < width; ++c) {
      if (row[c] >= 128) Fill(x0 + c, y0 + r, x0 + c + 1, y0 + r + 1, ink);
    }
  }
}

const GlyphBits& DotRenderer::GlyphImage(cairo_scaled_font_t* font, double scale, unsigned long index) {
  GlyphKey key{font, scale, index};
  if (auto known = glyphs_.find(key); known != glyphs_.end()) return known->second;
  if (fonts_.insert(font).second) cairo_scaled_font_reference(font);
  if (glyphs_.size() >= kMaxGlyphs) glyphs_.clear();  // memory stays bounded
  return glyphs_.emplace(std::move(key), RenderGlyph(font, scale, index)).first->second;
}

GlyphBits DotRenderer::RenderGlyph(cairo_scaled_font_t* font, double scale, unsigned long index) {
  cairo_matrix_t m;
  cairo_scaled_font_get_font_matrix(font, &m);
  // The font's own options, but with hinted metrics: with unhinted ones
  // cairo measures each glyph at the size of the font's design grid, and a
  // hinted TrueType font runs its set-up program again at each change of
  // size, twice a glyph. The image is the same; positions come from the layout.
  FontOptionsPtr options(cairo_font_options_create());
  cairo_scaled_font_get_font_options(font, options.get());
  cairo_font_options_set_hint_metrics(options.get(), CAIRO_HINT_METRICS_ON);
  return RenderGlyphImage(cairo_scaled_font_get_font_face(font), m, options.get(), scale, index, false);
}

GlyphBits DotRenderer::RenderGlyphImage(cairo_font_face_t* face, const cairo_matrix_t& m,
                                        const cairo_font_options_t* options, double scale, unsigned long index,
                                        bool grey) {
  // The glyph is rendered on a square around its origin, reaching a little
  // more than the font's size each way and up to four times as far while
  // ink touches the edge, then cut to its ink.
  const double em = std::max(std::hypot(m.xx, m.yx), std::hypot(m.xy, m.yy)) * scale;
  GlyphBits image;
  image.grey = grey;
  const long first_reach = std::max(8L, std::lround(std::ceil(em * 1.25)));
  for (long reach = first_reach;; reach *= 2) {
    const int side = static_cast<int>(2 * reach);
    SurfacePtr surface = DrawGlyph(face, m, options, scale, index, reach);
    const bool drawn = cairo_surface_status(surface.get()) == CAIRO_STATUS_SUCCESS;
    const GlyphPixels pixels{cairo_image_surface_get_data(surface.get()), cairo_image_surface_get_stride(surface.get()),
                             grey ? 1u : 0x80u};
    const InkBox box = drawn ? FindInk(pixels, side) : InkBox{side, side, 0, 0};
    const bool clipped = !box.empty() && (box.x0 == 0 || box.y0 == 0 || box.x1 == side || box.y1 == side);
    if (clipped && reach < 4 * first_reach) continue;
    if (grey) image.outline = OutlineBox(face, m, options, scale, index);
    if (!box.empty()) {
      image.left = static_cast<int>(box.x0 - reach);
      image.top = static_cast<int>(box.y0 - reach);
      image.width = box.x1 - box.x0;
      image.height = box.y1 - box.y0;
      const size_t row_bytes = image.RowBytes();
      image.bits.assign(row_bytes * image.height, 0);
      for (int y = box.y0; y < box.y1; ++y) {
        uint8_t* row = image.bits.data() + (y - box.y0) * row_bytes;
        for (int x = box.x0; x < box.x1; ++x) {
          if (grey) {
            row[x - box.x0] = static_cast<uint8_t>(pixels.Cover(x, y));
          } else if (pixels.Dark(x, y)) {
            row[(x - box.x0) / 8] |= 0x80 >> ((x - box.x0) % 8);
          }
        }
      }
    }
    return image;
  }
}

long DotRenderer::DotOf(double v) { return RoundHalfUp(v); }

void DotRenderer::DrawGlyphs(const std::vector<PlacedGlyph>& glyphs, double scale) {
  for (const PlacedGlyph& g : glyphs) Stamp(GlyphImage(g.font, scale, g.index), g.x, g.y);
}

void DotRenderer::DrawWithCairo(long x0, long y0, long x1, long y1, bool ink,
                                const std::function<void(cairo_t*)>& draw) {
  x0 = std::max(x0, 0L);
  y0 = std::max(y0, 0L);
  x1 = std::min<long>(x1, width_);
  y1 = std::min<long>(y1, page_.height);
  if (x1 <= x0 || y1 <= y0) return;
  const int width = static_cast<int>(x1 - x0), height = static_cast<int>(y1 - y0);
  SurfacePtr surface(cairo_image_surface_create(CAIRO_FORMAT_A8, width, height));
  cairo_surface_set_device_offset(surface.get(), static_cast<double>(-x0), static_cast<double>(-y0));
  {
    ContextPtr cr(cairo_create(surface.get()));
    cairo_set_source_rgba(cr.get(), 0, 0, 0, 1);
    draw(cr.get());
  }
  cairo_surface_flush(surface.get());
  if (cairo_surface_status(surface.get()) == CAIRO_STATUS_SUCCESS) {
    Merge(cairo_image_surface_get_data(surface.get()), cairo_image_surface_get_stride(surface.get()), width, height,
          x0, y0, ink);
  }
}

}  // namespace kalvenor
