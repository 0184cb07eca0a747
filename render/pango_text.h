// Text through pango, for what the text engine does not shape from the font
// files itself (see drawing-cairo.h) and for resolving font names. In the
// program it lives in a module of its own, kalvenor-text.so, loaded at the
// first text or font that needs it: a job whose fonts are in the cache never
// loads pango, GLib's object system and the libraries they bring, nor reads
// the font configuration.
#ifndef KALVENOR_RENDER_PANGO_TEXT_H_
#define KALVENOR_RENDER_PANGO_TEXT_H_

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/text.h"
#include "render/cairo_library.h"
#include "render/dot_render-cairo.h"
#include "render/font_cache.h"
#include "render/print_surface.h"

namespace kalvenor {

// A pango layout, held by the module that made it.
struct TextLayout;

// A rectangle in pango units (1/1024 point).
struct TextBox {
  int x = 0, y = 0, width = 0, height = 0;
};

class PangoText {
 public:
  virtual ~PangoText() = default;

  // `text` in `font` on one line at 72 dpi, with unhinted metrics; with
  // `dots` its outlines are hinted for a printer's dot grid, without grey
  // edges (its positions and metrics stay those of the unhinted layout).
  virtual std::shared_ptr<TextLayout> Layout(const Text& text, const FontState& font, bool dots) = 0;
  virtual TextBox Logical(const TextLayout& layout) = 0;
  virtual TextBox Ink(const TextLayout& layout) = 0;
  // Draws `layout` with its top-left corner at the origin of `cr`.
  virtual void Show(cairo_t* cr, const TextLayout& layout) = 0;

  // True when PlaceGlyphs can place all of `layout`: it has no underline
  // and no glyph its fonts lack, which pango draws as a box.
  virtual bool Stampable(const TextLayout& layout) = 0;
  // Appends the glyphs of `layout`, drawn as cairo would with the
  // transformation translate(tx, ty) then scale(scale): each at the dot its
  // origin rounds to, in the same face and size with the printer's hinting.
  virtual void PlaceGlyphs(const TextLayout& layout, double tx, double ty, double scale,
                           std::vector<DotRenderer::PlacedGlyph>* glyphs) = 0;

  // What `font` resolves to: its file and how pango draws it, measuring
  // and on the dot grid; null when it is no single face of a font file.
  // `watched` gets the configuration's files and font folders.
  virtual std::optional<ResolvedFont> Resolve(const FontState& font, std::vector<std::string>* watched) = 0;

  // The families the font configuration offers, in its order.
  virtual std::vector<Text> Families() = 0;
};

// The pango text of this process; null when it cannot be had (the module
// is missing), with `error` saying why.
std::unique_ptr<PangoText> MakePangoText(std::string* error);

}  // namespace kalvenor

#endif  // KALVENOR_RENDER_PANGO_TEXT_H_
