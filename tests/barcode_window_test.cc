// The barcode window on a virtual X server, driven with real input events: typed text and each option
// change the Code 39 symbol on screen, "Copiar " copies it, "Imprimir" prints it, the warning box is
// modal. Skipped where the program, Xvfb or the X tools are missing.
#include <signal.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <sstream>

#include "qr/image_conversion.h"
#include "testing/barcode_testing.h"
#include "testing/fake_host.h"
#include "testing/job_sandbox.h"

namespace kalvenor {
namespace {

#ifdef KALVENOR_BARCODES_BINARY
const char kBinary[] = KALVENOR_BARCODES_BINARY;
#else
const char kBinary[] = "";
#endif

// Asks `ready` until it holds: each question is a round trip to the X server (a screen dump, the
// clipboard, a window search), so this follows the window as fast as the server answers. `guard`
// only turns a window that never gets there into a failure.
bool Until(const std::function<bool()>& ready, std::chrono::seconds guard = std::chrono::seconds(60)) {
  for (const auto deadline = std::chrono::steady_clock::now() + guard; !ready();) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
  }
  return true;
}

// The screen in grey from an X window dump: a Z pixmap of 24- or 32-bit pixels, either byte order.
GreyRaster ParseXwd(const std::string& bytes) {
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  auto field = [&](int index) -> uint32_t {
    const unsigned char* p = data + 4 * index;
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
  };
  GreyRaster screen;
  const uint32_t size = field(11) / 8;  // bytes a pixel
  if (bytes.size() < 100 || (size != 3 && size != 4) || field(4) > 8192 || field(5) > 8192 ||
      field(12) < size * field(4) || bytes.size() < field(0) + field(19) * 12 + field(12) * field(5)) {
    return screen;
  }
  screen.width = static_cast<int>(field(4));
  screen.height = static_cast<int>(field(5));
  const unsigned char* start = data + field(0) + field(19) * 12 + (field(7) == 0 ? 0 : size - 3);
  for (int y = 0; y < screen.height; ++y) {
    for (int x = 0; x < screen.width; ++x) {
      const unsigned char* p = start + y * field(12) + size * x;
      screen.pixels.push_back(static_cast<uint8_t>((p[0] + p[1] + p[2]) / 3));
    }
  }
  return screen;
}

int Grey(const GreyRaster& r, int x, int y) {
  bool out = x < 0 || y < 0 || x >= r.width || y >= r.height;
  return out ? 255 : r.pixels[static_cast<size_t>(y) * r.width + x];
}

int Px(int32_t twips) { return static_cast<int>(std::lround(twips / 15.0)); }

class BarcodeWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    if (*kBinary == '\0') GTEST_SKIP() << "kalvenor-barcodes was not built (GTK 3 not found)";
    if (ShellOutput("for t in Xvfb xdotool xwd xclip pdftoppm; do command -v $t; done | wc -l") != "5\n") {
      GTEST_SKIP() << "Xvfb, xdotool, xwd, xclip or pdftoppm is not installed";
    }
    // Xvfb picks a free display and writes its number on its standard output once it takes
    // connections.
    server_ = std::make_unique<ReportingProcess>(
        std::vector<std::string>{"Xvfb", "-displayfd", "1", "-screen", "0", "640x480x24", "-nolisten", "tcp",
                                 "-noreset"},
        /*quiet=*/true);
    std::string number = server_->ReadLine();
    if (number.empty()) GTEST_SKIP() << "no X server could be started (Xvfb failed)";
    display_ = ":" + number;
    sandbox_.MakeFolder("printers/COMANDERA");
  }
  void TearDown() override {
    program_.reset();  // its window goes before the server does
    server_.reset();
  }

  // The environment of everything started on the virtual display, as a command prefix.
  std::string Env() const {
    return "env -u WAYLAND_DISPLAY -u XAUTHORITY -u KALVENOR_DEFAULT_PRINTER -u KALVENOR_TRACE DISPLAY=" +
           display_ + " GDK_BACKEND=x11 NO_AT_BRIDGE=1 GSETTINGS_BACKEND=memory KALVENOR_PRINTER_DIR=" +
           ShellQuote(sandbox_.Path("printers"));
  }

  // Runs an X tool's command line (cut off after `guard` seconds); its standard output.
  std::string Tool(const std::string& command, int guard = 10) const {
    return ShellOutput("timeout " + std::to_string(guard) + " " + Env() + " " + command + " 2>/dev/null </dev/null");
  }

  // Starts the program (with `env`, "NAME=value ...") and waits for its window.
  bool StartWindow(const std::string& env = "") {
    program_ = std::make_unique<ReportingProcess>(
        std::vector<std::string>{"sh", "-c", "exec " + Env() + " " + env + " " + ShellQuote(kBinary) +
                                                 " </dev/null 2>/dev/null"});
    window_ = FindWindow("Codigos de barra");
    std::string geometry = window_.empty() ? "" : Tool("xdotool getwindowgeometry --shell " + window_);
    return std::sscanf(geometry.c_str(), "WINDOW=%*d X=%d Y=%d", &origin_x_, &origin_y_) == 2;
  }

  // The program's visible window titled `title`, waited for: xdotool searches until it is mapped.
  // Windows are told apart by the process that owns them (_NET_WM_PID), never by title alone: a
  // window of an earlier program can still be listed while the server tears it down.
  std::string FindWindow(const std::string& title) {
    std::string id = Tool("xdotool search --sync --all --onlyvisible --pid " + std::to_string(program_->pid()) +
                              " --name " + ShellQuote("^" + title + "$"),
                          60);
    return id.substr(0, id.find('\n'));
  }

  GreyRaster Shot() { return ParseXwd(Tool("xwd -root -silent")); }

  // Clicks the middle of a control of the form (not one inside the frame).
  void Click(const frmCodBarra::Control& c) {
    Tool("xdotool mousemove " + std::to_string(origin_x_ + Px(c.Left + c.Width / 2)) + " " +
         std::to_string(origin_y_ + Px(c.Top + c.Height / 2)) + " click 1");
  }

  // Waits for PbCodigos on screen to show the expected form's bars (row 25, which crosses every bar and no
  // text, and the first bar's column); the Code 39 text read from the screen then.
  std::optional<std::string> WaitForExpectedBars() {
    Picture expected = expected_->PbCodigos.Image();
    auto shown = std::make_shared<PictureData>(*expected);
    auto dark = [](const Picture& p, int x, int y) {
      uint32_t argb = p->pixels[static_cast<size_t>(y) * p->pixel_width + x];
      return ((argb >> 16 & 0xFF) + (argb >> 8 & 0xFF) + (argb & 0xFF)) < 3 * 128;
    };
    const int left = origin_x_ + Px(expected_->PbCodigos.Left);
    const int top = origin_y_ + Px(expected_->PbCodigos.Top);
    bool same = Until([&] {
      GreyRaster screen = Shot();
      shown->pixels.clear();
      for (int y = 0; y < shown->pixel_height; ++y) {
        for (int x = 0; x < shown->pixel_width; ++x) {
          shown->pixels.push_back(0xFF000000u | 0x010101u * Grey(screen, left + x, top + y));
        }
      }
      for (int x = 0; x < expected->pixel_width; ++x) {
        if (dark(expected, x, 25) != dark(shown, x, 25)) return false;
      }
      for (int y = 15; y < expected->pixel_height; ++y) {
        if (dark(expected, 2, y) != dark(shown, 2, y)) return false;
      }
      return true;
    });
    return same ? ReadBarcode(Picture(shown), Symbology::kCode39) : std::nullopt;
  }

  Sandbox sandbox_;
  std::unique_ptr<ReportingProcess> server_, program_;
  std::string display_, window_;
  int origin_x_ = 0, origin_y_ = 0;
  // The same form, headless, put in the states the window is taken through.
  FormHarness harness_;
  std::unique_ptr<frmCodBarra> expected_ = harness_.MakeForm(/*real_canvases=*/true);
};

