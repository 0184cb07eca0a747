// The comanda renderer.
#include "printing/comanda_renderer.h"

#include <cstdint>
#include <memory>

#include "barcode_form/frm_cod_barra.h"
#include "base/code_page.h"
#include "host/text_stream.h"
#include "printing/section_lists.h"
#include "printing/slip_file.h"
#include "printing/receipt_renderer.h"

namespace kalvenor {
namespace {

const Text kSignatureCaptions[] = {
    u"", u"", u"", u"-------------FIRMA AFILIADO-------------", u"", u"",
    u"------------ACLARACION FIRMA------------", u"", u"", u"-------------DNI Y DOMICILIO------------",
};

// Line codes (columns 2-3 of a slip line) with a meaning of their own.
constexpr int16_t kHeaderLine = 0;
constexpr int16_t kUpperLast = 29;
constexpr int16_t kItemLine = 30;
constexpr int16_t kFooterFirst = 71;
constexpr int16_t kCopyAmountFirst = 86;  // the copy amounts, only in a quote
constexpr int16_t kCopyAmountLast = 88;
constexpr int16_t kFooterLast = 97;
constexpr int16_t kSignatureLine = 98;
constexpr int16_t kSectionEnd = 99;

struct SortState {
  bool quote = false;
  int16_t client_slot = 0;
};

// An item line (code kItemLine).
void SortItemLine(const Text& digit, Text t, Job& job, SortState& sort) {
  SectionLists& lists = job.sections;
  PreScan& prescan = job.prescan;
  int16_t s = lists.section;
  if (StartsWith(t, u"Dif. O.S.") || StartsWith(t, u"COMISION O")) prescan.insurer_difference = true;
  if (StartsWith(t, u"C.A.E.:")) {
    if ((prescan.last_section_digit == 1 && s == 0) || (prescan.insurer_difference && s == 0) ||
        (!prescan.insurer_difference && s == 1)) {
      AppendToList(lists.footer, lists.footer_count, t);
    }
  } else if (StartsWith(t, u"Vend.") || StartsWith(t, u"  1 $")) {
    AppendToList(lists.item, lists.item_count, Replace(Replace(t, u"$0,00", u"     "), u"0,00", u"    "));
  } else if (StartsWith(t, u"1 Vend.")) {
    AppendToList(lists.item, lists.item_count, Replace(t, u",00", u"   "));
  } else if (StartsWith(t, u"* CLIENTE") && digit > u"1") {
    if (sort.quote) ++sort.client_slot;
    if (sort.client_slot < 0 || sort.client_slot > SectionLists::kItemLast) {
      throw RunTimeError(kSubscriptOutOfRange);
    }
    lists.item[sort.client_slot] = t;
  } else {
    AppendToList(lists.item, lists.item_count, t);
    if (StartsWith(t, u"* IMPORTE") && digit > u"1") {
      // Keep the next slot free for this copy's "* CLIENTE" line. Only a
      // line stored there, or a receipt reading it, needs it within bounds.
      sort.client_slot = lists.item_count + 1;
      ++lists.item_count;
    }
  }
}

// The end of a section (code kSectionEnd, whole slip line `line`): its
// signature captions, its receipt when the section prints one, and the next
// section. True when a receipt was printed, whose document ends before the
// next slip line.
bool EndSection(Text& line, Job& job, frmCodBarra* form, Host& host) {
  PreScan& prescan = job.prescan;
  SectionLists& lists = job.sections;
  const int16_t section = lists.section;
  if (!prescan.client_signature && (section >= 2 || (prescan.insurer_difference && section >= 1))) {
    for (const Text& caption : kSignatureCaptions) AppendToList(lists.signature, lists.signature_count, caption);
  }
  // Section 0 prints only with an insurer difference, and then section 1
  // does not.
  bool printed = false;
  if ((section > 0 || prescan.insurer_difference) && !(section == 1 && prescan.insurer_difference)) {
    PrintReceipt(line, job, form, host);
    printed = true;
  }
  lists.item_count = 0;
  lists.signature_count = 0;
  if (lists.section == INT16_MAX) throw RunTimeError(kOverflow);
  ++lists.section;
  return printed;
}

}  // namespace

void PrintComandaJob(const Text& slip_path, const Text& log_path, Job& job, Host& host) {
  (void)log_path;
  PreScan& prescan = job.prescan;
  SectionLists& lists = job.sections;
  std::unique_ptr<frmCodBarra> form;
  if (prescan.prescription_flag || prescan.authorisation_flag) form = std::make_unique<frmCodBarra>(host);
  ProbeSlipsFolder(host);
  lists = SectionLists();
  SortState sort;
  bool end_document_pending = false;

  TextStream stream;
  stream.LoadFromFile(*host.files, host.files->HostPath(slip_path));
  while (!stream.EOS()) {
    Text line = stream.ReadLine();
    if (line.empty()) break;  // an empty line ends the slip
    if (end_document_pending) {
      host.printer().EndDoc();
      end_document_pending = false;
    }
    SlipLine slip_line = SplitSlipLine(line);
    Text& text = slip_line.text;
    const Text& digit = slip_line.section_digit;
    const int16_t section = lists.section;
    const int16_t code = slip_line.line_code;
    // Rule lines drawn with box characters print as blank lines.
    if (InStr(text, u"--------------------") != 0 && AnsiCode(text[0]) == 166) text = Text(42, u' ');

    if (section == 0 && code == kHeaderLine) {
      AppendToList(lists.header, lists.header_count, Trim(text));
    } else if (section == 0 && code >= 1 && code <= kUpperLast) {
      if (InStrNoCase(text, u"Presupuesto") != 0) {
        sort.quote = true;
        prescan.prescription_flag = false;
        prescan.authorisation_flag = false;
      }
      AppendToList(lists.upper, lists.upper_count, AnsiCode(text[0]) >= 127 ? Right(text, 41) : text);
    } else if (section == 0 && code >= kFooterFirst && code <= kFooterLast &&
               (sort.quote || code < kCopyAmountFirst || code > kCopyAmountLast)) {
      AppendToList(lists.footer, lists.footer_count, text);
    } else if (section == 1 && code >= kCopyAmountFirst && code <= kCopyAmountLast) {
      AppendToList(lists.footer, lists.footer_count, text);
    } else if (code == kItemLine) {
      SortItemLine(digit, text, job, sort);
    } else if (code == kSignatureLine) {
      AppendToList(lists.signature, lists.signature_count, text);
      if (Left(text, 20) == u"NUMERO DE LA COMANDA") prescan.prescription_text = Mid(text, 22, 9);
    } else if (code == kSectionEnd) {
      end_document_pending = EndSection(line, job, form.get(), host);
    }
  }
  form.reset();
  host.printer().EndDoc();
}

}  // namespace kalvenor
