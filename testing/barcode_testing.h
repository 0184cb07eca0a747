// Test support for the barcode code: a canvas that records what is drawn
// and keeps a raster of the lines, a real barcode reader for pictures, and
// the module dump of an independent encoder (the zint tool).
#ifndef KALVENOR_TESTING_BARCODE_TESTING_H_
#define KALVENOR_TESTING_BARCODE_TESTING_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "barcode_form/frm_cod_barra.h"
#include "platform/canvas.h"
#include "testing/fake_host.h"

namespace kalvenor {

struct RecordedLine {
  float x1, y1, x2, y2;
  uint32_t color;
  int16_t width;
};

struct RecordedPrint {
  float x, y;
  Text text;
  bool end_line;
  Text font;
  float size;
};

// A canvas that records every operation and rasterises lines as the real
// canvas does (a pen of n pixels fills n whole pixel columns from the
// line's pixel). Text is 0.6 em wide a character and is not drawn. Without
// a font list, like a surface that has none.
class FakeCanvas : public Canvas {
 public:
  FakeCanvas(int pixel_width, int pixel_height, float units_per_pixel, uint32_t back_color);

  void Print(const Text& text, bool end_line = true) override;
  float TextWidth(const Text& text) override;
  float TextHeight(const Text& text) override;
  void Line(float x1, float y1, float x2, float y2, uint32_t color) override;
  void PaintPicture(const Picture& picture, float x, float y) override;
  void EndDoc() override { ++end_docs; }
  void Cls() override;
  int PixelWidth() const override { return width_; }
  int PixelHeight() const override { return height_; }
  void Resize(int pixel_width, int pixel_height) override;
  Picture Image() const override;

  // Everything since the last Cls.
  std::vector<RecordedLine> lines;
  std::vector<RecordedPrint> prints;
  struct Painted {
    Picture picture;
    float x, y;
  };
  std::vector<Painted> paintings;
  int clears = 0;
  int end_docs = 0;

 private:
  void Fill(int left, int top, int w, int h, uint32_t color);
  float UnitsPerPoint() const { return 96.0f / 72.0f * units_per_pixel_; }

  float units_per_pixel_;
  int width_, height_;
  std::vector<uint32_t> pixels_;
};

// A CanvasMaker that makes FakeCanvas objects.
std::unique_ptr<Canvas> MakeFakeCanvas(int pixel_width, int pixel_height, float units_per_pixel,
                                       uint32_t back_color);

// The text of the one barcode of `format` that a real reader finds in the
// picture's bitmap (scaled up `scale` times, on a white border), if any.
enum class Symbology { kEan13, kEan8, kCode128, kCode39 };
std::optional<std::string> ReadBarcode(const Picture& picture, Symbology format, int scale = 2);
// The same for a grey raster (0 black, 255 white) of `width` x `height`.
std::optional<std::string> ReadBarcode(const std::vector<uint8_t>& grey, int width, int height,
                                       Symbology format);

// A host for the barcode form: warnings are kept, the printer records, the
// environment is empty (no desktop session).
class FormHarness {
 public:
  FormHarness();
  FormHarness(const FormHarness&) = delete;
  FormHarness& operator=(const FormHarness&) = delete;

  // A form over fake canvases (or real ones with `real_canvases`) and
  // `clipboard` (none by default).
  std::unique_ptr<frmCodBarra> MakeForm(bool real_canvases = false,
                                        std::unique_ptr<Clipboard> clipboard = nullptr);
  // The fake canvas of a form made with fake canvases.
  static FakeCanvas& Fake(frmCodBarra::PictureBox& box) {
    return static_cast<FakeCanvas&>(*box.canvas);
  }

  Host host;
  RecordingPrinter* printer = nullptr;  // made on first use
  std::vector<Text> warnings;
};

// A grey raster (0 black, 255 white).
struct GreyImage {
  int width = 0, height = 0;
  std::vector<uint8_t> pixels;
};
// Page 1 of a PDF rasterised in grey at `dpi` (by pdftoppm); empty on failure.
GreyImage RasterisePdfPage(const std::string& pdf_path, int dpi);

// True when the zint tool is installed.
bool HaveZint();
// The modules ("1" dark) that `zint -b <symbology> --dump` gives for `data`
// (one row), or "" when zint fails.
std::string ZintModules(int symbology, const std::string& data);

// Modules ("1" dark) from a list of vertical lines: column c is dark when a
// black line lies at unit c, for columns `first` to `last`.
std::string ModulesFromLines(const std::vector<RecordedLine>& lines, int first, int last);

}  // namespace kalvenor

#endif  // KALVENOR_TESTING_BARCODE_TESTING_H_
