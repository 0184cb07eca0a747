// What the cairo drawing code shares: cairo objects owned by RAII types,
// colours and the write callback, the text engine, the one picture
// painter, and the operations an open document keeps until it ends.
#ifndef KALVENOR_RENDER_DRAWING_CAIRO_H_
#define KALVENOR_RENDER_DRAWING_CAIRO_H_

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <variant>
#include <vector>

#include "base/text.h"
#include "printers/dot_page.h"
#include "render/cairo_library.h"
#include "render/font_cache.h"
#include "render/picture.h"
#include "render/print_surface.h"
#include "render/shaped_text-hb.h"

namespace kalvenor {

class DotRenderer;
class PangoText;
struct PrinterOutput;
struct TextLayout;

// --- cairo objects -------------------------------------------------------------

struct CairoDeleter {
  void operator()(cairo_t* cr) const { cairo_destroy(cr); }
  void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
  void operator()(cairo_pattern_t* pattern) const { cairo_pattern_destroy(pattern); }
  void operator()(cairo_font_options_t* options) const { cairo_font_options_destroy(options); }
};
using ContextPtr = std::unique_ptr<cairo_t, CairoDeleter>;
using SurfacePtr = std::unique_ptr<cairo_surface_t, CairoDeleter>;
using PatternPtr = std::unique_ptr<cairo_pattern_t, CairoDeleter>;
using FontOptionsPtr = std::unique_ptr<cairo_font_options_t, CairoDeleter>;

// Cairo's write callback for a std::string* closure: appends the bytes.
cairo_status_t AppendToString(void* closure, const unsigned char* data, unsigned int length);

// Sets the source of `cr` to the premultiplied ARGB `argb`, or to the
// opaque `color` (0x00BBGGRR).
void SetArgb(cairo_t* cr, uint32_t argb);
void SetColor(cairo_t* cr, uint32_t color);

// --- text ----------------------------------------------------------------------

// Premultiplied ARGB pixels, row after row, of an image `width` wide and
// `height` high: a canvas's, which the text engine paints on.
struct PixelImage {
  uint32_t* pixels;
  int width, height;
};

// How the text engine finds its fonts: the font configuration it loads
// when it must resolve a font name, the folder of its persistent cache
// (none when empty), and where its warnings go.
struct FontSetup {
  std::string conf_path;     // font aliases on top of the built-in configuration
  bool own_configuration = false;  // false: the system's configuration, and no cache
  std::string cache_folder;
  std::function<void(const std::string&)> warn;
};

// Lays out, measures and draws text, at 72 dpi so that its units are
// points, with unhinted metrics so that widths scale exactly. A text in one
// font of one script is shaped from the font file (shaped_text-hb.h), its
// font resolved once and kept in the persistent cache; anything else goes
// through pango (pango_text.h: a fallback font, another script, a control
// character, an underline, letters too large to stamp on the dot grid).
class TextEngine {
 public:
  static TextEngine& Get();

  // Takes `setup` for the fonts resolved from now on.
  void Configure(FontSetup setup);

  // Pango, loaded at the first call after the font configuration is made
  // current. Raises "File not found" when it cannot be loaded.
  PangoText& Pango();

  struct Font;
  // A text shaped without pango, in its font.
  struct FastText {
    ShapedText shaped;
    Font* font;
  };

  // A measured text: its logical width and height in points, and what is
  // drawn: the shaped text, or the layout that measured it (both null for
  // a text measured in pieces, which is laid out again to be drawn).
  struct Measured {
    double width = 0, height = 0;
    std::shared_ptr<TextLayout> layout;
    std::shared_ptr<const FastText> fast;
  };

  // Logical width and height of `text`, in points. Raises "Overflow" for a
  // width past 16 bits of twips. Measurements of short texts are kept.
  Measured Measure(const Text& text, const FontState& font);

  // Draws `text` with its top-left corner at the origin of `cr` (user
  // units are points), as pango would: the same font, glyphs and places.
  void ShowFast(cairo_t* cr, const FastText& text);

  // Stamps `text` on `dots` where cairo would draw it with the
  // transformation translate(tx, ty) then scale(scale), from the glyph
  // images of the cache, rendering and keeping those it lacks.
  void StampFast(DotRenderer& dots, const FastText& text, double tx, double ty, double scale);

  // Paints `text` in the opaque `argb` on `image` as cairo draws it with
  // the transformation translate(tx, ty) then scale(scale), from the grey
  // glyph images of the cache, rendering and keeping those it lacks. False,
  // with nothing painted, when only cairo can draw it: glyphs past the
  // image's edge, or fonts drawn with colour fringes.
  bool PaintFast(PixelImage& image, const FastText& text, double tx, double ty, double scale, uint32_t argb);

