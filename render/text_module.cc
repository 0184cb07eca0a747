// Entry point of kalvenor-text.so: pango's text layout, loaded by the
// program only for what it does not shape from the font files itself.
#include "render/pango_text.h"

extern "C" {

// A new PangoText the caller owns, or null with `*error` set.
__attribute__((visibility("default"))) kalvenor::PangoText* KalvenorTextMakePango(std::string* error) {
  return kalvenor::MakePangoText(error).release();
}

}  // extern "C"
