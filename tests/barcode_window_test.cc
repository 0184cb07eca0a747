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

#ifdef KALVENOR_BARCODES_BINARY
const char kBinary[] = KALVENOR_BARCODES_BINARY;
#else
const char kBinary[] = "";
#endif
constexpr char kCaption[] = "Codigos de barra";
constexpr char kTyped[] = "kalvenor-39";

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
  std::string command = "env";
  for (const std::string& c : changes) command += c.back() == '=' ? " -u " + c.substr(0, c.size() - 1) : "";
  for (const std::string& c : changes) command += c.back() == '=' ? "" : " " + ShellQuote(c);
  return command;
}

// Asks `ready` every 50 ms until it holds or `limit` passes.
bool WaitFor(const std::function<bool()>& ready, milliseconds limit = milliseconds(8000)) {
  for (const Clock::time_point deadline = Clock::now() + limit; !ready();) {
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(milliseconds(50));
  }
  return true;
}

// A screenshot, 0xRRGGBB a pixel.
struct Screen {
  int width = 0, height = 0;
  std::vector<uint32_t> rgb;
  uint32_t At(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return 0xFFFFFFFF;
    return rgb[static_cast<size_t>(y) * width + x];
  }
};

// The pixels of an X window dump (xwd: a Z pixmap of 24- or 32-bit
// true-colour pixels, 8 bits a channel, in either byte order).
std::optional<Screen> ParseXwd(const std::string& bytes) {
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  auto field = [&](int index) -> uint32_t {
    const unsigned char* p = data + 4 * index;
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
  };
  if (bytes.size() < 100 || field(1) != 7 || field(2) != 2 || (field(11) != 24 && field(11) != 32) ||
      field(14) != 0xFF0000 || field(15) != 0xFF00 || field(16) != 0xFF || field(4) > 8192 ||
      field(5) > 8192) {
    return std::nullopt;
  }
  Screen screen{static_cast<int>(field(4)), static_cast<int>(field(5)), {}};
  const size_t start = size_t{field(0)} + size_t{field(19)} * 12, line = field(12), size = field(11) / 8;
  if (line < size * screen.width || bytes.size() < start + line * screen.height) return std::nullopt;
  for (int y = 0; y < screen.height; ++y) {
    for (int x = 0; x < screen.width; ++x) {
      const unsigned char* p = data + start + y * line + size * x;
      screen.rgb.push_back(field(7) == 0 ? uint32_t{p[2]} << 16 | p[1] << 8 | p[0]  // least significant first
                                         : uint32_t{p[size - 3]} << 16 | p[size - 2] << 8 | p[size - 1]);
    }
  }
  return screen;
}

int Px(int32_t twips) { return static_cast<int>(std::lround(twips / 15.0)); }

