// The off-screen canvas of the barcode form: whole pixels in memory that
// keep what is drawn on them. Fills and text shaped from the font files are
// painted here; cairo draws the rest (slanted lines, pictures, text that
// pango lays out) on the same pixels, loaded only then.
#include <algorithm>
#include <cmath>
#include <memory>
#include <new>

#include "base/units.h"
#include "render/canvas.h"
#include "render/color.h"
#include "render/drawing-cairo.h"

namespace kalvenor {
namespace {

// Cairo's largest image side: a canvas past it has no pixels, as it had
// none when cairo drew all of it.
constexpr int kMaxSide = 32767;

class PixelCanvas : public Canvas {
 public:
  PixelCanvas(int pixel_width, int pixel_height, float units_per_pixel, uint32_t back_color)
      : units_per_pixel_(units_per_pixel) {
    BackColor = back_color;
    Create(std::max(pixel_width, 1), std::max(pixel_height, 1));
  }

  void Cls() override {
    if (made_) {
      std::fill(pixels_.begin(), pixels_.end(), OpaqueArgb(BackColor));
    } else {
      made_argb_ = OpaqueArgb(BackColor);  // still to be made, now in this colour
    }
    CurrentX = 0;
    CurrentY = 0;
  }

  int PixelWidth() const override { return width_; }
  int PixelHeight() const override { return height_; }

  // Every pixel is opaque (the background is, and all drawing goes over
  // it), so what still fits is copied as it is.
  void Resize(int pixel_width, int pixel_height) override {
    std::vector<uint32_t> old = std::move(Pixels());
    const int old_width = width_, old_height = old.empty() ? 0 : height_;
    Create(std::max(pixel_width, 1), std::max(pixel_height, 1));
    if (Pixels().empty()) return;
    const int w = std::min(old_width, width_);
    for (int y = 0; y < std::min(old_height, height_); ++y) {
      std::copy_n(old.begin() + static_cast<long>(y) * old_width, w, pixels_.begin() + static_cast<long>(y) * width_);
    }
  }

  std::shared_ptr<PictureData> Image() const override {
    auto picture = std::make_shared<PictureData>();
    picture->width_twips = static_cast<float>(width_ * kTwipsPerPixel);
    picture->height_twips = static_cast<float>(height_ * kTwipsPerPixel);
    if (!made_ && fits_) {
      picture->pixels.assign(static_cast<size_t>(width_) * height_, made_argb_);
    } else if (!made_ || pixels_.empty()) {
      return picture;
    } else {
      picture->pixels = pixels_;
    }
    picture->pixel_width = width_;
    picture->pixel_height = height_;
    return picture;
  }

  void Print(const Text& text, bool end_line) override {
    TextEngine& engine = TextEngine::Get();
    TextEngine::Measured measured = engine.Measure(text, Font);
    // The transformation cairo would draw it with, computed alike.
    const double device_per_unit = 1 / units_per_pixel_;
    const double tx = CurrentX * device_per_unit, ty = CurrentY * device_per_unit;
    PixelImage image{Pixels().data(), width_, height_};
    if (pixels_.empty() || measured.fast == nullptr ||
        !engine.PaintFast(image, *measured.fast, tx, ty, device_per_unit * UnitsPerPoint(), OpaqueArgb(ForeColor))) {
      WithCairo([&](cairo_t* cr) {
        DrawText(cr, text, Font, measured, CurrentX, CurrentY, device_per_unit, UnitsPerPoint(), ForeColor);
      });
    }
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
      WithCairo([&](cairo_t* cr) {
        SetColor(cr, color);
        cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
        cairo_set_line_width(cr, pen);
        cairo_move_to(cr, px1 + 0.5, py1 + 0.5);
        cairo_line_to(cr, px2 + 0.5, py2 + 0.5);
        cairo_stroke(cr);
      });
    }
    CurrentX = x2;
    CurrentY = y2;
  }

  void PaintPicture(const Picture& picture, float x, float y) override {
    if (!picture) return;
    WithCairo([&](cairo_t* cr) {
      cairo_translate(cr, x / units_per_pixel_, y / units_per_pixel_);
      DrawPicture(cr, *picture, 1 / kTwipsPerPixel);
    });
  }

  void EndDoc() override {}  // a picture box keeps its image

  int FontCount() override { return FontCountOfScreen(); }
  Text Fonts(int index) override { return FontOfScreen(index); }

 private:
  // Paints the whole pixels [x0, x1) x [y0, y1) in `color` (0x00BBGGRR), as
  // cairo fills a rectangle on pixel edges.
  void FillPixels(double x0, double y0, double x1, double y1, uint32_t color) {
    // On the canvas, whole pixels (the edges are whole already); NaN is 0.
    auto pixel = [](double v, int limit) { return v > 0 ? (v < limit ? static_cast<int>(v) : limit) : 0; };
    const int left = pixel(x0, width_), right = pixel(x1, width_);
    const int top = pixel(y0, height_), bottom = pixel(y1, height_);
    if (left >= right || top >= bottom || Pixels().empty()) return;  // nothing to paint, or no pixels
    const uint32_t argb = OpaqueArgb(color);
    for (int y = top; y < bottom; ++y) {
      std::fill_n(pixels_.begin() + static_cast<long>(y) * width_ + left, right - left, argb);
    }
  }

  // Lets cairo draw on the pixels (device units are pixels).
  void WithCairo(const std::function<void(cairo_t*)>& draw) {
    if (Pixels().empty()) return;
    SurfacePtr surface(cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(pixels_.data()),
                                                           CAIRO_FORMAT_ARGB32, width_, height_, width_ * 4));
    {
      ContextPtr cr(cairo_create(surface.get()));
      draw(cr.get());
    }
    cairo_surface_flush(surface.get());
  }

  // Surface units per point: 96/72 pixels per point, in the canvas's unit.
  double UnitsPerPoint() const { return 96.0 / 72.0 * units_per_pixel_; }

  // A canvas of the size in BackColor; without pixels past cairo's largest
  // image or the memory at hand. The pixels are made at their first use,
  // so that a picture box nothing is drawn on (the Code 39 box, when a
  // receipt is printed) costs no memory.
  void Create(int pixel_width, int pixel_height) {
    width_ = pixel_width;
    height_ = pixel_height;
    pixels_.clear();
    made_ = false;
    made_argb_ = OpaqueArgb(BackColor);
    fits_ = width_ <= kMaxSide && height_ <= kMaxSide;
  }

  std::vector<uint32_t>& Pixels() {
    if (made_) return pixels_;
    made_ = true;
    if (!fits_) return pixels_;
    try {
      pixels_.assign(static_cast<size_t>(width_) * height_, made_argb_);
    } catch (const std::bad_alloc&) {
      pixels_.clear();
    }
    return pixels_;
  }

  double units_per_pixel_;
  int width_ = 0;
  int height_ = 0;
  std::vector<uint32_t> pixels_;  // premultiplied ARGB, row after row; empty without pixels
  bool made_ = false;             // pixels_ holds the canvas (else it is all made_argb_)
  bool fits_ = false;             // the canvas is not past cairo's largest image
  uint32_t made_argb_ = 0;
};

}  // namespace

std::unique_ptr<Canvas> MakeCanvas(int pixel_width, int pixel_height, float units_per_pixel, uint32_t back_color) {
  return std::make_unique<PixelCanvas>(pixel_width, pixel_height, units_per_pixel, back_color);
}

}  // namespace kalvenor
