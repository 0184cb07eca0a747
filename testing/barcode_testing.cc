// Test support for the barcode code.
#define ZX_USE_UTF8 1
#include "testing/barcode_testing.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <ZXing/ReadBarcode.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

extern char** environ;

namespace kalvenor {

namespace {

uint32_t Argb(uint32_t bgr) {
  return 0xFF000000u | ((bgr & 0xFF) << 16) | (bgr & 0xFF00) | ((bgr >> 16) & 0xFF);
}

// Runs `argv` and returns its standard output.
std::optional<std::string> Capture(const std::vector<std::string>& argv) {
  int fds[2];
  if (pipe(fds) != 0) return std::nullopt;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::vector<std::string> copy(argv);
  std::vector<char*> args;
  for (std::string& s : copy) args.push_back(s.data());
  args.push_back(nullptr);
  pid_t pid;
  int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  std::string out;
  if (rc == 0) {
    char buffer[4096];
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0) out.append(buffer, n);
  }
  close(fds[0]);
  if (rc != 0) return std::nullopt;
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
  return out;
}

}  // namespace

FakeCanvas::FakeCanvas(int pixel_width, int pixel_height, float units_per_pixel,
                       uint32_t back_color)
    : units_per_pixel_(units_per_pixel), width_(pixel_width), height_(pixel_height) {
  BackColor = back_color;
  pixels_.assign(static_cast<size_t>(width_) * height_, Argb(back_color));
}

void FakeCanvas::Print(const Text& text, bool end_line) {
  prints.push_back({CurrentX, CurrentY, text, end_line, Font.Name, Font.Size});
  if (end_line) {
    CurrentX = 0;
    CurrentY += TextHeight(text);
  } else {
    CurrentX += TextWidth(text);
  }
}

float FakeCanvas::TextWidth(const Text& text) {
  return static_cast<float>(text.size()) * 0.6f * Font.Size * UnitsPerPoint();
}

float FakeCanvas::TextHeight(const Text&) { return 1.2f * Font.Size * UnitsPerPoint(); }

void FakeCanvas::Fill(int left, int top, int w, int h, uint32_t color) {
  for (int y = std::max(top, 0); y < std::min(top + h, height_); ++y) {
    for (int x = std::max(left, 0); x < std::min(left + w, width_); ++x) {
      pixels_[static_cast<size_t>(y) * width_ + x] = Argb(color);
    }
  }
}

void FakeCanvas::Line(float x1, float y1, float x2, float y2, uint32_t color) {
  lines.push_back({x1, y1, x2, y2, color, DrawWidth});
  int pen = std::max<int16_t>(DrawWidth, 1);
  double px1 = x1 / units_per_pixel_, py1 = y1 / units_per_pixel_;
  double px2 = x2 / units_per_pixel_, py2 = y2 / units_per_pixel_;
  int left = static_cast<int>(std::floor(std::min(px1, px2)));
  int top = static_cast<int>(std::floor(std::min(py1, py2)));
  int right = static_cast<int>(std::floor(std::max(px1, px2)));
  int bottom = static_cast<int>(std::floor(std::max(py1, py2)));
  if (px1 == px2) {
    Fill(left - (pen - 1) / 2, top, pen, std::max(bottom - top, 1), color);
  } else if (py1 == py2) {
    Fill(left, top - (pen - 1) / 2, std::max(right - left, 1), pen, color);
  }
  CurrentX = x2;
  CurrentY = y2;
}

void FakeCanvas::PaintPicture(const Picture& picture, float x, float y) {
  paintings.push_back({picture, x, y});
}

void FakeCanvas::Cls() {
  std::fill(pixels_.begin(), pixels_.end(), Argb(BackColor));
  lines.clear();
  prints.clear();
  ++clears;
  CurrentX = 0;
  CurrentY = 0;
}

void FakeCanvas::Resize(int pixel_width, int pixel_height) {
  std::vector<uint32_t> resized(static_cast<size_t>(pixel_width) * pixel_height, Argb(BackColor));
  for (int y = 0; y < std::min(height_, pixel_height); ++y) {
    for (int x = 0; x < std::min(width_, pixel_width); ++x) {
      resized[static_cast<size_t>(y) * pixel_width + x] = pixels_[static_cast<size_t>(y) * width_ + x];
    }
  }
  pixels_ = std::move(resized);
  width_ = pixel_width;
  height_ = pixel_height;
}

Picture FakeCanvas::Image() const {
  auto picture = std::make_shared<PictureData>();
  picture->pixel_width = width_;
  picture->pixel_height = height_;
  picture->width_twips = width_ * 15.0f;
  picture->height_twips = height_ * 15.0f;
  picture->pixels = pixels_;
  return picture;
}