// The window runs in the counter's locale, whose numbers have a decimal comma; its trace goes to a FIFO
// the test reads, which also tells when a page was printed.
TEST_F(BarcodeWindow, TypedTextOptionsCopyPrintAndTheModalWarning) {
  Fifo trace(sandbox_.Path("trace"));
  ASSERT_TRUE(StartWindow("LANG=es_AR.UTF-8 LC_ALL=es_AR.UTF-8 KALVENOR_TRACE=" +
                          ShellQuote(sandbox_.Path("trace"))))
      << "the window never appeared";
  // The window is shown at the form's client size; PbCodigos keeps its
  // 360-twip margin from the first show on.
  expected_->Form_Resize();

  // The text box has the focus at start (tab index 0).
  Tool("xdotool windowfocus --sync " + window_ + " type --delay 5 kalvenor-39");
  expected_->GenerarCodigoDeBarra39(u"kalvenor-39");
  EXPECT_EQ(WaitForExpectedBars(), "KALVENOR-39") << "options at start: spacing, text";

  // Each option in turn, reached with Tab in the form's order: "Copiar ",
  // then options 0, 2 and 1. Value sum of KALVENOR-39 = 218, 218 mod 43 = 3.
  struct Step {
    const char* keys;
    int16_t option;
    const char* read;
  };
  for (const Step& step : {Step{"Tab Tab space", 0, "KALVENOR-39"}, Step{"Tab space", 2, "KALVENOR-393"},
                           Step{"Tab space", 1, "KALVENOR-393"}}) {
    Tool(std::string("xdotool key --delay 20 ") + step.keys);
    expected_->CkOpc[step.option].Value ^= 1;
    expected_->CkOpc_Click(step.option);
    EXPECT_EQ(WaitForExpectedBars(), step.read) << "after toggling option " << step.option;
  }

  // "Copiar " puts the picture on the clipboard as a PNG image.
  Click(expected_->CmdCopiar);
  Picture copied;
  EXPECT_TRUE(Until([&] {
    std::string png = Tool("xclip -selection clipboard -t image/png -o");
    copied = png.empty() ? nullptr : PictureFromPngStream(png);
    return copied != nullptr;
  })) << "no image on the clipboard";
  if (copied) {
    EXPECT_EQ(copied->pixel_width, expected_->PbCodigos.canvas->PixelWidth());
    EXPECT_EQ(copied->pixel_height, 67);
    EXPECT_EQ(ReadBarcode(copied, Symbology::kCode39), "KALVENOR-393");
  }

  // "Fin Imprimir" does nothing; "Imprimir" prints one page on the current printer. The trace's lines
  // are JSON whose numbers have a '.' point whatever the locale.
  Click(expected_->Command1);
  Click(expected_->cmbImprimir);
  std::string traced, line;
  while (!(line = trace.ReadLine()).empty()) {
    traced += line + "\n";
    if (line.starts_with("{\"op\":\"enddoc\"")) break;
  }
  ASSERT_TRUE(line.starts_with("{\"op\":\"enddoc\"")) << "nothing was printed: " << traced;
  EXPECT_EQ(JsonLinesProblems(traced), "") << traced;
  GreyRaster page = RasterisePdf(sandbox_.Path("printers/COMANDERA/000001.pdf"), 300);
  EXPECT_EQ(ReadBarcode(page, Symbology::kCode39), "KALVENOR-393");
  EXPECT_FALSE(sandbox_.Exists("printers/COMANDERA/000002.pdf"));

  // Without the clipboard tool the copy fails and the form warns.
  program_.reset();
  expected_ = harness_.MakeForm(/*real_canvases=*/true);
  ASSERT_TRUE(StartWindow("PATH=/nonexistent")) << "the window never appeared";
  Click(expected_->CmdCopiar);
  std::string dialog = FindWindow("Kalvenor");
  ASSERT_FALSE(dialog.empty()) << "no warning dialog titled with the program's title";
  EXPECT_NE(dialog, window_);
  // The main window takes no input while the dialog is up.
  Tool("xdotool windowfocus --sync " + window_ + " type X");
  Tool("xdotool windowfocus --sync " + dialog + " key Return");
  EXPECT_TRUE(Until([&] {
    return Tool("xdotool search --all --onlyvisible --pid " + std::to_string(program_->pid()) +
                " --name '^Kalvenor$'").empty();
  })) << "OK did not close the dialog";
  // Typing reaches the text box again once the dialog is gone.
  Click(expected_->TxtCodigo);
  Tool("xdotool type --delay 5 A1");
  expected_->Form_Resize();
  expected_->GenerarCodigoDeBarra39(u"A1");
  EXPECT_EQ(WaitForExpectedBars(), "A1") << "the box missed the typing, or took the X";
}

}  // namespace
}  // namespace kalvenor
