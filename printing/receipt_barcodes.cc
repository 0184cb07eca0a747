// Receipt barcode blocks.
#include "printing/receipt_barcodes.h"

#include "base/run_time_error.h"

namespace kalvenor {

namespace {

constexpr float kBlockAdvance = 1400;
constexpr float kEanX = 50;
constexpr float kCode128X = 200;
// A full-length authorisation code starts at the left edge so that its
// quiet zones stay on the paper.
constexpr size_t kFullAuthorisationLength = 20;

frmCodBarra& FormOf(frmCodBarra* form) {
  if (form == nullptr) {
    throw RunTimeError(kObjectNotSet);
  }
  return *form;
}

}  // namespace

void PrintReceiptBarcodes(const Job& job, frmCodBarra* form, PrintSurface& printer) {
  const PreScan& scan = job.prescan;
  if (scan.prescription_flag && scan.insurer) {
    printer.CurrentX = job.config.left_margin;
    Picture picture = FormOf(form).PrintedEan(scan.prescription_text);
    printer.PaintPicture(picture, kEanX, printer.CurrentY);
    printer.CurrentY += kBlockAdvance;
  }
  if (scan.authorisation_flag && scan.insurer) {
    printer.CurrentX = job.config.left_margin;
    float x = scan.authorisation_text.size() == kFullAuthorisationLength ? 0 : kCode128X;
    Picture picture = FormOf(form).GenerateCode128B(scan.authorisation_text);
    printer.PaintPicture(picture, x, printer.CurrentY);
    printer.CurrentY += kBlockAdvance;
  }
}

}  // namespace kalvenor
