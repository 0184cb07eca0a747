// The fiscal QR block of a receipt, printed after the paper feed.
#ifndef KALVENOR_PRINTING_RECEIPT_QR_H_
#define KALVENOR_PRINTING_RECEIPT_QR_H_

#include "printing/job_state.h"
#include "host/host.h"
#include "render/print_surface.h"

namespace kalvenor {

// On the first printed copy of the slip (section counter 0, or 1 without the
// insurer-difference flag), paints the QR picture of the reply file's data,
// 100 x 100 pixels (1500 x 1500 twips), at x = 900, 100 twips below
// CurrentY; CurrentY stays where it is. Nothing is painted without QR data;
// a failed QR request paints an empty picture. Raises what ReadCaeQrData
// raises.
void PrintReceiptQrCode(Job& job, Host& host, PrintSurface& printer);

}  // namespace kalvenor

#endif  // KALVENOR_PRINTING_RECEIPT_QR_H_
