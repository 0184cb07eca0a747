// Printers: the installed printers of the host and how an ended document
// reaches one of them. Two back ends: CUPS destinations and the folder
// printer (sub-folders of KALVENOR_PRINTER_DIR).
#ifndef KALVENOR_PRINTERS_PRINTERS_H_
#define KALVENOR_PRINTERS_PRINTERS_H_

#include <memory>
#include <string>
#include <vector>

#include "printers/printer_options.h"

namespace kalvenor {

class Printers {
 public:
  virtual ~Printers() = default;

  // Printer names in the back end's order (CUPS order; byte order of the
  // folder names). Empty when there is no printer at all.
  virtual const std::vector<std::string>& Names() = 0;
  // Index into Names() of the printer current at start: the CUPS default
  // destination, or KALVENOR_DEFAULT_PRINTER, else the first. -1 when there
  // is no printer.
  virtual int DefaultIndex() = 0;
  // Paper width the printer states, in millimetres; 0 when it states none
  // (the caller then uses 80 mm roll paper).
  virtual double MediaWidthMm(const std::string& name) = 0;
  // Hands one ended document (its rendered bytes) to printer `name`. Returns
  // what was made: the file written or the CUPS job id. Raises RunTimeError
  // when the document cannot be handed over.
  virtual std::string Submit(const std::string& name, const std::string& pdf,
                             const std::string& title) = 0;
  // What printer `name` wants its documents as (PDF by default), from its
  // own settings, read once per printer and run. Raises RunTimeError
  // ("Printer error: ...", naming the bad option or line) when the settings
  // are wrong. Submit takes a PDF, a PostScript document ("%!PS" first) or
  // an ESC/POS stream (ESC @ first).
  virtual PrinterOutput Output(const std::string& /*name*/) { return PrinterOutput(); }
  // Why Names() is empty, for the job's failure: the back end may know that
  // its server is missing or silent rather than without printers.
  virtual std::string NoPrinterReason() { return "no printer is installed"; }
};

// The CUPS destinations of the local CUPS server. With `wait_seconds` > 0
// Submit follows each job until CUPS completes it, and raises (after
// cancelling the job) when CUPS stops, cancels or aborts it or when it is
// not done in that time, with the back end's message for the job and the
// printer's state reasons; with 0 it returns once the job is queued; below
// 0 it follows only jobs on queues of the kalvenor back end, for their
// URI's wait + 30 s.
std::unique_ptr<Printers> MakeCupsPrinters(int wait_seconds = 0);

// The sub-folders of `folder`; `default_name` picks the one current at start.
// Every document becomes the next free number "000001.pdf", "000002.ps",
// "000003.prn" ... (one numbering for all three) in the printer's folder,
// claimed atomically so that simultaneous jobs never overwrite each other.
// A printer's settings are in its file "kalvenor-options".
std::unique_ptr<Printers> MakeFolderPrinters(const std::string& folder,
                                             const std::string& default_name);

}  // namespace kalvenor

#endif  // KALVENOR_PRINTERS_PRINTERS_H_
