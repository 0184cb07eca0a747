// The receipt's two barcode blocks: the prescription EAN and the
// authorisation Code 128 of an insurer's slip, after the signature block.
#ifndef KALVENOR_PRINTING_RECEIPT_BARCODES_H_
#define KALVENOR_PRINTING_RECEIPT_BARCODES_H_

#include "printing/job_state.h"
#include "barcode_form/frm_cod_barra.h"
#include "render/print_surface.h"

namespace kalvenor {

// For an insurer's slip, paints the prescription EAN at x = 50 and the
// authorisation Code 128 at x = 200 (0 for a 20-character code), each at
// CurrentY, which then grows by 1400 twips per block. A refused EAN text
// paints nothing (the form has warned). `form` may be null only when
// neither barcode flag is set.
void PrintReceiptBarcodes(const Job& job, frmCodBarra* form, PrintSurface& printer);

}  // namespace kalvenor

#endif  // KALVENOR_PRINTING_RECEIPT_BARCODES_H_
