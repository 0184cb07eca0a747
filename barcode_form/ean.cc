// EAN-13 and EAN-8 on the form's imgEAN box: check digit, digit patterns
// and bars, one unit per module.
#include <string>

#include "barcode_form/frm_cod_barra.h"
#include "barcode_form/sharp_picture.h"
#include "base/run_time_error.h"
#include "base/units.h"

namespace kalvenor {

namespace {

constexpr uint8_t kGuardExtra = 6;
// A module is one unit of imgEAN, two pixels.
constexpr int kModulePixels = 2;

// A digit printed as a number: a blank in the sign place and a trailing blank.
Text AsNumber(int16_t d) { return u" " + Text(1, static_cast<char16_t>(u'0' + d)) + u" "; }

}  // namespace

void frmCodBarra::iniciarAr() {
  // Number sets A (L), B (G) and C (R) and the first-digit parity of
  // ISO/IEC 15420.
  tablasEAN[0] = {u"0001101", u"0011001", u"0010011", u"0111101", u"0100011",
                  u"0110001", u"0101111", u"0111011", u"0110111", u"0001011"};
  tablasEAN[1] = {u"0100111", u"0110011", u"0011011", u"0100001", u"0011101",
                  u"0111001", u"0000101", u"0010001", u"0001001", u"0010111"};
  tablasEAN[2] = {u"1110010", u"1100110", u"1101100", u"1000010", u"1011100",
                  u"1001110", u"1010000", u"1000100", u"1001000", u"1110100"};
  paridadEAN = {u"000000", u"001011", u"001101", u"001110", u"010011",
                u"011001", u"011100", u"010101", u"010110", u"011010"};
}

Picture frmCodBarra::bGenerar_Click(const Text& codigoBarras) {
  try {
    iniciarAr();
    size_t n = codigoBarras.size();
    // More than 20 characters is refused like too few: the symbol would
    // otherwise be built from nothing.
    if (n <= 6 || n >= 21) {
      msgAviso(u"Introduzca 8 o 13 caracteres numéricos.");
      return nullptr;
    }
    Text data;
    if (n <= 11) {
      tipoEAN = 8;
      data = Left(codigoBarras, 7);
    } else {
      tipoEAN = 13;
      data = Left(codigoBarras, 12);
    }
    codigoEAN = formarCodBarras(data);
    dibujarEAN();
    return WithSharpBars(imgEAN.Image(), kModulePixels);
  } catch (const RunTimeError& e) {
    if (e.number() == kTypeMismatch) {
      msgAviso(u"Introduzca sólo números.");
    } else {
      msgAviso(u"Se ha producido un error al intentar generar el código de barras: " +
               FromUtf8(std::to_string(e.number()) + " " + e.description()));
    }
    return nullptr;
  }
}

Text frmCodBarra::formarCodBarras(Text codBarrasOr) {
  return codBarrasOr + static_cast<char16_t>(u'0' + comprobarDigitoControl(codBarrasOr));
}

uint8_t frmCodBarra::comprobarDigitoControl(Text codigo) {
  if (codigo.size() != 7 && codigo.size() != 12) return 0;
  codigo = Text(17 - codigo.size(), u'0') + codigo;
  // GS1 modulo 10: weights 3 and 1 alternate so that the rightmost data
  // digit always weighs 3.
  unsigned sum = 0;
  unsigned weight = 3;
  for (char16_t c : codigo) {
    if (c >= u'0' && c <= u'9') sum += weight * (c - u'0');
    weight = 4 - weight;
  }
  return static_cast<uint8_t>(sum % 10 == 0 ? 0 : 10 - sum % 10);
}

int16_t frmCodBarra::medIn(const Text& vTextoTmp, int32_t vPosicion) {
  if (vPosicion < 1) throw RunTimeError(kInvalidProcedureCall);
  Text c = Mid(vTextoTmp, static_cast<size_t>(vPosicion), 1);
  if (c.size() != 1 || c[0] < u'0' || c[0] > u'9') throw RunTimeError(kTypeMismatch);
  return static_cast<int16_t>(c[0] - u'0');
}

void frmCodBarra::dibujarBarra(int32_t X, uint8_t extra) {
  imgEAN.canvas->Line(X, 5, X, 46 + extra, kBlack);
}

void frmCodBarra::dibujarGuarda(int32_t& X) {
  dibujarBarra(X, kGuardExtra);
  dibujarBarra(X + 2, kGuardExtra);
  X += 3;
}

void frmCodBarra::dibujarEAN() {
  Canvas& canvas = *imgEAN.canvas;
  canvas.BackColor = kWhite;
  canvas.Cls();
  canvas.Font.Size = 12;
  canvas.DrawWidth = 2;

  const bool ean8 = tipoEAN == 8;
  int32_t X = 11;
  const int32_t m = ean8 ? 5 : 8;
  int16_t leading = 0;
  for (int32_t i = 1; i <= tipoEAN; ++i) {
    int16_t d = medIn(codigoEAN, i);
    if (i == 1) {
      leading = d;
      dibujarGuarda(X);
      canvas.CurrentX = 2;
      canvas.CurrentY = 46;
      canvas.Print(ean8 ? Text(u"<") : AsNumber(d), true);
      if (!ean8) continue;  // EAN-13 carries its first digit in the parity
    }
    int set = 2;  // R
    if (i < m) set = ean8 ? 0 : medIn(paridadEAN[leading], i - 1);
    if (i == m) {
      X += 1;
      dibujarGuarda(X);
      X += 1;
    }
    const Text& pattern = tablasEAN[set][d];
    for (char16_t module : pattern) {
      if (module == u'1') dibujarBarra(X, 0);
      X += 1;
    }
    canvas.CurrentX = X - 8;
    canvas.CurrentY = 46;
    canvas.Print(AsNumber(d), true);
  }
  canvas.CurrentX = X + 8;
  canvas.CurrentY = 46;
  if (ean8) canvas.Print(u">", true);
  dibujarGuarda(X);
}

}  // namespace kalvenor
