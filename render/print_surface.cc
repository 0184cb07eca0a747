// PrintSurface defaults shared by every surface.
#include "render/print_surface.h"

#include "base/run_time_error.h"

namespace kalvenor {

int PrintSurface::FontCount() { throw RunTimeError(kObjectDoesNotSupport); }

Text PrintSurface::Fonts(int) { throw RunTimeError(kObjectDoesNotSupport); }

}  // namespace kalvenor
