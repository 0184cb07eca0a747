// Printer selection and the opening sequence of every label job and receipt.
#ifndef KALVENOR_PRINTING_PRINTER_SELECTION_H_
#define KALVENOR_PRINTING_PRINTER_SELECTION_H_

#include "printing/job_state.h"
#include "base/trace.h"
#include "render/printer.h"

namespace kalvenor {

// Makes current every printer whose device name contains `name`, ignoring
// case, in list order: the last match wins. Without a match the current
// printer stays.
void SelectPrinterByName(const Text& name, Printer& printer, Trace* trace);

// The opening sequence: the configured font name, the "COMANDERA" printer,
// then the job's starting size and position (CurrentX at the left margin).
void OpenPrinterOutput(const Config& config, int16_t size, float current_y, Printer& printer,
                       Trace* trace);

}  // namespace kalvenor

#endif  // KALVENOR_PRINTING_PRINTER_SELECTION_H_
