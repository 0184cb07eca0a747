// The off-screen canvas of the barcode form: a cairo image surface of whole
// pixels that keeps what is drawn on it.
#include <algorithm>
#include <cmath>
#include <memory>

#include "base/units.h"
#include "render/canvas.h"
#include "render/color.h"
#include "render/drawing-cairo.h"

namespace kalvenor {
namespace {

class CairoCanvas : public Canvas {
 public:
  CairoCanvas(int pixel_width, int pixel_height, float units_per_pixel, uint32_t back_color)
      : units_per_pixel_(units_per_pixel) {
    BackColor = back_color;
    Create(std::max(pixel_width, 1), std::max(pixel_height, 1));
    Cls();
  }
  CairoCanvas(const CairoCanvas&) = delete;
  CairoCanvas& operator=(const CairoCanvas&) = delete;

  void Cls() override {
    cairo_save(cr_.get());
    SetColor(cr_.get(), BackColor);
    cairo_paint(cr_.get());
    cairo_restore(cr_.get());
    CurrentX = 0;
    CurrentY = 0;
  }

  int PixelWidth() const override { return width_; }
  int PixelHeight() const override { return height_; }

  void Resize(int pixel_width, int pixel_height) override {
    SurfacePtr old_surface = std::move(surface_);
    ContextPtr old_cr = std::move(cr_);
    Create(std::max(pixel_width, 1), std::max(pixel_height, 1));
    cairo_save(cr_.get());
    SetColor(cr_.get(), BackColor);
    cairo_paint(cr_.get());
    // A surface cairo could not make has nothing to keep, and painting from
    // it would put the new context in error.
    if (old_surface && cairo_surface_status(old_surface.get()) == CAIRO_STATUS_SUCCESS) {
      cairo_set_source_surface(cr_.get(), old_surface.get(), 0, 0);
      cairo_paint(cr_.get());
    }
    cairo_restore(cr_.get());
  }

  // A surface cairo could not make (too large) has no pixels: its image is
  // a picture of the canvas's size without a bitmap.
  std::shared_ptr<PictureData> Image() const override {
    cairo_surface_flush(surface_.get());
    auto picture = std::make_shared<PictureData>();
    picture->width_twips = static_cast<float>(width_ * kTwipsPerPixel);
    picture->height_twips = static_cast<float>(height_ * kTwipsPerPixel);
    const unsigned char* data = cairo_image_surface_get_data(surface_.get());
    if (data == nullptr) return picture;
    picture->pixel_width = width_;
    picture->pixel_height = height_;
    picture->pixels.resize(static_cast<size_t>(width_) * height_);
    const int stride = cairo_image_surface_get_stride(surface_.get());
    for (int row = 0; row < height_; ++row) {
      std::copy_n(reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(row) * stride), width_,
                  picture->pixels.begin() + static_cast<size_t>(row) * width_);
    }
    return picture;
  }

  void Print(const Text& text, bool end_line) override {
    TextEngine::Measured measured = TextEngine::Get().Measure(text, Font);
    DrawText(cr_.get(), text, Font, measured, CurrentX, CurrentY, 1 / units_per_pixel_, UnitsPerPoint(),
             ForeColor);
    if (end_line) {
      CurrentX = 0;
      CurrentY = static_cast<float>(CurrentY + measured.height * UnitsPerPoint());
    } else {
      CurrentX = static_cast<float>(CurrentX + measured.width * UnitsPerPoint());
    }
  }

  float TextWidth(const Text& text) override {
    return static_cast<float>(TextEngine::Get().Measure(text, Font).width * UnitsPerPoint());
  }

  float TextHeight(const Text& text) override {
    return static_cast<float>(TextEngine::Get().Measure(text, Font).height * UnitsPerPoint());
  }

