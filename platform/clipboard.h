// Clipboard: the desktop's clipboard, for the barcode form's copy button.
#ifndef KALVENOR_PLATFORM_CLIPBOARD_H_
#define KALVENOR_PLATFORM_CLIPBOARD_H_

#include <memory>
#include <string>

#include "platform/file_system.h"
#include "platform/picture.h"

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

// The clipboard of the desktop session named by the environment: Wayland
// (WAYLAND_DISPLAY, through wl-copy) or X11 (DISPLAY, through xclip). With
// neither, or without the tool, every call fails with the reason.
std::unique_ptr<Clipboard> MakeSystemClipboard(EnvLookup env);

// The bitmap of `picture` as PNG bytes (8-bit RGBA);
// empty when the picture has no bitmap.
std::string PictureToPng(const PictureData& picture);

}  // namespace kalvenor

#endif  // KALVENOR_PLATFORM_CLIPBOARD_H_
