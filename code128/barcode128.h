// BarCode128: the Code 128 engine. Builds the module pattern of a text in a
// chosen code set (it never switches sets by itself) and draws it as one
// line per module on any print surface, or gives the text to print in a
// Code 128 font.
#ifndef KALVENOR_CODE128_BARCODE128_H_
#define KALVENOR_CODE128_BARCODE128_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "code128/c128_table.h"
#include "base/text.h"
#include "render/print_surface.h"

namespace kalvenor {

// The element widths of Code 128 symbol `value` (0 to 106), bar first, as
// in ISO/IEC 15417: six digits summing to 11, seven for Stop (106).
const char* Code128Widths(int value);

// Code set selectors of Barras and Texto. kCode128Shortest (Barras and the
// drawing only) carries set B's data in the fewest symbols, switching to
// set C for runs of digits; it decodes to what set B does.
enum : int32_t { kCode128SetA = 1, kCode128SetB = 2, kCode128SetC = 3, kCode128Shortest = 4 };

class BarCode128 {
 public:
  // The names of the fonts the screen offers; AsignarFuente looks there. A
  // print server has no screen: no provider means no fonts.
  using ScreenFonts = std::function<std::vector<Text>()>;

  explicit BarCode128(ScreenFonts screen_fonts = nullptr);

  // Draws the symbol of `Texto` on `DC`: a 10-module quiet zone, one line
  // of the surface per module (bars black, spaces white) from y = `Y` to
  // `Y` + `Alto`, `Densidad` apart, a white 10-module trailing quiet zone,
  // then, with `ImprimirTexto`, `Texto` under the bars in `Fuente` at
  // `Tamaño` points. `X` or `Y` of -1 take the surface's current position;
  // the surface's CurrentY is written back into `Y`. Always returns false.
  // Raises RunTimeError when the data leave the 16-bit check range.
  bool GenerarBarras(const Text& Texto, PrintSurface& DC, int32_t Codificación, float X,
                     float& Y, float Densidad, float Alto, bool ImprimirTexto,
                     const Text& Fuente, int16_t Tamaño);
  // The same on `printer`, with a pen 5 device pixels wide and no trailing
  // quiet zone. Always returns false.
  bool GenerarBarrasImpresora(const Text& Texto, int32_t Codificación, float X, float& Y,
                              float Densidad, float Alto, bool ImprimirTexto,
                              const Text& Fuente, int16_t Tamaño, PrintSurface& printer);

  // The module pattern of `Texto` in code set `Codificación`: the widths of
  // start, data, check and Stop symbols concatenated. Characters the set
  // cannot carry are skipped. Set C reads digit pairs (a last lone digit
  // alone, a pair that is not numeric as 0). An unknown selector gives "".
  Text Barras(const Text& Texto, int32_t Codificación);
  // The text to print in a Code 128 font whose characters 32 to 126 are
  // the symbols of values 0 to 94 and characters 195 to 206 the values 95
  // to 106 (203 to 205 the starts, 206 Stop). Classes 1 and 2 keep the
  // characters below value 64 or 95 unchanged and skip the rest; class 3
  // reads digit pairs. An unknown class gives "".
  Text Texto(const Text& Frase, int32_t Clase = 0);

  // Selects the stored font name on `Objeto` when its font list has it
  // (ignoring case and surrounding spaces). False when it does not or when
  // the surface has no font list.
  bool PonerFuente(PrintSurface& Objeto);
  // Stores `Fuente` unchanged when the screen has a font of that name
  // (ignoring case and surrounding spaces); false otherwise.
  bool AsignarFuente(const Text& Fuente);
  const Text& Fuente() const { return font_name_; }

  // Appends the 107 symbols in value order (position v + 1 holds value v).
  void InicializarTabla();
  std::shared_ptr<colC128> Tabla() const { return tabla_; }
  // Replaces the table; a null table raises RunTimeError.
  void Tabla(std::shared_ptr<colC128> vData);

 private:
  friend class BarCode128Peer;  // tests reach the two lookups

  // The Patrón / Valor of the first entry whose Código equals `sText`;
  // "" / -1 when none does.
  Text BuscarPatrón(const Text& sText) const;
  int16_t BuscarValor(const Text& sText) const;

  // The symbol values of `Texto` in the set, without start or check.
  std::vector<int16_t> DataValues(const Text& Texto, int32_t set) const;
  // Draws the modules of `Texto` from x; returns the x after the last one.
  float DrawModules(const Text& Texto, int32_t Codificación, float x, float Y,
                    float Densidad, float Alto, PrintSurface& surface);
  // The data under the bars, centred on the drawing that ended at x.
  static void PrintTextUnderBars(const Text& Texto, float x, float Y, float Densidad, float Alto,
                                 const Text& Fuente, int16_t Tamaño, PrintSurface& DC);

  std::shared_ptr<colC128> tabla_;
  Text font_name_ = u"PF_C128.ttf";
  ScreenFonts screen_fonts_;
};

}  // namespace kalvenor

#endif  // KALVENOR_CODE128_BARCODE128_H_