  // Lines cover whole pixels as on a screen: a vertical or horizontal line
  // of width n fills n pixel columns (rows) from its start, so module edges
  // of a barcode fall exactly on pixel edges.
  void Line(float x1, float y1, float x2, float y2, uint32_t color) override {
    double px1 = x1 / units_per_pixel_, py1 = y1 / units_per_pixel_;
    double px2 = x2 / units_per_pixel_, py2 = y2 / units_per_pixel_;
    int pen = std::max<int16_t>(DrawWidth, 1);
    if (px1 == px2 || py1 == py2) {
      double left = std::floor(std::min(px1, px2)), top = std::floor(std::min(py1, py2));
      double right = std::floor(std::max(px1, px2)), bottom = std::floor(std::max(py1, py2));
      if (px1 == px2) {
        FillPixels(left - (pen - 1) / 2, top, left - (pen - 1) / 2 + pen, top + std::max(bottom - top, 1.0), color);
      } else {
        FillPixels(left, top - (pen - 1) / 2, left + std::max(right - left, 1.0), top - (pen - 1) / 2 + pen, color);
      }
    } else {
      cairo_t* cr = cr_.get();
      cairo_save(cr);
      SetColor(cr, color);
      cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
      cairo_set_line_width(cr, pen);
      cairo_move_to(cr, px1 + 0.5, py1 + 0.5);
      cairo_line_to(cr, px2 + 0.5, py2 + 0.5);
      cairo_stroke(cr);
      cairo_restore(cr);
    }
    CurrentX = x2;
    CurrentY = y2;
  }

  void PaintPicture(const Picture& picture, float x, float y) override {
    if (!picture) return;
    cairo_save(cr_.get());
    cairo_translate(cr_.get(), x / units_per_pixel_, y / units_per_pixel_);
    DrawPicture(cr_.get(), *picture, 1 / kTwipsPerPixel);
    cairo_restore(cr_.get());
  }

  void EndDoc() override {}  // a picture box keeps its image

  int FontCount() override { return FontCountOfScreen(); }
  Text Fonts(int index) override { return FontOfScreen(index); }

 private:
  // Paints the whole pixels [x0, x1) x [y0, y1) in `color` (0x00BBGGRR), as
  // cairo fills a rectangle on pixel edges, without a path for every bar.
  void FillPixels(double x0, double y0, double x1, double y1, uint32_t color) {
    // On the surface, whole pixels (the edges are whole already); NaN is 0.
    auto pixel = [](double v, int limit) { return v > 0 ? (v < limit ? static_cast<int>(v) : limit) : 0; };
    const int left = pixel(x0, width_), right = pixel(x1, width_);
    const int top = pixel(y0, height_), bottom = pixel(y1, height_);
    cairo_surface_flush(surface_.get());
    unsigned char* data = cairo_image_surface_get_data(surface_.get());
    if (left >= right || top >= bottom || data == nullptr) return;  // nothing to paint, or no surface
    const uint32_t argb = OpaqueArgb(color);
    const int stride = cairo_image_surface_get_stride(surface_.get());
    for (int y = top; y < bottom; ++y) {
      auto* row = reinterpret_cast<uint32_t*>(data + static_cast<size_t>(y) * stride);
      std::fill(row + left, row + right, argb);
    }
    cairo_surface_mark_dirty_rectangle(surface_.get(), left, top, right - left, bottom - top);
  }

  // Surface units per point: 96/72 pixels per point, in the canvas's unit.
  double UnitsPerPoint() const { return 96.0 / 72.0 * units_per_pixel_; }

  void Create(int pixel_width, int pixel_height) {
    width_ = pixel_width;
    height_ = pixel_height;
    surface_.reset(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width_, height_));
    cr_.reset(cairo_create(surface_.get()));
  }

  double units_per_pixel_;
  int width_ = 0;
  int height_ = 0;
  SurfacePtr surface_;  // before cr_, which is destroyed first
  ContextPtr cr_;
};

}  // namespace

std::unique_ptr<Canvas> MakeCanvas(int pixel_width, int pixel_height, float units_per_pixel, uint32_t back_color) {
  return std::make_unique<CairoCanvas>(pixel_width, pixel_height, units_per_pixel, back_color);
}

}  // namespace kalvenor
