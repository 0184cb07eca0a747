// The fiscal QR block of a receipt.
#include "printing/receipt_qr.h"

#include "qr/qr_code.h"
#include "printing/cae_reply.h"

namespace kalvenor {

void PrintReceiptQrCode(Job& job, Host& host, PrintSurface& printer) {
  bool first_copy = job.sections.section == 0 ||
                    (job.sections.section == 1 && !job.prescan.insurer_difference);
  if (!first_copy) return;
  Text data = ReadCaeQrData(job, host);
  if (data.empty()) return;
  QrCode qr(host);
  Picture picture = qr.GetPictureQrCode(data, 100, 100, u"UTF-8", u"L", 16777215, 0, 0);
  // An empty picture paints nothing: the receipt goes out without the code.
  printer.PaintPicture(picture, 900, printer.CurrentY + 100);
}

}  // namespace kalvenor
