// Printer selection by device name.
#include "printing/printer_selection.h"

namespace kalvenor {

void SelectPrinterByName(const Text& name, Printer& printer, Trace* trace) {
  std::vector<Text> names = printer.DeviceNames();
  Text wanted = LCase(name);
  for (size_t i = 0; i < names.size(); ++i) {
    if (InStr(LCase(names[i]), wanted) != 0) printer.SetCurrentPrinter(i);
  }
  if (trace != nullptr) trace->Write("\"op\":\"select\",\"printer\":" + JsonText(printer.DeviceName()));
}

void OpenPrinterOutput(const Config& config, int16_t size, float current_y, Printer& printer,
                       Trace* trace) {
  printer.Font.Name = config.font_name;
  SelectPrinterByName(u"COMANDERA", printer, trace);
  printer.Font.Size = size;
  printer.CurrentY = current_y;
  printer.CurrentX = config.left_margin;
}

}  // namespace kalvenor
