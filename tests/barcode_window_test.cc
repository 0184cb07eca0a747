// The barcode window on a virtual X server, driven with real input events:
// typed text becomes a Code 39 symbol on screen that a barcode reader
// decodes, each option (reached in the form's tab order) changes the
// symbol, the picture box follows the window's width, "Copiar " puts the
// picture on the clipboard, "Imprimir" prints it and the warning box is a
// modal dialog. Skipped where the program, Xvfb or the X tools are missing.
#include <signal.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "qr/image_conversion.h"
#include "testing/barcode_testing.h"
#include "testing/fake_host.h"

namespace kalvenor {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// --- processes ---------------------------------------------------------------------

std::string Quoted(const std::string& arg) {
  std::string out = "'";
  for (char c : arg) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// Ends a program started in the background and waits (at most 5 s) until it
// is gone, so that its window cannot be taken for the next test's.
void Stop(pid_t& pid) {
  auto running = [pid] {  // a zombie nobody has reaped yet counts as gone
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    return std::getline(stat, line) && line.find(") Z ") == std::string::npos;
  };
  if (pid > 0 && kill(pid, SIGTERM) == 0) {
    for (int i = 0; i < 100 && running(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  pid = -1;
}

// `env` with the test's environment changed by `changes` ("NAME=value"
// sets, "NAME=" drops), for a shell command line.
std::string EnvCommand(const std::vector<std::string>& changes) {
  std::string drops, sets;
  for (const std::string& c : changes) {
    if (c.back() == '=') drops += " -u " + c.substr(0, c.size() - 1);
    else sets += " " + Quoted(c);
  }
  return "env" + drops + sets;
}

// Asks `ready` every 50 ms until it holds or `limit` passes.
bool WaitFor(const std::function<bool()>& ready, milliseconds limit = milliseconds(8000)) {
  const Clock::time_point deadline = Clock::now() + limit;
  for (;;) {
    if (ready()) return true;
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(milliseconds(50));
  }
}

// --- the screen ----------------------------------------------------------------------

// A screenshot, 0xRRGGBB a pixel.
struct Screen {
  int width = 0, height = 0;
  std::vector<uint32_t> rgb;
  uint32_t At(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return 0xFFFFFFFF;
    return rgb[static_cast<size_t>(y) * width + x];
  }
};

// The pixels of an X window dump (xwd, Z pixmap of a true-colour visual).
std::optional<Screen> ParseXwd(const std::string& bytes) {
  auto field = [&](int index) -> uint32_t {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data()) + 4 * index;
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
  };
  if (bytes.size() < 100 || field(1) != 7 || field(2) != 2) return std::nullopt;
  const uint32_t header_size = field(0), width = field(4), height = field(5);
  const uint32_t byte_order = field(7), bits_per_pixel = field(11), line = field(12);
  const uint32_t masks[3] = {field(14), field(15), field(16)};
  const size_t data = size_t{header_size} + size_t{field(19)} * 12;
  const uint32_t pixel_bytes = bits_per_pixel / 8;
  if ((bits_per_pixel != 24 && bits_per_pixel != 32) || width > 8192 || height > 8192 ||
      bytes.size() < data + size_t{line} * height || line < width * pixel_bytes) {
    return std::nullopt;
  }
  Screen screen;
  screen.width = static_cast<int>(width);
  screen.height = static_cast<int>(height);
  screen.rgb.resize(size_t{width} * height);
  const auto* pixels = reinterpret_cast<const unsigned char*>(bytes.data()) + data;
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      const unsigned char* p = pixels + size_t{y} * line + x * pixel_bytes;
      uint32_t value = 0;
      for (uint32_t b = 0; b < pixel_bytes; ++b) {
        value |= uint32_t{p[b]} << (8 * (byte_order == 0 ? b : pixel_bytes - 1 - b));
      }
      uint32_t out = 0;
      for (uint32_t mask : masks) {
        int shift = 0;
        while (mask != 0 && ((mask >> shift) & 1) == 0) ++shift;
        out = (out << 8) | (((value & mask) >> shift) & 0xFF);
      }
      screen.rgb[size_t{y} * width + x] = out;
    }
  }
  return screen;
}

int Px(int32_t twips) { return static_cast<int>(std::lround(twips / 15.0)); }

// --- the fixture ---------------------------------------------------------------------

constexpr char kCaption[] = "Codigos de barra";
constexpr char kTyped[] = "kalvenor-39";

class BarcodeWindow : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
#ifndef KALVENOR_BARCODES_BINARY
    skip_reason_ = "kalvenor-barcodes was not built (GTK 3 not found)";
    return;
#endif
    for (const char* tool : {"Xvfb", "xdotool", "xwd", "xclip", "pdftoppm"}) {
      if (ShellOutput(std::string("command -v ") + tool).empty()) {
        skip_reason_ = std::string(tool) + " is not installed; run scripts/setup.sh";
        return;
      }
    }
    // Xvfb picks a free display and writes its number on descriptor 3
    // once it takes connections; the shell gives its process id first.
    std::istringstream started(ShellOutput(
        "Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp -noreset 3>&1 >/dev/null 2>&1 </dev/null & echo $!"));
    std::string number;
    started >> server_ >> number;
    if (number.empty()) {
      Stop(server_);
      skip_reason_ = "no X server could be started (Xvfb failed)";
      return;
    }
    display_ = ":" + number;
  }