class BarcodeWindow : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (*kBinary == '\0') skip_reason_ = "kalvenor-barcodes was not built (GTK 3 not found)";
    for (const char* tool : {"Xvfb", "xdotool", "xwd", "xclip", "pdftoppm"}) {
      if (ShellOutput(std::string("command -v ") + tool).empty()) {
        skip_reason_ = std::string(tool) + " is not installed; run scripts/setup.sh";
      }
    }
    if (!skip_reason_.empty()) return;
    // Xvfb picks a free display and writes its number on descriptor 3
    // once it takes connections; the shell gives its process id first.
    std::istringstream started(ShellOutput("Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp -noreset "
                                           "3>&1 >/dev/null 2>&1 </dev/null & echo $!"));
    std::string number;
    started >> server_ >> number;
    if (number.empty()) skip_reason_ = "no X server could be started (Xvfb failed)";
    display_ = ":" + number;
  }
  static void TearDownTestSuite() { Stop(server_); }

  void SetUp() override {
    if (!skip_reason_.empty()) GTEST_SKIP() << skip_reason_;
    sandbox_.MakeFolder("printers/COMANDERA");
  }
  void TearDown() override { Stop(program_); }

  // The environment of everything started on the virtual display.
  std::vector<std::string> Env() const {
    return {"DISPLAY=" + display_, "WAYLAND_DISPLAY=", "XAUTHORITY=", "GDK_BACKEND=x11",
            "NO_AT_BRIDGE=1", "GSETTINGS_BACKEND=memory", "KALVENOR_DEFAULT_PRINTER=",
            "KALVENOR_TRACE=", "KALVENOR_PRINTER_DIR=" + sandbox_.Path("printers")};
  }

  // Runs an X tool (at most 5 s); its standard output.
  std::string Tool(const std::vector<std::string>& argv) const {
    std::string command = "timeout 5 " + EnvCommand(Env());
    for (const std::string& arg : argv) command += " " + ShellQuote(arg);
    return ShellOutput(command + " 2>/dev/null </dev/null");
  }

  // Starts the program and waits for its window; false when it never shows.
  bool StartWindow(std::vector<std::string> env = {}) {
    std::vector<std::string> all = Env();
    all.insert(all.end(), env.begin(), env.end());
    std::string stderr_path = ShellQuote(sandbox_.Path("stderr.txt"));
    program_ = std::atoi(
        ShellOutput(EnvCommand(all) + " " + ShellQuote(kBinary) + " </dev/null >/dev/null 2>" + stderr_path +
                    " & echo $!").c_str());
    window_ = FindWindow(kCaption);
    std::string geometry = window_.empty() ? "" : Tool({"xdotool", "getwindowgeometry", "--shell", window_});
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

  std::optional<Screen> Shot() { return ParseXwd(Tool({"xwd", "-root", "-silent"})); }

  // Clicks the middle of a control of the form (not one inside the frame).
  void Click(const frmCodBarra::Control& c) {
    Tool({"xdotool", "mousemove", std::to_string(origin_x_ + Px(c.Left + c.Width / 2)),
          std::to_string(origin_y_ + Px(c.Top + c.Height / 2)), "click", "1"});
  }

  // The region of PbCodigos on `screen` as a picture of the expected form's size.
  Picture PbCodigosOnScreen(const Screen& screen) {
    Picture expected = expected_->PbCodigos.Image();
    auto data = std::make_shared<PictureData>();
    data->pixel_width = expected->pixel_width;
    data->pixel_height = expected->pixel_height;
    data->width_twips = expected->width_twips;
    data->height_twips = expected->height_twips;
    const int left = origin_x_ + Px(expected_->PbCodigos.Left);
    const int top = origin_y_ + Px(expected_->PbCodigos.Top);
    for (int y = 0; y < data->pixel_height; ++y) {
      for (int x = 0; x < data->pixel_width; ++x) {
        data->pixels.push_back(0xFF000000u | screen.At(left + x, top + y));
      }
    }
    return data;
  }

  // Waits for the screen to show the bars of the expected form's drawing: the
  // whole of row 25, which crosses every bar and no text, and the column of
  // the first bar below the check character's place. The Code 39 text read
  // from the screen then.
  std::optional<std::string> WaitForExpectedBars() {
    Picture expected = expected_->PbCodigos.Image(), shown;
    auto dark = [](const Picture& p, int x, int y) {
      uint32_t argb = p->pixels[static_cast<size_t>(y) * p->pixel_width + x];
      return ((argb >> 16 & 0xFF) + (argb >> 8 & 0xFF) + (argb & 0xFF)) < 3 * 128;
    };
    bool same = WaitFor([&] {
      std::optional<Screen> screen = Shot();
      if (!screen) return false;
      shown = PbCodigosOnScreen(*screen);
      for (int x = 0; x < expected->pixel_width; ++x) {
        if (dark(expected, x, 25) != dark(shown, x, 25)) return false;
      }
      for (int y = 15; y < expected->pixel_height; ++y) {
        if (dark(expected, 2, y) != dark(shown, 2, y)) return false;
      }
      return true;
    });
    return same ? ReadBarcode(shown, Symbology::kCode39) : std::nullopt;
  }

  static std::string skip_reason_;
  static pid_t server_;
  static std::string display_;

  Sandbox sandbox_;
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
    std::vector<std::string> keys;
    int16_t option;
    const char* read;
  };
  for (const Step& step : {Step{{"Tab", "Tab", "space"}, 0, "KALVENOR-39"},
                           Step{{"Tab", "space"}, 2, "KALVENOR-393"},
                           Step{{"Tab", "space"}, 1, "KALVENOR-393"}}) {
    std::vector<std::string> argv = {"xdotool", "key", "--delay", "20"};
    argv.insert(argv.end(), step.keys.begin(), step.keys.end());
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
  const std::string pdf = sandbox_.Path("printers/COMANDERA/000001.pdf");
  std::optional<std::string> printed;
  EXPECT_TRUE(WaitFor([&] {
    GreyRaster page = RasterisePdf(pdf, 300);
    if (page.pixels.empty()) return false;
    printed = ReadBarcode(page, Symbology::kCode39);
    return true;
  })) << "nothing was printed";
  EXPECT_EQ(printed, "KALVENOR-393");
  EXPECT_FALSE(sandbox_.Exists("printers/COMANDERA/000002.pdf"));
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
