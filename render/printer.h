// Printer: the print surface of the run's current printer, with the list of
// installed printers it can switch between.
#ifndef KALVENOR_RENDER_PRINTER_H_
#define KALVENOR_RENDER_PRINTER_H_

#include <vector>

#include "render/print_surface.h"

namespace kalvenor {

class Printer : public PrintSurface {
 public:
  // Device names of the installed printers, in the platform's order.
  virtual std::vector<Text> DeviceNames() = 0;
  // Makes printer `index` of DeviceNames() current for later documents.
  virtual void SetCurrentPrinter(size_t index) = 0;
  // Device name of the current printer (empty when none is installed).
  virtual Text DeviceName() = 0;
};

}  // namespace kalvenor

#endif  // KALVENOR_RENDER_PRINTER_H_