  static void TearDownTestSuite() { Stop(server_); }

  void SetUp() override {
    if (!skip_reason_.empty()) GTEST_SKIP() << skip_reason_;
    char folder[] = "/tmp/kalvenor-window-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    dir_ = folder;
    std::filesystem::create_directories(dir_ + "/printers/COMANDERA");
  }

  void TearDown() override {
    Stop(program_);
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
  }

  // The environment of everything started on the virtual display.
  std::vector<std::string> Env() const {
    return {"DISPLAY=" + display_, "WAYLAND_DISPLAY=", "XAUTHORITY=", "GDK_BACKEND=x11",
            "NO_AT_BRIDGE=1", "GSETTINGS_BACKEND=memory", "KALVENOR_DEFAULT_PRINTER=",
            "KALVENOR_TRACE=", "KALVENOR_PRINTER_DIR=" + dir_ + "/printers"};
  }

  // Runs an X tool (at most 5 s); its standard output.
  std::string Tool(const std::vector<std::string>& argv) const {
    std::string command = "timeout 5 " + EnvCommand(Env());
    for (const std::string& arg : argv) command += " " + Quoted(arg);
    return ShellOutput(command + " 2>/dev/null </dev/null");
  }

  // Starts the program and waits for its window; false when it never shows.
  bool StartWindow(std::vector<std::string> env_changes = {}) {
#ifdef KALVENOR_BARCODES_BINARY
    const std::string binary = KALVENOR_BARCODES_BINARY;
#else
    const std::string binary = "kalvenor-barcodes";  // not reached: the suite skips
#endif
    std::vector<std::string> env = Env();
    env.insert(env.end(), env_changes.begin(), env_changes.end());
    program_ = std::atoi(ShellOutput(EnvCommand(env) + " " + Quoted(binary) + " </dev/null >/dev/null 2>" +
                                     Quoted(dir_ + "/stderr.txt") + " & echo $!")
                             .c_str());
    window_ = FindWindow(kCaption);
    if (window_.empty()) return false;
    std::string geometry = Tool({"xdotool", "getwindowgeometry", "--shell", window_});
    origin_x_ = ShellValue(geometry, "X");
    origin_y_ = ShellValue(geometry, "Y");
    return !geometry.empty();
  }

  std::string FindWindow(const std::string& title) {
    std::string id;
    WaitFor([&] {
      std::string found = Tool({"xdotool", "search", "--onlyvisible", "--name", "^" + title + "$"});
      id = found.substr(0, found.find('\n'));
      return !id.empty();
    });
    return id;
  }

  static int ShellValue(const std::string& text, const std::string& name) {
    size_t at = text.find(name + "=");
    return at == std::string::npos ? 0 : std::atoi(text.c_str() + at + name.size() + 1);
  }

  std::optional<Screen> Shot() {
    return ParseXwd(Tool({"xwd", "-root", "-silent"}));
  }

