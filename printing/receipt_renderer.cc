// The receipt renderer.
#include "printing/receipt_renderer.h"

#include "base/locale_number.h"
#include "base/run_time_error.h"
#include "printing/printer_selection.h"
#include "printing/receipt_barcodes.h"
#include "printing/receipt_qr.h"

namespace kalvenor {
namespace {

struct ReceiptState {
  int16_t reference_width = 0;
  Text client_amount;
  bool exchange = false;
};

void PrintHeader(const Job& job, const ReceiptState& receipt, Printer& printer) {
  const Config& config = job.config;
  const SectionLists& lists = job.sections;
  for (int16_t i = 1; i <= lists.header_count; ++i) {
    const Text& line = lists.header[i];
    printer.Font.Underline = false;
    printer.Font.Bold = i == 1;
    if (i == lists.header_count) {
      // The last header line is left-aligned.
      printer.Font.Size = config.normal_size;
      printer.Font.Bold = false;
      printer.CurrentX = config.left_margin;
    } else {
      float width = printer.TextWidth(line);
      printer.Font.Size = width > receipt.reference_width ? config.small_size : config.normal_size;
      float x = (receipt.reference_width - printer.TextWidth(line)) / 2 + config.left_margin;
      printer.CurrentX = x < 0 ? 0 : x;
    }
    printer.Print(line);
    printer.Font.Size = config.normal_size;
  }
}

void PrintUpperBlock(const Job& job, Printer& printer) {
  for (int16_t i = 1; i <= job.sections.upper_count; ++i) {
    const Text& line = job.sections.upper[i];
    printer.CurrentX = job.config.left_margin;
    if (!Trim(line).empty()) printer.Print(Left(line, 40));
  }
}

void PrintItems(const Job& job, ReceiptState& receipt, Printer& printer) {
  for (int16_t i = 1; i <= job.sections.item_count; ++i) {
    if (i > SectionLists::kItemLast) throw RunTimeError(kSubscriptOutOfRange);
    const Text& line = job.sections.item[i];
    printer.CurrentX = job.config.left_margin;
    if (line.size() <= 3) continue;
    Text t = Trim(line);
    if (Left(t, 1) == u"*") {
      printer.Font.Bold = false;
    } else {
      // A price with two decimals after a comma has its units digit here.
      char16_t c = line[line.size() - 4];
      printer.Font.Bold = c >= u'0' && c <= u'9';
    }
    if (Left(t, 9) == u"* CLIENTE") receipt.client_amount = Replace(Trim(Right(t, 11)), u"$", u"");
    int16_t length = line.size() > 32767 ? 32767 : static_cast<int16_t>(line.size());
    printer.Print(Left(line, MinInt16(length, 40)));
    if (InStrNoCase(line, u"PODRA EFECTUAR CUALQUIER CAMBIO") != 0) receipt.exchange = true;
  }
}

void PrintFooter(Job& job, const ReceiptState& receipt, Printer& printer) {
  const Config& config = job.config;
  for (int16_t i = 1; i <= job.sections.footer_count; ++i) {
    Text s = job.sections.footer[i];
    printer.CurrentX = config.left_margin;
    if (receipt.exchange && Left(s, 12) != u"Comprobante:") continue;
    if (Left(s, 7) == u"C.A.E.:") {
      if (job.cae_printed) continue;
      printer.Font.Size = config.normal_size;
      printer.Font.Italic = true;
      printer.Font.Bold = false;
      printer.Print(u"   ");
      job.cae_printed = true;
    } else if (!receipt.client_amount.empty() && InStrNoCase(s, u"A IMPUTAR:") != 0) {
      s = u" TOTAL $ " + receipt.client_amount;
      printer.Font.Size = config.large_size;
      printer.Font.Bold = true;
    } else if (InStrNoCase(s, u"A IMPUTAR:") != 0) {
      s = Replace(s, u"A IMPUTAR:", u"TOTAL $");
      if (!s.empty()) s[0] = u' ';
      printer.Font.Size = config.large_size;
      printer.Font.Bold = true;
    } else {
      printer.Font.Size = config.normal_size;
      printer.Font.Bold = false;
    }
    printer.Print(Left(s, 40));
    printer.Font.Italic = false;
  }
}

void PrintFeed(const Job& job, Printer& printer) {
  if (job.state.feed_count <= 1) return;
  for (int i = 1; i <= job.state.feed_count - 1; ++i) {
    printer.CurrentX = job.config.left_margin;
    printer.Print(u"       ");
  }
  printer.Print(u".");
}

}  // namespace

void PrintReceipt(Text& section_end_line, Job& job, frmCodBarra* form, Host& host) {
  Printer& printer = host.printer();
  OpenPrinterOutput(job.config, job.config.normal_size, 100, printer, host.trace.get());
  section_end_line = Mid(section_end_line, 5);
  ReceiptState receipt;
  receipt.reference_width = RoundToInt16(printer.TextWidth(section_end_line));

  PrintHeader(job, receipt, printer);
  PrintUpperBlock(job, printer);
  PrintItems(job, receipt, printer);
  PrintFooter(job, receipt, printer);
  if (receipt.exchange) return;  // an exchange voucher ends after its footer

  for (int16_t i = 1; i <= job.sections.signature_count; ++i) {
    printer.CurrentX = job.config.left_margin;
    printer.Print(job.sections.signature[i]);
  }
  PrintReceiptBarcodes(job, form, printer);
  PrintFeed(job, printer);
  PrintReceiptQrCode(job, host, printer);
}

}  // namespace kalvenor
