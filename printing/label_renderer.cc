// The label renderer.
#include "printing/label_renderer.h"

#include "base/locale_number.h"
#include "base/run_time_error.h"
#include "host/text_stream.h"
#include "printing/printer_selection.h"

namespace kalvenor {

void PrintLabelJob(const Text& label_path, const Text& log_path, Job& job, Host& host) {
  (void)log_path;
  const Config& config = job.config;
  Printer& printer = host.printer();
  OpenPrinterOutput(config, config.normal_size + 2, 0, printer, host.trace.get());
  TextStream stream;
  stream.LoadFromFile(*host.files, host.files->HostPath(label_path));
  bool page_used = false;
  while (!stream.EOS()) {
    Text title = stream.ReadLine();
    if (title == u" ") continue;
    if (Left(title, 5) == u"_____") {
      if (page_used) printer.EndDoc();
      page_used = false;
      continue;
    }
    page_used = true;
    printer.Font.Size = config.normal_size + 2;
    printer.Font.Bold = true;
    int16_t title_width = RoundToInt16(printer.TextWidth(title));
    printer.Print(title);

    Text detail = stream.ReadLine();
    size_t bar = InStr(detail, u"|");
    if (bar == 0) throw RunTimeError(kInvalidProcedureCall);  // no "|": no left part to take
    Text left = Left(detail, bar - 1);
    Text right = Mid(detail, bar + 1);

    int16_t band_top = RoundToInt16(printer.CurrentY);
    printer.Font.Size = config.large_size + 5;
    printer.Font.Bold = true;
    printer.CurrentY = band_top;
    printer.CurrentX = title_width - printer.TextWidth(right);
    printer.Print(right);

    printer.Font.Size = config.small_size;
    printer.Font.Bold = false;
    float left_height = printer.TextHeight(left);
    int16_t offset = RoundToInt16((printer.CurrentY - band_top - left_height) / 2);
    printer.CurrentY = band_top + offset;
    printer.Print(left);
  }
  printer.EndDoc();
}

}  // namespace kalvenor