  // Writes what the persistent cache learned.
  void SaveCache();

  // The families the font configuration offers, in its order.
  const std::vector<Text>& Families();

 private:
  TextEngine();
  FontCache& Cache();
  Font* FastFont(const FontState& font);
  // Glyph `index` of `font` at `scale` device units a point: grey as the
  // font draws it, or on the dot grid as its dot font does.
  const GlyphBits& GlyphImage(Font& font, bool grey, double scale, uint32_t index);

  using MeasureKey = std::tuple<Text, Text, float, bool, bool, bool>;
  using FontKey = std::tuple<Text, float, bool, bool>;
  static constexpr size_t kMaxMeasured = 512;
  static constexpr size_t kMaxMeasuredLength = 256;

  FontSetup setup_;
  bool own_configuration_ = false;
  bool cache_problem_told_ = false;
  std::unique_ptr<FontCache> cache_;
  std::unique_ptr<PangoText> pango_;
  ShapingFaces faces_;
  std::vector<Text> families_;
  std::map<MeasureKey, Measured> measured_;
  std::map<FontKey, std::unique_ptr<Font>> fast_fonts_;  // null: pango lays it out
};

// Draws `measured` (of `text` in `font`; laid out here when it holds
// neither a shaped text nor a layout) in `color` (0x00BBGGRR) with its
// top-left corner at (x_units, y_units) of a surface whose device units are
// `device_per_unit` per surface unit.
void DrawText(cairo_t* cr, const Text& text, const FontState& font, const TextEngine::Measured& measured,
              double x_units, double y_units, double device_per_unit, double units_per_point, uint32_t color);

// The font list of every cairo surface: the families of the font map.
// FontOfScreen raises "Subscript out of range" for an index outside it.
int FontCountOfScreen();
Text FontOfScreen(int index);

// --- pictures ------------------------------------------------------------------

// A surface a picture is painted on, part by part, each in twips from the
// picture's top-left corner and at the picture's size.
class PictureTarget {
 public:
  virtual ~PictureTarget() = default;
  // The whole box in background_argb.
  virtual void Background(const PictureData& picture) = 0;
  // The bitmap, scaled to the box; its pixels are whole (HasBitmap).
  virtual void Bitmap(const PictureData& picture) = 0;
  // The rectangles in fill_argb.
  virtual void Rects(const PictureData& picture) = 0;
};

// True when `picture` holds a whole bitmap.
bool HasBitmap(const PictureData& picture);

// The one picture painter: the background, the bitmap over it (unless its
// rectangles stand for it), then the rectangles on top.
void DrawPicture(const PictureData& picture, PictureTarget& target);

// Paints `picture` with its top-left corner at the current origin of `cr`,
// `scale` device units per twip. With `masks` (vector documents) the
// rectangles of a symbol go out as a one-bit mask on their grid.
void DrawPicture(cairo_t* cr, const PictureData& picture, double scale, bool masks = false);

// --- the operations of an open document -------------------------------------

// One drawing operation of an open document, kept until the document ends:
// only then is it known which printer, and so which output, it goes to.
// Positions in twips.
struct TextOp {
  Text text;
  FontState font;
  double x, y;
  TextEngine::Measured measured;  // what measured it: the shaped text or layout to draw, or neither
};
struct LineOp {
  float x1, y1, x2, y2;
  uint32_t color;
  int16_t width;
};
struct PictureOp {
  Picture picture;
  float x, y;
};
using DrawOp = std::variant<TextOp, LineOp, PictureOp>;

// Paper left below the lowest drawing of a document.
constexpr double kBottomMarginTwips = 360.0;

// Strokes `line` on `cr`, whose user units are twips, in the source set.
void StrokeLine(cairo_t* cr, const LineOp& line);

// `ops` drawn as one page of `width_pt` by `height_pt` points: a PDF, or
// PostScript with `postscript`. Raises the printer error when cairo fails.
std::string RenderVectorPage(const std::vector<DrawOp>& ops, double width_pt, double height_pt,
                             bool postscript);

// `ops`, whose lowest drawing is at `bottom_twips`, drawn at the dots of a
// printer that wants `output`, one bit a dot, on `dots`: the drawing of the
// PDF at the same places, with text glyphs hinted to the dot grid and
// everything darker than half black. Raises the printer error for a page
// longer than the printer takes.
DotPage RenderDotPage(const std::vector<DrawOp>& ops, double bottom_twips, const PrinterOutput& output,
                      DotRenderer& dots);

}  // namespace kalvenor

#endif  // KALVENOR_RENDER_DRAWING_CAIRO_H_
