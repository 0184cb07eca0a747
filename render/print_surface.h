// PrintSurface: the drawing surface shared by the printer and the barcode
// canvases. Positions and widths are in the surface's units (twips on the
// printer), sizes in points.
#ifndef KALVENOR_RENDER_PRINT_SURFACE_H_
#define KALVENOR_RENDER_PRINT_SURFACE_H_

#include <cstdint>
#include <string>
#include <vector>

#include "base/text.h"
#include "render/picture.h"

namespace kalvenor {

struct FontState {
  Text Name = u"Consolas";
  float Size = 8;
  bool Bold = false;
  bool Italic = false;
  bool Underline = false;
};

class PrintSurface {
 public:
  virtual ~PrintSurface() = default;

  // Where the next Print starts.
  float CurrentX = 0;
  float CurrentY = 0;
  // The font of the next Print and of TextWidth / TextHeight.
  FontState Font;
  // Pen width of Line, in pixels of the device (1 = thinnest).
  int16_t DrawWidth = 1;

  // Draws `text` with its top-left corner at (CurrentX, CurrentY). With
  // `end_line` the line ends: CurrentX becomes 0 and CurrentY grows by the
  // line height of the current font. Without it CurrentX moves past the text.
  virtual void Print(const Text& text, bool end_line = true) = 0;
  // Width and height that Print would give `text` in the current font.
  virtual float TextWidth(const Text& text) = 0;
  virtual float TextHeight(const Text& text) = 0;
  // A straight line in `color` (0x00BBGGRR, black 0, white 0xFFFFFF).
  virtual void Line(float x1, float y1, float x2, float y2, uint32_t color) = 0;
  // Paints `picture` with its top-left corner at (x, y) at its own size; an
  // empty picture paints nothing.
  virtual void PaintPicture(const Picture& picture, float x, float y) = 0;
  // Ends the current document; later output starts a new one at (0, 0).
  virtual void EndDoc() = 0;

  // The fonts the surface offers. Surfaces without a font list raise
  // "Object doesn't support this property or method".
  virtual int FontCount();
  virtual Text Fonts(int index);
};

}  // namespace kalvenor

#endif  // KALVENOR_RENDER_PRINT_SURFACE_H_
