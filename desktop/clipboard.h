// The desktop's clipboard, for the barcode form's copy button.
#ifndef KALVENOR_DESKTOP_CLIPBOARD_H_
#define KALVENOR_DESKTOP_CLIPBOARD_H_

#include <memory>
#include <string>

#include "barcode_form/clipboard.h"
#include "host/file_system.h"

namespace kalvenor {

// The clipboard of the desktop session named by the environment: Wayland
// (WAYLAND_DISPLAY, through wl-copy) or X11 (DISPLAY, through xclip). With
// neither, or without the tool, every call fails with the reason.
std::unique_ptr<Clipboard> MakeSystemClipboard(EnvLookup env);

// The bitmap of `picture` as PNG bytes (8-bit RGBA);
// empty when the picture has no bitmap.
std::string PictureToPng(const PictureData& picture);

}  // namespace kalvenor

#endif  // KALVENOR_DESKTOP_CLIPBOARD_H_
