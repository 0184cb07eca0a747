// PNG encoding of bitmaps, for the clipboard and the QR decoding service.
#ifndef KALVENOR_RENDER_PNG_H_
#define KALVENOR_RENDER_PNG_H_

#include <cstdint>
#include <string>

namespace kalvenor {

// The PNG bytes of a premultiplied ARGB32 bitmap (native-endian, `stride`
// bytes from one row to the next); empty when it cannot be encoded.
std::string EncodePng(const uint32_t* pixels, int width, int height, int stride);

}  // namespace kalvenor

#endif  // KALVENOR_RENDER_PNG_H_
