// Text laid out from a font file's own metrics with HarfBuzz, in exactly the
// numbers pango's layout gives a one-line text in one font: the same glyphs,
// advances, offsets, height and baseline, in pango units (1/1024 point).
// A text that needs more than the font alone (a fallback font, another
// script, a control character) is not shaped here; pango lays it out.
#ifndef KALVENOR_RENDER_SHAPED_TEXT_HB_H_
#define KALVENOR_RENDER_SHAPED_TEXT_HB_H_

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/text.h"
#include "render/font_cache.h"

struct hb_face_t;
struct hb_font_t;
struct hb_buffer_t;

namespace kalvenor {

constexpr int kPangoUnits = 1024;  // a point

struct ShapedText {
  struct Glyph {
    uint32_t index;    // in the font
    int x, y;          // origin from the text's on its baseline: x with its offset, y down
    uint32_t cluster;  // byte of utf8 where its characters start
  };
  std::string utf8;
  std::vector<Glyph> glyphs;
  int width = 0, height = 0, baseline = 0;
};

// The font files opened for shaping, each once: a face serves every size.
class ShapingFaces {
 public:
  ShapingFaces() = default;
  ShapingFaces(const ShapingFaces&) = delete;
  ShapingFaces& operator=(const ShapingFaces&) = delete;
  ~ShapingFaces();
  // Face `index` of the font file `path`; null when it is no font.
  hb_face_t* Face(const std::string& path, int index);

 private:
  std::map<std::pair<std::string, int>, hb_face_t*> faces_;
};

class ShapingFont {
 public:
  // `font` at `pango_size` (units of 1/1024 point), its face from `faces`;
  // null when its file cannot be read as a font.
  static std::unique_ptr<ShapingFont> Open(const ResolvedFont& font, int pango_size, ShapingFaces& faces);
  ~ShapingFont();
  ShapingFont(const ShapingFont&) = delete;
  ShapingFont& operator=(const ShapingFont&) = delete;

  // `text` shaped in this font alone; false when it needs more (see above).
  bool Shape(const Text& text, ShapedText* shaped);

 private:
  ShapingFont() = default;
  hb_font_t* font_ = nullptr;
  hb_buffer_t* buffer_ = nullptr;
  int ascent_ = 0, descent_ = 0;
};

}  // namespace kalvenor

#endif  // KALVENOR_RENDER_SHAPED_TEXT_HB_H_
