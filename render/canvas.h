// Canvas: an off-screen picture box. It draws like any PrintSurface, keeps
// what is drawn in a persistent raster image, and hands that image out as a
// Picture. Drawing outside the canvas is clipped.
#ifndef KALVENOR_RENDER_CANVAS_H_
#define KALVENOR_RENDER_CANVAS_H_

#include <cstdint>
#include <memory>

#include "render/print_surface.h"

namespace kalvenor {

class Canvas : public PrintSurface {
 public:
  // Background of Cls, 0x00BBGGRR.
  uint32_t BackColor = 0xFFFFFF;
  // Colour of the text that Print draws, 0x00BBGGRR.
  uint32_t ForeColor = 0x000000;

  // Fills the canvas with BackColor and puts CurrentX, CurrentY at 0, 0.
  virtual void Cls() = 0;
  // Size in pixels (15 twips each at 96 per inch). Resizing keeps the part
  // of the image that still fits; new area is BackColor.
  virtual int PixelWidth() const = 0;
  virtual int PixelHeight() const = 0;
  virtual void Resize(int pixel_width, int pixel_height) = 0;
  // The persistent image as a new picture of its physical size, the
  // caller's to change.
  virtual std::shared_ptr<PictureData> Image() const = 0;
};

// A canvas of `pixel_width` x `pixel_height` pixels whose drawing unit is
// `units_per_pixel` (15 for twips, 1 for pixels), filled with `back_color`.
std::unique_ptr<Canvas> MakeCanvas(int pixel_width, int pixel_height,
                                   float units_per_pixel, uint32_t back_color);

}  // namespace kalvenor

#endif  // KALVENOR_RENDER_CANVAS_H_
