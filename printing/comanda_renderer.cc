// The comanda renderer.
#include "printing/comanda_renderer.h"

#include <cstdint>
#include <memory>

#include "barcode_form/frm_cod_barra.h"
#include "platform/code_page.h"
#include "platform/text_stream.h"
#include "printing/section_lists.h"
#include "printing/slip_file.h"
#include "printing/receipt_renderer.h"

namespace kalvenor {
namespace {

const Text kSignatureCaptions[] = {
    u"", u"", u"", u"-------------FIRMA AFILIADO-------------", u"", u"",
    u"------------ACLARACION FIRMA------------", u"", u"", u"-------------DNI Y DOMICILIO------------",
};

struct SortState {
  bool quote = false;
  int16_t client_slot = 0;
};

// An item line (code 30).
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
    Text& t = slip_line.text;
    const Text& d = slip_line.section_digit;
    int16_t s = lists.section;
    int16_t c = slip_line.line_code;
    // Rule lines drawn with box characters print as blank lines.
    if (InStr(t, u"--------------------") != 0 && AnsiCode(t[0]) == 166) t = Text(42, u' ');

    if (s == 0 && c == 0) {
      AppendToList(lists.header, lists.header_count, Trim(t));
    } else if (s == 0 && c >= 1 && c <= 29) {
      if (InStrNoCase(t, u"Presupuesto") != 0) {
        sort.quote = true;
        prescan.prescription_flag = false;
        prescan.authorisation_flag = false;
      }
      AppendToList(lists.upper, lists.upper_count, AnsiCode(t[0]) >= 127 ? Right(t, 41) : t);
    } else if (s == 0 && c >= 71 && c <= 97 && (sort.quote || c < 86 || c > 88)) {
      AppendToList(lists.footer, lists.footer_count, t);
    } else if (s == 1 && c >= 86 && c <= 88) {
      AppendToList(lists.footer, lists.footer_count, t);
    } else if (c == 30) {
      SortItemLine(d, t, job, sort);
    } else if (c == 98) {
      AppendToList(lists.signature, lists.signature_count, t);
      if (Left(t, 20) == u"NUMERO DE LA COMANDA") prescan.prescription_text = Mid(t, 22, 9);
    } else if (c == 99) {
      if (!prescan.client_signature && (s >= 2 || (prescan.insurer_difference && s >= 1))) {
        for (const Text& caption : kSignatureCaptions) {
          AppendToList(lists.signature, lists.signature_count, caption);
        }
      }
      if ((s > 0 || prescan.insurer_difference) && !(s == 1 && prescan.insurer_difference)) {
        PrintReceipt(line, job, form.get(), host);
        end_document_pending = true;
      }
      lists.item_count = 0;
      lists.signature_count = 0;
      if (lists.section == INT16_MAX) throw RunTimeError(kOverflow);
      ++lists.section;
    }
  }
  form.reset();
  host.printer().EndDoc();
}

}  // namespace kalvenor
