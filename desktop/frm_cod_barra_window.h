// The barcode form on the desktop: frmCodBarra's controls as a window, so
// that counter staff can make, copy and print Code 39 symbols. The window
// only shows the form; every action is one of the form's own events.
#ifndef KALVENOR_DESKTOP_FRM_COD_BARRA_WINDOW_H_
#define KALVENOR_DESKTOP_FRM_COD_BARRA_WINDOW_H_

#include "barcode_form/frm_cod_barra.h"
#include "host/host.h"

namespace kalvenor {

// The title of the program's message boxes.
inline constexpr char kProgramTitle[] = "Kalvenor";

// Opens the desktop session named by the environment and shows `form` until
// its window is closed. While it is shown, the warnings of `host` (the
// form's msgAviso) are modal message boxes. 0 when the window was shown and
// closed, 1 when there is no desktop to show it on (the reason goes to
// standard error). `host` must be the host the form was made with.
int ShowFormWindow(frmCodBarra& form, Host& host, int argc, char** argv);

}  // namespace kalvenor

#endif  // KALVENOR_DESKTOP_FRM_COD_BARRA_WINDOW_H_
