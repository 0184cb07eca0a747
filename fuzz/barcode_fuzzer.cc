// Fuzz target: the barcode encoders on arbitrary text. The first byte picks
// the encoder and its options: EAN-8/13, Code 39 (with its three options),
// the Code 128 engine (sets A, B, C and unknown, the font text and the
// drawn symbol) and the form's own Code 128 set B. The rest is the text,
// read as code page 437 as the slip's barcode texts are.
#include <cstddef>
#include <cstdint>
#include <string>

#include "barcode_form/frm_cod_barra.h"
#include "code128/barcode128.h"
#include "fuzz/fuzz_host.h"
#include "base/code_page.h"
#include "base/run_time_error.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kalvenor;
  if (size == 0 || size > 512) return 0;
  const uint8_t selector = data[0];
  Text text = DecodeCp437(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
  FuzzHost fuzz;
  frmCodBarra form(fuzz.host);
  switch (selector % 4) {
    case 0: {
      Picture picture = form.bGenerar_Click(text);
      Require(picture == nullptr || form.tipoEAN == 8 || form.tipoEAN == 13, "EAN-8 or EAN-13");
      break;
    }
    case 1:
      form.CkOpc[0].Value = (selector >> 2) & 1;
      form.CkOpc[1].Value = (selector >> 3) & 1;
      form.CkOpc[2].Value = (selector >> 4) & 1;
      form.GenerarCodigoDeBarra39(text);
      break;
    case 2: {
      BarCode128 engine;
      engine.InicializarTabla();
      int32_t set = (selector >> 2) % 5;  // 0 and 4 are unknown selectors
      Text modules = engine.Barras(text, set);
      Require(set == 0 || set == 4 || modules.size() >= 6 * 2 + 7, "start, check and stop");
      engine.Texto(text, set);
      float y = 100;
      try {
        engine.GenerarBarras(text, *fuzz.printer, set, 0, y, 15, 600, (selector & 0x80) != 0,
                             u"Consolas", 8);
      } catch (const RunTimeError&) {
        // Data outside the 16-bit check range: documented as raising.
      }
      break;
    }
    case 3:
      try {
        form.GenerateCode128(text);
      } catch (const RunTimeError& error) {
        Require(error.number() == kSubscriptOutOfRange || error.number() == kOverflow,
                "the form's Code 128 raises only its documented failures");
      }
      form.GenerateCode128B(Left(text, 40));
      break;
  }
  return 0;
}
