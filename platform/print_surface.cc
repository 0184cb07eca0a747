// PrintSurface defaults shared by every surface.
#include "platform/print_surface.h"

#include "platform/run_time_error.h"

namespace kalvenor {

int PrintSurface::FontCount() { throw RunTimeError(kObjectDoesNotSupport); }

Text PrintSurface::Fonts(int) { throw RunTimeError(kObjectDoesNotSupport); }

}  // namespace kalvenor
