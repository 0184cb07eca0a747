// Sharp pictures: the dark pixels of a canvas picture repeated as vector
// rectangles, so that bars print with clean edges at any printer
// resolution. A module of one screen pixel is 2.1 dots of a 203 dpi
// printer; scaled as a bitmap its narrow spaces fill with grey and a
// reader no longer sees them.
#ifndef KALVENOR_BARCODE_FORM_SHARP_PICTURE_H_
#define KALVENOR_BARCODE_FORM_SHARP_PICTURE_H_

#include <functional>

#include "render/picture.h"

namespace kalvenor {

// `picture` printed as vectors: a white background and, standing for the
// bitmap on paper, its dark pixels (InkArgb) as black rectangles; runs
// of equal extent on consecutive rows make one rectangle. The bitmap stays
// for whoever reads pixels (clipboard, screen). An empty picture stays
// empty. `module_pixels` > 0 states the width of one module of the bar code
// in the bitmap's pixels, so that a dot printer can draw whole modules;
// `compact`, when given, makes the symbol's compact form (PictureData).
// The picture is taken over and changed, not copied: its pixels are most of
// a symbol's memory.
Picture WithSharpBars(std::shared_ptr<PictureData>&& picture, int module_pixels = 0,
                      std::function<Picture()> compact = nullptr);

}  // namespace kalvenor

#endif  // KALVENOR_BARCODE_FORM_SHARP_PICTURE_H_