  // Clicks the middle of a control of the form (not one inside the frame).
  void Click(const frmCodBarra::Control& c) {
    Tool({"xdotool", "mousemove", std::to_string(origin_x_ + Px(c.Left + c.Width / 2)),
          std::to_string(origin_y_ + Px(c.Top + c.Height / 2)), "click", "1"});
  }

  // The region of PbCodigos on `screen` as a picture.
  Picture PbCodigosOnScreen(const Screen& screen, int width, int height) {
    auto data = std::make_shared<PictureData>();
    data->pixel_width = width;
    data->pixel_height = height;
    data->width_twips = width * 15.0f;
    data->height_twips = height * 15.0f;
    const int left = origin_x_ + Px(expected_->PbCodigos.Left);
    const int top = origin_y_ + Px(expected_->PbCodigos.Top);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        data->pixels.push_back(0xFF000000u | screen.At(left + x, top + y));
      }
    }
    return data;
  }

  // True when the screen shows the bars of the expected form's drawing: the
  // whole of row 25, which crosses every bar and no text, and the column
  // of the first bar below the check character's place.
  bool ShowsExpectedBars(const Screen& screen) {
    Picture expected = expected_->PbCodigos.Image();
    Picture shown = PbCodigosOnScreen(screen, expected->pixel_width, expected->pixel_height);
    auto dark = [](uint32_t argb) {
      return ((argb >> 16 & 0xFF) + (argb >> 8 & 0xFF) + (argb & 0xFF)) < 3 * 128;
    };
    auto at = [](const Picture& p, int x, int y) {
      return p->pixels[static_cast<size_t>(y) * p->pixel_width + x];
    };
    for (int x = 0; x < expected->pixel_width; ++x) {
      if (dark(at(expected, x, 25)) != dark(at(shown, x, 25))) return false;
    }
    for (int y = 15; y < expected->pixel_height; ++y) {
      if (dark(at(expected, 2, y)) != dark(at(shown, 2, y))) return false;
    }
    return true;
  }

  // Waits for the screen to show the expected form's bars; the Code 39
  // text read from the screen then.
  std::optional<std::string> WaitForExpectedBars() {
    std::optional<Screen> last;
    bool shown = WaitFor([&] {
      last = Shot();
      return last && ShowsExpectedBars(*last);
    });
    if (!shown) return std::nullopt;
    Picture expected = expected_->PbCodigos.Image();
    return ReadBarcode(PbCodigosOnScreen(*last, expected->pixel_width, expected->pixel_height),
                       Symbology::kCode39);
  }

  static std::string skip_reason_;
  static pid_t server_;
  static std::string display_;

  std::string dir_;
  pid_t program_ = -1;
  std::string window_;
  int origin_x_ = 0, origin_y_ = 0;
  // The same form, headless, put in the states the window is taken through.
  FormHarness harness_;
  std::unique_ptr<frmCodBarra> expected_ = harness_.MakeForm(/*real_canvases=*/true);
};

std::string BarcodeWindow::skip_reason_;
pid_t BarcodeWindow::server_ = -1;
std::string BarcodeWindow::display_;

