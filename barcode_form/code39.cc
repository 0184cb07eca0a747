// Code 39 on the form's PbCodigos box, following the three options: wider
// spaces, the text under the bars, and the modulo-43 check character.
#include <string>

#include "barcode_form/frm_cod_barra.h"
#include "barcode_form/sharp_picture.h"
#include "base/units.h"

namespace kalvenor {

namespace {


// The Code 39 character set in value order; "*" (43) is start and stop.
constexpr char16_t kAlphabet[] = u"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%*";
constexpr int kStartStop = 43;

// Element widths of each value: bar, space, ..., bar; "1" wide, "0" narrow
// (ISO/IEC 16388).
constexpr const char16_t* kPatrones39[44] = {
    u"000110100", u"100100001", u"001100001", u"101100000", u"000110001", u"100110000",
    u"001110000", u"000100101", u"100100100", u"001100100", u"100001001", u"001001001",
    u"101001000", u"000011001", u"100011000", u"001011000", u"000001101", u"100001100",
    u"001001100", u"000011100", u"100000011", u"001000011", u"101000010", u"000010011",
    u"100010010", u"001010010", u"000000111", u"100000110", u"001000110", u"000010110",
    u"110000001", u"011000001", u"111000000", u"010010001", u"110010000", u"011010000",
    u"010000101", u"110000100", u"011000100", u"010101000", u"010100010", u"010001010",
    u"000101010", u"010010100",
};

// Value of a data character, -1 when the set has none ("*" included).
int ValueOf39(char16_t c) {
  for (int v = 0; v < kStartStop; ++v) {
    if (kAlphabet[v] == c) return v;
  }
  return -1;
}

}  // namespace

Picture frmCodBarra::GenerarCodigoDeBarra39(const Text& Texto) {
  if (TxtCodigo.Text != Texto) {
    TxtCodigo.Text = Texto;
    TxtCodigo_Change();
  }
  return WithSharpBars(PbCodigos.Image());
}

void frmCodBarra::dibujarCodigo39() {
  Canvas& canvas = *PbCodigos.canvas;
  canvas.Cls();
  if (TxtCodigo.Text.empty()) return;

  const int32_t o = CkOpc[0].Value;  // extra width of spaces and gaps
  const int32_t h = CkOpc[1].Value;  // text under the bars
  Text text = UCase(TxtCodigo.Text);
  int32_t sum = 0;
  for (char16_t c : text) {
    int v = ValueOf39(c);
    if (v < 0) {
      canvas.Cls();
      canvas.Print(Text(1, c) + u" is Invalid", true);
      return;
    }
    sum += v;
  }
  if (h == 1) {
    canvas.CurrentX = static_cast<float>(text.size()) * (5 + 2 * o) + 35;
    canvas.CurrentY = 50;
    canvas.Print(text, false);
  }
  if (CkOpc[2].Value == 1) {
    char16_t check = kAlphabet[sum % 43];
    canvas.Print(u"_" + Text(1, check), true);
    text += check;
  }
  text = u"*" + text + u"*";

  // The column is wide enough for any text; what passes the canvas's edge
  // is clipped.
  int64_t X = 2;
  const float bottom = static_cast<float>(58 - 8 * h);
  for (char16_t c : text) {
    int v = c == u'*' ? kStartStop : ValueOf39(c);
    const char16_t* pattern = kPatrones39[v];
    for (int j = 1; j <= 9; ++j) {
      int32_t e = pattern[j - 1] == u'1' ? 1 : 0;
      if (j % 2 == 1) {
        for (int32_t col = 0; col < 2 * e + 1; ++col) {
          canvas.Line(static_cast<float>(X), 1, static_cast<float>(X), bottom, kBlack);
          X += 1;
        }
      } else {
        X += 1 + 2 * e + o;
      }
    }
    X += 1 + o;
  }
  canvas.Print(Text(), true);
}

}  // namespace kalvenor
