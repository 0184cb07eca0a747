// The comanda renderer: sorts a slip into sections and prints the copies
// that are due, each receipt a document of its own.
#ifndef KALVENOR_PRINTING_COMANDA_RENDERER_H_
#define KALVENOR_PRINTING_COMANDA_RENDERER_H_

#include "printing/job_state.h"
#include "host/host.h"

namespace kalvenor {

// Reads the slip line by line until its end or its first empty line, fills
// the section lists, and at each section end decides whether the copy is
// printed. Without an insurer difference the first section is not printed;
// with one, the second is not. `log_path` is not used. Raises on a line
// code that is not a number or a list that overflows; receipts already
// ended stay printed.
void PrintComandaJob(const Text& slip_path, const Text& log_path, Job& job, Host& host);

}  // namespace kalvenor

#endif  // KALVENOR_PRINTING_COMANDA_RENDERER_H_
