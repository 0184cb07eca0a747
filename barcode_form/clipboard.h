// Clipboard: where the barcode form's copy button puts the picture.
#ifndef KALVENOR_BARCODE_FORM_CLIPBOARD_H_
#define KALVENOR_BARCODE_FORM_CLIPBOARD_H_

#include <string>

#include "render/picture.h"

namespace kalvenor {

class Clipboard {
 public:
  virtual ~Clipboard() = default;
  // Empties the clipboard. False, with the reason in `err`, when there is
  // no clipboard to reach.
  virtual bool Clear(std::string* err) = 0;
  // Puts the bitmap of `picture` on the clipboard as a PNG image. An empty
  // picture or one without a bitmap is refused.
  virtual bool SetPicture(const Picture& picture, std::string* err) = 0;
};

}  // namespace kalvenor

#endif  // KALVENOR_BARCODE_FORM_CLIPBOARD_H_
