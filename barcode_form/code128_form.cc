// Code 128 on the form: through the engine on CB, and the form's own set B
// encoder on imgEAN.
#include "barcode_form/frm_cod_barra.h"
#include "barcode_form/sharp_picture.h"
#include "code128/barcode128.h"
#include "base/run_time_error.h"
#include "base/units.h"

namespace kalvenor {

namespace {

constexpr int kStartB = 104;
constexpr int kStop = 106;

// The engine's symbol of `code` in code set `set` on `canvas`, and the
// canvas's picture with sharp bars, one pixel (15 twips) a module.
Picture DrawCode128(const Text& code, Canvas& canvas, int32_t set, std::function<Picture()> compact = nullptr) {
  BarCode128 engine;
  float y = 2;
  engine.GenerarBarras(code, canvas, set, -1, y, 15, 600, true, u"System", 4);
  return WithSharpBars(canvas.Image(), 1, std::move(compact));
}

}  // namespace

Picture frmCodBarra::GenerateCode128B(const Text& Code) {
  // The compact form is drawn alike on a fresh canvas of CB's size, when a
  // printer asks for it.
  const Canvas& cb = *CB.canvas;
  auto compact = [Code, make = make_canvas_, width = cb.PixelWidth(), height = cb.PixelHeight(), font = cb.Font,
                  fore = cb.ForeColor] {
    std::unique_ptr<Canvas> fresh = make(width, height, kTwipsPerPixel, kWhite);
    fresh->Font = font;
    fresh->ForeColor = fore;
    return DrawCode128(Code, *fresh, kCode128Shortest);
  };
  return DrawCode128(Code, *CB.canvas, kCode128SetB, compact);
}

Picture frmCodBarra::PrintedEan(const Text& code) {
  auto known = printed_ean_.find(code);
  if (known != printed_ean_.end()) return known->second;
  Picture picture = bGenerar_Click(code);
  if (picture) printed_ean_.emplace(code, picture);
  return picture;
}

void frmCodBarra::iniciarTabla128() {
  // The modules of each symbol, "1" dark: the engine's widths spelled out.
  for (int v = 0; v <= kStop; ++v) {
    Text modules;
    const char* widths = Code128Widths(v);
    for (int p = 0; widths[p] != '\0'; ++p) {
      modules.append(static_cast<size_t>(widths[p] - '0'), p % 2 == 0 ? u'1' : u'0');
    }
    patrones128[v] = modules;
  }
}

Picture frmCodBarra::GenerateCode128(const Text& Code) {
  iniciarTabla128();
  Text modules = patrones128[kStartB];
  int32_t sum = 0;
  for (size_t i = 1; i <= Code.size(); ++i) {
    char16_t c = Code[i - 1];
    if (c < 32 || c > 126) throw RunTimeError(kSubscriptOutOfRange);
    int32_t v = c - 32;
    sum += v * static_cast<int32_t>(i);
    // The weighted sum is a 16-bit number.
    if (sum > 32767) throw RunTimeError(kOverflow);
    modules += patrones128[v];
  }
  modules += patrones128[(sum + kStartB) % 103];
  modules += patrones128[kStop];

  Canvas& canvas = *imgEAN.canvas;
  canvas.BackColor = kWhite;
  canvas.Cls();
  canvas.Font.Size = 12;
  canvas.DrawWidth = 2;
  int32_t X = 0;
  for (char16_t module : modules) {
    if (module == u'1') canvas.Line(X, 0, X, 40, kBlack);
    X += 1;
  }
  canvas.CurrentX = 10;
  canvas.CurrentY = 46;
  canvas.Print(Code, true);
  return WithSharpBars(imgEAN.Image(), 2);  // one unit, two pixels, a module
}

}  // namespace kalvenor
