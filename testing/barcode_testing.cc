// Test support for barcodes and QR symbols.
#define ZX_USE_UTF8 1
#include "testing/barcode_testing.h"

#include <ZXing/ReadBarcode.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "render/color.h"

namespace kalvenor {

FakeCanvas::FakeCanvas(int pixel_width, int pixel_height, float units_per_pixel, uint32_t back_color)
    : units_per_pixel_(units_per_pixel) {
  BackColor = back_color;
  FakeCanvas::Resize(pixel_width, pixel_height);
}

void FakeCanvas::Print(const Text& text, bool end_line) {
  prints.push_back({CurrentX, CurrentY, text, end_line, Font.Name, Font.Size});
  CurrentX = end_line ? 0 : CurrentX + TextWidth(text);
  if (end_line) CurrentY += TextHeight(text);
}

float FakeCanvas::TextWidth(const Text& text) {
  return static_cast<float>(text.size()) * 0.6f * Font.Size * UnitsPerPoint();
}

float FakeCanvas::TextHeight(const Text&) { return 1.2f * Font.Size * UnitsPerPoint(); }

void FakeCanvas::Line(float x1, float y1, float x2, float y2, uint32_t color) {
  lines.push_back({x1, y1, x2, y2, color, DrawWidth});
  int pen = std::max<int16_t>(DrawWidth, 1);
  auto pixel = [&](float units) { return static_cast<int>(std::floor(units / units_per_pixel_)); };
  int left = pixel(std::min(x1, x2)), right = pixel(std::max(x1, x2));
  int top = pixel(std::min(y1, y2)), bottom = pixel(std::max(y1, y2));
  if (x1 == x2) {
    left -= (pen - 1) / 2;
    right = left + pen;
    bottom = std::max(bottom, top + 1);
  } else if (y1 == y2) {
    top -= (pen - 1) / 2;
    bottom = top + pen;
    right = std::max(right, left + 1);
  } else {
    right = left;  // slanted lines are not drawn
  }
  for (int y = std::max(top, 0); y < std::min(bottom, height_); ++y) {
    for (int x = std::max(left, 0); x < std::min(right, width_); ++x) {
      pixels_[static_cast<size_t>(y) * width_ + x] = OpaqueArgb(color);
    }
  }
  CurrentX = x2;
  CurrentY = y2;
}

void FakeCanvas::Cls() {
  std::fill(pixels_.begin(), pixels_.end(), OpaqueArgb(BackColor));
  lines.clear();
  prints.clear();
  ++clears;
  CurrentX = 0;
  CurrentY = 0;
}

void FakeCanvas::Resize(int pixel_width, int pixel_height) {
  width_ = pixel_width;
  height_ = pixel_height;
  pixels_.assign(static_cast<size_t>(width_) * height_, OpaqueArgb(BackColor));
}

std::shared_ptr<PictureData> FakeCanvas::Image() const {
  auto picture = std::make_shared<PictureData>();
  picture->pixel_width = width_;
  picture->pixel_height = height_;
  picture->width_twips = width_ * 15.0f;
  picture->height_twips = height_ * 15.0f;
  picture->pixels = pixels_;
  return picture;
}

std::optional<std::string> ReadBarcode(const GreyRaster& grey, Symbology format) {
  if (grey.pixels.empty()) return std::nullopt;
  static const ZXing::BarcodeFormat kFormats[] = {
      ZXing::BarcodeFormat::EAN13, ZXing::BarcodeFormat::EAN8, ZXing::BarcodeFormat::Code128,
      ZXing::BarcodeFormat::Code39, ZXing::BarcodeFormat::QRCode};
  ZXing::ImageView view(grey.pixels.data(), grey.width, grey.height, ZXing::ImageFormat::Lum);
  ZXing::DecodeHints hints;
  hints.setFormats(kFormats[static_cast<int>(format)]);
  hints.setTryHarder(true);
  ZXing::Result result = ZXing::ReadBarcode(view, hints);
  if (!result.isValid()) return std::nullopt;
  if (format != Symbology::kQr) return result.text();
  return std::string(result.bytes().begin(), result.bytes().end());
}

std::optional<std::string> ReadBarcode(const Picture& picture, Symbology format) {
  return ReadBarcode(RasterFromPicture(picture, 192, 20), format);
}

GreyRaster RasterisePdf(const std::string& pdf_path, int dpi) {
  // Binary PGM: "P5", width, height, maximum value, one white-space character, the pixels.
  std::string pgm = ShellOutput("pdftoppm -f 1 -l 1 -gray -r " + std::to_string(dpi) + " " +
                                ShellQuote(pdf_path) + " 2>/dev/null");
  GreyRaster raster;
  std::istringstream header(pgm);
  std::string magic;
  int max_value = 0;
  header >> magic >> raster.width >> raster.height >> max_value;
  size_t start = static_cast<size_t>(header.tellg()) + 1;
  size_t size = static_cast<size_t>(raster.width) * raster.height;
  if (!header || magic != "P5" || max_value != 255 || pgm.size() < start + size) return GreyRaster();
  raster.pixels.assign(pgm.begin() + start, pgm.begin() + start + size);
  return raster;
}

bool HaveZint() { return !ShellOutput("command -v zint").empty(); }

std::string ZintModules(int symbology, const std::string& data) {
  std::string dump = ShellOutput("zint -b " + std::to_string(symbology) + " --dump -d " +
                                 ShellQuote(data) + " 2>/dev/null");
  std::string modules;
  for (char c : dump.substr(0, dump.find('\n'))) {
    int v = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    if (v < 0) continue;
    for (int bit = 3; bit >= 0; --bit) modules += (v >> bit) & 1 ? '1' : '0';
  }
  return modules;
}

std::string ModulesFromLines(const std::vector<RecordedLine>& lines, int first, int last) {
  std::string modules(static_cast<size_t>(last - first + 1), '0');
  for (const RecordedLine& line : lines) {
    int x = static_cast<int>(std::lround(line.x1));
    if (line.color == 0 && line.x1 == line.x2 && x >= first && x <= last) {
      modules[static_cast<size_t>(x - first)] = '1';
    }
  }
  return modules;
}

FormHarness::FormHarness() {
  host.env = EnvOf({});
  host.warn_sink = [this](const Text& text) { warnings.push_back(text); };
  host.make_printer = [this](Trace*) -> std::unique_ptr<Printer> {
    auto made = std::make_unique<RecordingPrinter>();
    printer = made.get();
    return made;
  };
}

std::unique_ptr<frmCodBarra> FormHarness::MakeForm(bool real_canvases,
                                                   std::unique_ptr<Clipboard> clipboard) {
  CanvasMaker fake = [](int width, int height, float units_per_pixel, uint32_t back_color) {
    return std::unique_ptr<Canvas>(new FakeCanvas(width, height, units_per_pixel, back_color));
  };
  return std::make_unique<frmCodBarra>(host, real_canvases ? CanvasMaker(MakeCanvas) : fake,
                                       std::move(clipboard));
}

QrTestServer::QrTestServer() {
  process_ = std::make_unique<ReportingProcess>(std::vector<std::string>{
      "python3", std::string(KALVENOR_SOURCE_DIR) + "/testing/qr_server.py", folder_.root()});
  // Its first line is its port, once it listens.
  port_ = std::atoi(process_->ReadLine().c_str());
}

QrTestServer::~QrTestServer() = default;

void QrTestServer::SetCase(const std::string& name, const std::string& body) {
  folder_.Write("body", body);
  folder_.Write("case.tmp", name + " " + folder_.Path("body") + "\n");
  std::rename(folder_.Path("case.tmp").c_str(), folder_.Path("case").c_str());
}

std::vector<std::string> QrTestServer::TakeRequests() {
  std::vector<std::string> requests;
  std::string name;
  while (folder_.Exists(name = "request-" + std::to_string(next_request_))) {
    requests.push_back(folder_.Read(name));
    ++next_request_;
  }
  return requests;
}

Host MakeQrTestHost(const std::map<std::string, std::string>& env) {
  Host host;
  host.env = EnvOf(env);
  host.files = MakeRealFileSystem(host.env);
  host.http = MakeCurlHttp({.connect_ms = 500, .total_ms = 1000, .max_body_bytes = 64 * 1024});
  return host;
}

}  // namespace kalvenor