std::unique_ptr<Canvas> MakeFakeCanvas(int pixel_width, int pixel_height, float units_per_pixel,
                                       uint32_t back_color) {
  return std::make_unique<FakeCanvas>(pixel_width, pixel_height, units_per_pixel, back_color);
}

std::optional<std::string> ReadBarcode(const std::vector<uint8_t>& grey, int width, int height,
                                       Symbology format) {
  ZXing::ImageView view(grey.data(), width, height, ZXing::ImageFormat::Lum);
  ZXing::DecodeHints hints;
  switch (format) {
    case Symbology::kEan13: hints.setFormats(ZXing::BarcodeFormat::EAN13); break;
    case Symbology::kEan8: hints.setFormats(ZXing::BarcodeFormat::EAN8); break;
    case Symbology::kCode128: hints.setFormats(ZXing::BarcodeFormat::Code128); break;
    case Symbology::kCode39: hints.setFormats(ZXing::BarcodeFormat::Code39); break;
  }
  hints.setTryHarder(true);
  ZXing::Result result = ZXing::ReadBarcode(view, hints);
  if (!result.isValid()) return std::nullopt;
  return result.text();
}

std::optional<std::string> ReadBarcode(const Picture& picture, Symbology format, int scale) {
  if (!picture || picture->pixels.empty()) return std::nullopt;
  const int border = 20;
  const int w = picture->pixel_width * scale + 2 * border;
  const int h = picture->pixel_height * scale + 2 * border;
  std::vector<uint8_t> grey(static_cast<size_t>(w) * h, 255);
  for (int y = 0; y < picture->pixel_height * scale; ++y) {
    for (int x = 0; x < picture->pixel_width * scale; ++x) {
      uint32_t p = picture->pixels[static_cast<size_t>(y / scale) * picture->pixel_width + x / scale];
      // Premultiplied over white.
      uint32_t a = p >> 24;
      uint32_t lum = (((p >> 16) & 0xFF) * 30 + ((p >> 8) & 0xFF) * 59 + (p & 0xFF) * 11) / 100;
      grey[static_cast<size_t>(y + border) * w + x + border] =
          static_cast<uint8_t>(std::min<uint32_t>(255, lum + (255 - a)));
    }
  }
  return ReadBarcode(grey, w, h, format);
}

FormHarness::FormHarness() {
  host.env = [](const std::string&) -> std::optional<std::string> { return std::nullopt; };
  host.warn_sink = [this](const Text& text) { warnings.push_back(text); };
  host.make_printer = [this](Trace*) -> std::unique_ptr<Printer> {
    auto made = std::make_unique<RecordingPrinter>();
    printer = made.get();
    return made;
  };
}

std::unique_ptr<frmCodBarra> FormHarness::MakeForm(bool real_canvases,
                                                   std::unique_ptr<Clipboard> clipboard) {
  CanvasMaker maker = real_canvases ? CanvasMaker(MakeCanvas) : CanvasMaker(MakeFakeCanvas);
  return std::make_unique<frmCodBarra>(host, maker, std::move(clipboard));
}

GreyImage RasterisePdfPage(const std::string& pdf_path, int dpi) {
  GreyImage image;
  std::string prefix = pdf_path + "-" + std::to_string(dpi);
  if (!Capture({"pdftoppm", "-f", "1", "-l", "1", "-singlefile", "-gray", "-r",
                std::to_string(dpi), pdf_path, prefix})) {
    return image;
  }
  std::FILE* f = std::fopen((prefix + ".pgm").c_str(), "rb");
  if (f == nullptr) return image;
  int max_value = 0;
  if (std::fscanf(f, "P5 %d %d %d", &image.width, &image.height, &max_value) == 3 &&
      max_value == 255) {
    std::fgetc(f);  // the one white-space character before the data
    image.pixels.resize(static_cast<size_t>(image.width) * image.height);
    if (std::fread(image.pixels.data(), 1, image.pixels.size(), f) != image.pixels.size()) {
      image = GreyImage();
    }
  } else {
    image = GreyImage();
  }
  std::fclose(f);
  return image;
}

bool HaveZint() { return Capture({"zint", "--version"}).has_value(); }

std::string ZintModules(int symbology, const std::string& data) {
  std::optional<std::string> dump =
      Capture({"zint", "-b", std::to_string(symbology), "--dump", "-d", data});
  if (!dump) return std::string();
  std::string first_row = dump->substr(0, dump->find('\n'));
  std::string modules;
  for (char c : first_row) {
    int v;
    if (c >= '0' && c <= '9') v = c - '0';
    else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
    else continue;
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

}  // namespace kalvenor
