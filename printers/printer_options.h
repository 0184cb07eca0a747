// Per-printer output settings: what every ended document becomes (PDF,
// PostScript or the receipt printer's own ESC/POS raster) and, for ESC/POS,
// the head's width, resolution and the cut. A CUPS queue carries them as
// queue options, a folder printer in a file "kalvenor-options".
#ifndef KALVENOR_PRINTERS_PRINTER_OPTIONS_H_
#define KALVENOR_PRINTERS_PRINTER_OPTIONS_H_

#include <string>

namespace kalvenor {

struct PrinterOutput {
  enum class Format { kPdf, kPostScript, kEscPos };
  enum class Cut { kPartial, kFull, kNone };
  Format format = Format::kPdf;
  int width_dots = 576;  // a multiple of 8
  int dpi = 203;
  Cut cut = Cut::kPartial;
  // Draws the page at width ÷ (72 mm at the dpi) of its designed size, so
  // that a layout made for 80 mm paper fits a narrower roll.
  bool fit_scale = false;

  // Dots per twip of the page: the head's own, times the fit.
  double DotsPerTwip() const;
};

// Applies option `name`=`value` to `output`. Names that do not start with
// "kalvenor-" belong to someone else and are ignored. Returns "" when the
// option is taken, else what is wrong with it (naming the option).
std::string ApplyPrinterOption(const std::string& name, const std::string& value,
                               PrinterOutput* output);

// Reads the text of an options file: one name=value a line (blanks around
// both ignored, CR LF or LF), blank lines and '#' lines skipped, a repeated
// name taking its last value. Returns "" or what is wrong (the option's name
// or the bad line).
std::string ParsePrinterOptions(const std::string& text, PrinterOutput* output);

}  // namespace kalvenor

#endif  // KALVENOR_PRINTERS_PRINTER_OPTIONS_H_