TEST_F(BarcodeWindow, TypedTextOptionsCopyAndPrint) {
  ASSERT_TRUE(StartWindow()) << "the window never appeared";
  // The window is shown at the form's client size; PbCodigos keeps its
  // 360-twip margin from the first show on.
  expected_->Form_Resize();

  // The text box has the focus at start (tab index 0).
  Tool({"xdotool", "windowfocus", "--sync", window_, "type", "--delay", "5", kTyped});
  expected_->GenerarCodigoDeBarra39(FromUtf8(kTyped));
  EXPECT_EQ(WaitForExpectedBars(), "KALVENOR-39") << "options at start: spacing, text";

  // Each option in turn, reached with Tab in the form's order: "Copiar ",
  // then options 0, 2 and 1. Value sum of KALVENOR-39 = 218, 218 mod 43 = 3.
  struct Step {
    const char* keys;
    int16_t option;
    const char* read;
  };
  for (const Step& step : {Step{"Tab Tab space", 0, "KALVENOR-39"},
                           Step{"Tab space", 2, "KALVENOR-393"},
                           Step{"Tab space", 1, "KALVENOR-393"}}) {
    std::vector<std::string> argv = {"xdotool", "key", "--delay", "20"};
    for (std::string keys = step.keys; !keys.empty();) {
      size_t blank = keys.find(' ');
      argv.push_back(keys.substr(0, blank));
      keys = blank == std::string::npos ? "" : keys.substr(blank + 1);
    }
    Tool(argv);
    expected_->CkOpc[step.option].Value ^= 1;
    expected_->CkOpc_Click(step.option);
    EXPECT_EQ(WaitForExpectedBars(), step.read) << "after toggling option " << step.option;
  }

  // A wider window widens PbCodigos, keeping the margin.
  Tool({"xdotool", "windowsize", window_, "600", "425"});
  expected_->ScaleWidth = 600 * 15;
  expected_->Form_Resize();
  const int wide = expected_->PbCodigos.canvas->PixelWidth();
  ASSERT_EQ(wide, 576);
  EXPECT_TRUE(WaitFor([&] {
    auto screen = Shot();
    const int x = origin_x_ + Px(expected_->PbCodigos.Left) + wide - 4;
    const int y = origin_y_ + Px(expected_->PbCodigos.Top) + 30;
    return screen && screen->At(x, y) == 0xFFFFFF && screen->At(x + 8, y) != 0xFFFFFF;
  })) << "PbCodigos did not follow the window's width";

  // "Copiar " puts the picture on the clipboard as a PNG image.
  Click(expected_->CmdCopiar);
  Picture copied;
  EXPECT_TRUE(WaitFor([&] {
    std::string png = Tool({"xclip", "-selection", "clipboard", "-t", "image/png", "-o"});
    copied = png.empty() ? nullptr : PictureFromPngStream(png);
    return copied != nullptr;
  })) << "no image on the clipboard";
  if (copied) {
    EXPECT_EQ(copied->pixel_width, wide);
    EXPECT_EQ(copied->pixel_height, 67);
    EXPECT_EQ(ReadBarcode(copied, Symbology::kCode39), "KALVENOR-393");
  }

  // "Fin Imprimir" does nothing; "Imprimir" prints one page on the current
  // printer.
  Click(expected_->Command1);
  Click(expected_->cmbImprimir);
  const std::string pdf = dir_ + "/printers/COMANDERA/000001.pdf";
  std::optional<std::string> printed;
  EXPECT_TRUE(WaitFor([&] {
    if (!std::filesystem::exists(pdf)) return false;
    GreyRaster page = RasterisePdf(pdf, 300);
    if (page.pixels.empty()) return false;
    printed = ReadBarcode(page, Symbology::kCode39);
    return true;
  })) << "nothing was printed";
  EXPECT_EQ(printed, "KALVENOR-393");
  EXPECT_FALSE(std::filesystem::exists(dir_ + "/printers/COMANDERA/000002.pdf"));
}

TEST_F(BarcodeWindow, WarningIsAModalDialog) {
  // Without the clipboard tool the copy fails and the form warns.
  ASSERT_TRUE(StartWindow({"PATH=/nonexistent"})) << "the window never appeared";
  Click(expected_->CmdCopiar);
  std::string dialog = FindWindow("Kalvenor");
  ASSERT_FALSE(dialog.empty()) << "no warning dialog titled with the program's title";
  EXPECT_NE(dialog, window_);
  // The main window takes no input while the dialog is up.
  Tool({"xdotool", "windowfocus", "--sync", window_, "type", "X"});
  Tool({"xdotool", "windowfocus", "--sync", dialog, "key", "Return"});
  EXPECT_TRUE(WaitFor([&] {
    return Tool({"xdotool", "search", "--onlyvisible", "--name", "^Kalvenor$"}).empty();
  })) << "OK did not close the dialog";
  // Typing reaches the text box again once the dialog is gone.
  Click(expected_->TxtCodigo);
  Tool({"xdotool", "type", "--delay", "5", "A1"});
  expected_->Form_Resize();
  expected_->GenerarCodigoDeBarra39(u"A1");
  EXPECT_EQ(WaitForExpectedBars(), "A1") << "the box missed the typing, or took the X";
}

}  // namespace
}  // namespace kalvenor
