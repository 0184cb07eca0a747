// The built-in QR renderer: the picture that the rendering service would
// send, drawn here from the same parameters, with sharp vector modules.
#ifndef KALVENOR_QR_QR_RENDER_H_
#define KALVENOR_QR_QR_RENDER_H_

#include "render/picture.h"
#include "qr/qr_request.h"

namespace kalvenor {

// A symbol of the data in 8-bit mode at the smallest version that holds it,
// with `Margin` modules of quiet zone (none when not positive), scaled to fit
// and centred in Width x Height pixels at 96 per inch (1500 x 1500 twips for
// 100 x 100). Dark modules are squares in the foreground colour (black when
// not given) over the background colour (white when not given). The data is
// the text's UTF-8 bytes, or its ISO-8859-1 bytes ("?" for characters that
// have none) for that character set. Empty when the data is empty or too long
// for a symbol, or the size is not positive or larger than the largest image.
Picture RenderQrPicture(const QrParameters& p);

}  // namespace kalvenor

#endif  // KALVENOR_QR_QR_RENDER_H_
