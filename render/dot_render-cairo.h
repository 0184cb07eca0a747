// Drawing on a printer's one-bit dot page. Glyphs are rendered by cairo once
// per font, size and glyph and then stamped at their dot positions, so a page
// costs about its ink rather than a grey image of its whole area.
#ifndef KALVENOR_RENDER_DOT_RENDER_CAIRO_H_
#define KALVENOR_RENDER_DOT_RENDER_CAIRO_H_

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <tuple>
#include <vector>

#include "printers/dot_page.h"
#include "render/cairo_library.h"
#include "render/font_cache.h"

namespace kalvenor {

class DotRenderer {
 public:
  DotRenderer() = default;
  DotRenderer(const DotRenderer&) = delete;
  DotRenderer& operator=(const DotRenderer&) = delete;
  ~DotRenderer();

  // Starts a blank page of `width` dots (a multiple of 8) by `rows`.
  void Begin(int width, int rows);

  // Sets (ink) or clears the dots of [x0, x1) x [y0, y1); what lies off the
  // page is dropped.
  void Fill(long x0, long y0, long x1, long y1, bool ink);

  // Fonts larger than this many dots to the em are left to cairo: their
  // glyph images would cost more than the page.
  static constexpr double kMaxStampedEm = 256;

  // A glyph of a layout at its dot: cairo's glyph `index` of `font`.
  struct PlacedGlyph {
    cairo_scaled_font_t* font;
    unsigned long index;
    long x, y;
  };

  // Stamps `glyphs` (ink over what is there) at `scale` device units a
  // point, rendering the images of those not kept yet.
  void DrawGlyphs(const std::vector<PlacedGlyph>& glyphs, double scale);

  // Glyph `index` of `font` at `scale` device units a point, as cairo
  // draws it on the dot grid: its dots of at least half cover.
  static GlyphBits RenderGlyph(cairo_scaled_font_t* font, double scale, unsigned long index);

  // Glyph `index` of `face` with the font matrix `m` and `options` at
  // `scale` device units a point, as cairo draws it with its origin on a
  // whole pixel: with `grey` each pixel's cover, else its dots of at least
  // half cover.
  static GlyphBits RenderGlyphImage(cairo_font_face_t* face, const cairo_matrix_t& m,
                                    const cairo_font_options_t* options, double scale, unsigned long index,
                                    bool grey);

  // The dot a glyph whose origin is at `v` device units is drawn at, as
  // cairo places it: rounded, halves up.
  static long DotOf(double v);

  // Stamps `glyph` (ink over what is there) with its origin at dot (x, y).
  void Stamp(const GlyphBits& glyph, long x, long y);

  // Lets `draw` paint with cairo (device units are dots) over the box
  // [x0, x1) x [y0, y1); the dots it covers at least half become ink or paper.
  void DrawWithCairo(long x0, long y0, long x1, long y1, bool ink, const std::function<void(cairo_t*)>& draw);

  // The finished page; the renderer is blank again.
  DotPage Take();

  // Gives back a page taken before, once its stream is made: the next page
  // is drawn in its memory, already mapped, rather than in pages the kernel
  // must map afresh.
  void Recycle(DotPage&& page);

 private:
  using GlyphKey = std::tuple<cairo_scaled_font_t*, double, unsigned long>;
  static constexpr size_t kMaxGlyphs = 4096;

  const GlyphBits& GlyphImage(cairo_scaled_font_t* font, double scale, unsigned long index);
  // Merges an A8 image whose top-left dot is (x0, y0).
  void Merge(const unsigned char* data, int stride, int width, int height, long x0, long y0, bool ink);

  DotPage page_;
  std::vector<uint8_t> spare_;  // the memory of a page given back
  int width_ = 0;
  std::map<GlyphKey, GlyphBits> glyphs_;
  std::set<cairo_scaled_font_t*> fonts_;  // referenced while their glyphs are kept
};

}  // namespace kalvenor

#endif  // KALVENOR_RENDER_DOT_RENDER_CAIRO_H_
