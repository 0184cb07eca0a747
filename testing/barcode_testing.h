// Test support for barcodes and QR symbols: a recording canvas, a reader, zint, a form host, a QR service.
#ifndef KALVENOR_TESTING_BARCODE_TESTING_H_
#define KALVENOR_TESTING_BARCODE_TESTING_H_

#include <optional>

#include "barcode_form/frm_cod_barra.h"
#include "render/canvas.h"
#include "qr/image_conversion.h"
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

// Records every operation and rasterises lines as the real canvas does (a pen of n pixels fills n
// whole columns). Text is 0.6 em a character and not drawn. Resizing clears it.
class FakeCanvas : public Canvas {
 public:
  FakeCanvas(int pixel_width, int pixel_height, float units_per_pixel, uint32_t back_color);

  void Print(const Text& text, bool end_line = true) override;
  float TextWidth(const Text& text) override;
  float TextHeight(const Text& text) override;
  void Line(float x1, float y1, float x2, float y2, uint32_t color) override;
  void PaintPicture(const Picture&, float, float) override {}
  void EndDoc() override {}
  void Cls() override;
  int PixelWidth() const override { return width_; }
  int PixelHeight() const override { return height_; }
  void Resize(int pixel_width, int pixel_height) override;
  std::shared_ptr<PictureData> Image() const override;

  // Everything since the last Cls.
  std::vector<RecordedLine> lines;
  std::vector<RecordedPrint> prints;
  int clears = 0;

 private:
  float UnitsPerPoint() const { return 96.0f / 72.0f * units_per_pixel_; }

  float units_per_pixel_;
  int width_, height_;
  std::vector<uint32_t> pixels_;
};

// The text of a barcode or the bytes of a QR symbol a reader finds in a grey raster (0 black), or in
// a picture drawn at twice its size on a white border.
enum class Symbology { kEan13, kEan8, kCode128, kCode39, kQr };
std::optional<std::string> ReadBarcode(const GreyRaster& grey, Symbology format);
std::optional<std::string> ReadBarcode(const Picture& picture, Symbology format);
// Page 1 of a PDF rasterised in grey at `dpi` (by pdftoppm); empty on failure.
GreyRaster RasterisePdf(const std::string& pdf_path, int dpi);

bool HaveZint();
// Modules ("1" dark) of the first row of `zint -b <symbology> --dump` ("" when zint fails), or of
// columns `first` to `last` where a black vertical line lies.
std::string ZintModules(int symbology, const std::string& data);
std::string ModulesFromLines(const std::vector<RecordedLine>& lines, int first, int last);

// A host for the barcode form: warnings are kept, the printer records, no environment.
class FormHarness {
 public:
  FormHarness();
  std::unique_ptr<frmCodBarra> MakeForm(bool real_canvases = false,
                                        std::unique_ptr<Clipboard> clipboard = nullptr);
  static FakeCanvas& Fake(frmCodBarra::PictureBox& box) { return static_cast<FakeCanvas&>(*box.canvas); }

  Host host;
  RecordingPrinter* printer = nullptr;  // made on first use
  std::vector<Text> warnings;
};

// The stand-in QR service, started in a folder of its own on 127.0.0.1.
class QrTestServer {
 public:
  QrTestServer();
  ~QrTestServer();
  bool running() const { return port_ > 0; }
  std::string base() const { return "http://127.0.0.1:" + std::to_string(port_); }
  // How the next requests are answered (see qr_server.py), with `body` as the bytes to serve.
  void SetCase(const std::string& name, const std::string& body = std::string());
  std::vector<std::string> TakeRequests();  // whole, since the last call

 private:
  Sandbox folder_;
  std::unique_ptr<ReportingProcess> process_;
  int port_ = 0;
  int next_request_ = 1;
};

// A host with `env` as its whole environment, the real file system and HTTP with short time
// limits, so that a service that never answers costs a test one second.
Host MakeQrTestHost(const std::map<std::string, std::string>& env);

}  // namespace kalvenor

#endif  // KALVENOR_TESTING_BARCODE_TESTING_H_
