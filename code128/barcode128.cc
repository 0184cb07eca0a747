// Code 128 engine: symbol table, module patterns, font text and drawing.
#include "code128/barcode128.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "base/code_page.h"
#include "base/run_time_error.h"
#include "base/units.h"

namespace kalvenor {

namespace {

// Code 128 element widths, checked against ISO/IEC 15417 (values 0 to 102
// data and function symbols, 103 to 105 Start A/B/C, 106 Stop): eight values
// a row, each followed by a space.
constexpr char kWidthTable[] =
    "212222 222122 222221 121223 121322 131222 122213 122312 "  // 0 to 7
    "132212 221213 221312 231212 112232 122132 122231 113222 "  // 8 to 15
    "123122 123221 223211 221132 221231 213212 223112 312131 "  // 16 to 23
    "311222 321122 321221 312212 322112 322211 212123 212321 "  // 24 to 31
    "232121 111323 131123 131321 112313 132113 132311 211313 "  // 32 to 39
    "231113 231311 112133 112331 132131 113123 113321 133121 "  // 40 to 47
    "313121 211331 231131 213113 213311 213131 311123 311321 "  // 48 to 55
    "331121 312113 312311 332111 314111 221411 431111 111224 "  // 56 to 63
    "111422 121124 121421 141122 141221 112214 112412 122114 "  // 64 to 71
    "122411 142112 142211 241211 221114 413111 241112 134111 "  // 72 to 79
    "111242 121142 121241 114212 124112 124211 411212 421112 "  // 80 to 87
    "421211 212141 214121 412121 111143 111341 131141 114113 "  // 88 to 95
    "114311 411113 411311 113141 114131 311141 411131 211412 "  // 96 to 103
    "211214 211232 2331112 ";  // 104 to 106

// The widths of each value as a string of its own: six digits, seven for Stop.
struct WidthPatterns {
  char of[107][8] = {};
};

constexpr WidthPatterns SplitWidths() {
  WidthPatterns patterns;
  int value = 0, digit = 0;
  for (const char* c = kWidthTable; *c != '\0'; ++c) {
    if (*c == ' ') {
      ++value;
      digit = 0;
    } else {
      patterns.of[value][digit++] = *c;
    }
  }
  return patterns;
}

constexpr WidthPatterns kWidths = SplitWidths();
static_assert(std::string_view(kWidths.of[0]) == "212222" && std::string_view(kWidths.of[106]) == "2331112");

constexpr int kStop = 106;
constexpr int kQuietModules = 10;

// Start symbol value of a set (103, 104, 105), or -1 for an unknown set.
int StartValue(int32_t set) {
  return set >= kCode128SetA && set <= kCode128SetC ? 102 + set : -1;
}

// Set C: the numbers of the digit pairs at positions 1, 3, 5, ...; a last
// lone digit reads alone, a pair that is not all digits reads as 0.
std::vector<int16_t> DigitPairs(const Text& s) {
  std::vector<int16_t> values;
  for (size_t i = 0; i < s.size(); i += 2) {
    Text pair = s.substr(i, 2);
    int16_t n = 0;
    for (char16_t c : pair) {
      if (c < u'0' || c > u'9') {
        n = 0;
        break;
      }
      n = static_cast<int16_t>(n * 10 + (c - u'0'));
    }
    values.push_back(n);
  }
  return values;
}

// start + sum of value x position; the products are 16-bit like the rest
// of the counter's arithmetic, so data past their range are refused.
int32_t CheckValue(int start, const std::vector<int16_t>& values) {
  int32_t sum = start;
  for (size_t k = 1; k <= values.size(); ++k) {
    int32_t product = static_cast<int32_t>(values[k - 1]) * static_cast<int32_t>(k);
    if (k > 32767 || product > 32767) throw RunTimeError(kOverflow);
    sum += product;
  }
  return sum % 103;
}

constexpr int16_t kCodeB = 100, kCodeC = 99;

bool IsDigitValue(int16_t v) { return v >= 16 && v <= 25; }  // "0" to "9" in set B

// Set B data values `b` in the fewest symbols of sets B and C, with the
// start value in `*start`: digit pairs in set C, the rest in set B, and a
// switch wherever that saves symbols. cost[i][c] is the symbols that carry
// b[i..] in set B (c = 0) or C (c = 1).
std::vector<int16_t> ShortestValues(const std::vector<int16_t>& b, int* start) {
  const size_t n = b.size();
  auto pair_at = [&](size_t i) { return i + 1 < n && IsDigitValue(b[i]) && IsDigitValue(b[i + 1]); };
  std::vector<std::array<size_t, 2>> cost(n + 1, {0, 0});
  for (size_t i = n; i-- > 0;) {
    // Set B: one symbol, or a switch to C before a pair. Set C: a pair, else a switch to B.
    cost[i][0] = 1 + cost[i + 1][0];
    if (pair_at(i)) {
      cost[i][1] = 1 + cost[i + 2][1];
      cost[i][0] = std::min(cost[i][0], 1 + cost[i][1]);
    } else {
      cost[i][1] = 1 + cost[i][0];
    }
  }
  int set = n > 0 && cost[0][1] < cost[0][0] ? 1 : 0;
  *start = set == 1 ? 105 : 104;
  std::vector<int16_t> values;
  for (size_t i = 0; i < n;) {
    if (set == 0 && pair_at(i) && 1 + cost[i][1] < 1 + cost[i + 1][0]) {
      values.push_back(kCodeC);
      set = 1;
    } else if (set == 1 && !pair_at(i)) {
      values.push_back(kCodeB);
      set = 0;
    } else if (set == 1) {
      values.push_back(static_cast<int16_t>((b[i] - 16) * 10 + (b[i + 1] - 16)));
      i += 2;
    } else {
      values.push_back(b[i++]);
    }
  }
  return values;
}

// The font character of symbol value v (see Texto).
char16_t FontChar(int v) { return static_cast<char16_t>(v < 95 ? v + 32 : v + 100); }

}  // namespace

const char* Code128Widths(int value) {
  return value >= 0 && value <= kStop ? kWidths.of[value] : "";
}

BarCode128::BarCode128(ScreenFonts screen_fonts)
    : tabla_(std::make_shared<colC128>()), screen_fonts_(std::move(screen_fonts)) {
  InicializarTabla();
}

void BarCode128::InicializarTabla() {
  for (int v = 0; v <= kStop; ++v) {
    std::shared_ptr<C128> entry = tabla_->Add(Text());
    entry->Valor = static_cast<int16_t>(v);
    entry->Código = v <= 94 ? Text(1, static_cast<char16_t>(v + 32)) : Text();
    const char* widths = kWidths.of[v];
    entry->Patrón = Text(widths, widths + std::char_traits<char>::length(widths));
  }
}

void BarCode128::Tabla(std::shared_ptr<colC128> vData) {
  if (!vData) throw RunTimeError(kInvalidProcedureCall);
  tabla_ = std::move(vData);
}

Text BarCode128::BuscarPatrón(const Text& sText) const {
  for (const auto& entry : *tabla_) {
    if (entry->Código == sText) return entry->Patrón;
  }
  return Text();
}

int16_t BarCode128::BuscarValor(const Text& sText) const {
  for (const auto& entry : *tabla_) {
    if (entry->Código == sText) return entry->Valor;
  }
  return -1;
}

std::vector<int16_t> BarCode128::DataValues(const Text& Texto, int32_t set) const {
  if (set == kCode128SetC) return DigitPairs(Texto);
  std::vector<int16_t> values;
  for (char16_t c : Texto) {
    int code = ExactAnsiCode(c);  // codes past 134 fall outside every set
    int v = -1;
    if (set == kCode128SetA) {
      if (code >= 32 && code <= 95) v = BuscarValor(Text(1, c));
      else if (code >= 0 && code <= 31) v = code + 64;
      else if (code >= 127 && code <= 134) v = code - 32;
    } else if (set == kCode128SetB) {
      if (code >= 32 && code <= 126) v = BuscarValor(Text(1, c));
      else if (code >= 127 && code <= 134) v = code - 32;
    }
    if (v >= 0) values.push_back(static_cast<int16_t>(v));
  }
  return values;
}

Text BarCode128::Barras(const Text& Texto, int32_t Codificación) {
  int start = StartValue(Codificación);
  std::vector<int16_t> values;
  if (Codificación == kCode128Shortest) {
    values = ShortestValues(DataValues(Texto, kCode128SetB), &start);
  } else if (start < 0) {
    return Text();
  } else {
    values = DataValues(Texto, Codificación);
  }
  Text pattern = tabla_->Item(start + 1)->Patrón;
  for (int16_t v : values) pattern += tabla_->Item(v + 1)->Patrón;
  pattern += tabla_->Item(CheckValue(start, values) + 1)->Patrón;
  pattern += tabla_->Item(kStop + 1)->Patrón;
  return pattern;
}

Text BarCode128::Texto(const Text& Frase, int32_t Clase) {
  int start = StartValue(Clase);
  if (start < 0) return Text();
  Text out(1, FontChar(start));
  std::vector<int16_t> values;
  if (Clase == kCode128SetC) {
    values = DigitPairs(Frase);
    for (int16_t v : values) out += FontChar(v);
  } else {
    int16_t limit = Clase == kCode128SetA ? 64 : 95;
    for (char16_t c : Frase) {
      int16_t v = BuscarValor(Text(1, c));
      if (v < 0 || v >= limit) continue;
      values.push_back(v);
      out += c;
    }
  }
  out += FontChar(CheckValue(start, values));
  out += FontChar(kStop);
  return out;
}

// The data in plain text under the bars, ending the line. Placed as the
// counter always has: from the quiet zone's width, not from the drawing's own
// left edge; `x` is where the drawing ended.
void BarCode128::PrintTextUnderBars(const Text& Texto, float x, float Y, float Densidad,
                                    float Alto, const Text& Fuente, int16_t Tamaño,
                                    PrintSurface& DC) {
  DC.Font.Name = Fuente;
  DC.Font.Size = Tamaño;
  DC.CurrentY = Y + Alto;
  DC.CurrentX = kQuietModules * Densidad + (x - DC.TextWidth(Texto)) / 2;
  DC.Print(Texto, true);
}

float BarCode128::DrawModules(const Text& Texto, int32_t Codificación, float x, float Y,
                              float Densidad, float Alto, PrintSurface& surface) {
  Text pattern = Barras(Texto, Codificación);
  for (size_t p = 0; p < pattern.size(); ++p) {
    // Odd 1-based positions are bars, even ones spaces.
    uint32_t color = p % 2 == 0 ? kBlack : kWhite;
    for (int m = 0; m < pattern[p] - u'0'; ++m) {
      surface.Line(x, Y, x, Y + Alto, color);
      x += Densidad;
    }
  }
  return x;
}

bool BarCode128::GenerarBarras(const Text& Texto, PrintSurface& DC, int32_t Codificación,
                               float X, float& Y, float Densidad, float Alto,
                               bool ImprimirTexto, const Text& Fuente, int16_t Tamaño) {
  DC.DrawWidth = 1;
  if (Y == -1) Y = DC.CurrentY;
  float x = X == -1 ? DC.CurrentX : X;
  x += kQuietModules * Densidad;
  x = DrawModules(Texto, Codificación, x, Y, Densidad, Alto, DC);
  for (int i = 0; i < kQuietModules; ++i) {
    DC.Line(x, Y, x, Y + Alto, kWhite);
    x += Densidad;
  }
  if (ImprimirTexto) PrintTextUnderBars(Texto, x, Y, Densidad, Alto, Fuente, Tamaño, DC);
  return false;
}

bool BarCode128::GenerarBarrasImpresora(const Text& Texto, int32_t Codificación, float X,
                                        float& Y, float Densidad, float Alto,
                                        bool ImprimirTexto, const Text& Fuente,
                                        int16_t Tamaño, PrintSurface& printer) {
  printer.DrawWidth = 5;
  if (Y == -1) Y = printer.CurrentY;
  float x = X == -1 ? printer.CurrentX : X;
  x += kQuietModules * Densidad;
  x = DrawModules(Texto, Codificación, x, Y, Densidad, Alto, printer);
  if (ImprimirTexto) PrintTextUnderBars(Texto, x, Y, Densidad, Alto, Fuente, Tamaño, printer);
  return false;
}

bool BarCode128::PonerFuente(PrintSurface& Objeto) {
  try {
    Text wanted = UCase(Trim(font_name_));
    int count = Objeto.FontCount();
    for (int i = 0; i < count; ++i) {
      if (UCase(Trim(Objeto.Fonts(i))) == wanted) {
        Objeto.Font.Name = font_name_;
        return true;
      }
    }
  } catch (const RunTimeError&) {
    // A surface without a font list simply cannot take the font.
  }
  return false;
}

bool BarCode128::AsignarFuente(const Text& Fuente) {
  if (!screen_fonts_) return false;
  Text wanted = UCase(Trim(Fuente));
  for (const Text& name : screen_fonts_()) {
    if (UCase(Trim(name)) == wanted) {
      font_name_ = Fuente;
      return true;
    }
  }
  return false;
}

}  // namespace kalvenor
