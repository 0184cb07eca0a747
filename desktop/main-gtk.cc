// kalvenor-barcodes: the barcode form on the desktop, for making, copying
// and printing Code 39 symbols at the counter. Prints on the run's current
// printer (KALVENOR_PRINTER_DIR and KALVENOR_DEFAULT_PRINTER as for jobs).
#include "app/real_host.h"
#include "barcode_form/frm_cod_barra.h"
#include "desktop/clipboard.h"
#include "desktop/frm_cod_barra_window.h"

int main(int argc, char** argv) {
  kalvenor::Host host = kalvenor::MakeRealHost();
  kalvenor::frmCodBarra form(host, kalvenor::MakeCanvas, kalvenor::MakeSystemClipboard(host.env));
  return kalvenor::ShowFormWindow(form, host, argc, argv);
}
