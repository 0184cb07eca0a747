// The slip file: cleaning pass and pre-scan.
#include "printing/slip_file.h"

#include "base/code_page.h"
#include "base/locale_number.h"
#include "base/run_time_error.h"
#include "host/text_stream.h"

namespace kalvenor {

constexpr size_t kLineTextWidth = 42;

SlipLine SplitSlipLine(const Text& line) {
  SlipLine slip_line;
  slip_line.section_digit = Left(line, 1);
  slip_line.line_code = CInt(Mid(line, 2, 2));
  slip_line.text = Mid(line, 5, kLineTextWidth);
  slip_line.text.resize(kLineTextWidth, u' ');
  return slip_line;
}

void CleanSlipFile(const Text& slip_path, Host& host) {
  // Code page 437 maps every byte to a character of its own and back, so
  // the cleaning works on the bytes in place, at the file's size.
  std::string path = host.files->HostPath(slip_path);
  std::string bytes = host.files->ReadFile(path);
  for (char& c : bytes) {
    if (c == '\0') c = ' ';  // the host pads short lines with NULs; they print as spaces
  }
  bytes += "\r\n";
  host.files->WriteFileAtomic(path, bytes);
}

void PreScanSlip(const Text& slip_path, PreScan& prescan, Host& host) {
  TextStream stream;
  stream.LoadFromFile(*host.files, host.files->HostPath(slip_path));
  while (!stream.EOS()) {
    Text line = stream.ReadLine();
    if (line.empty()) continue;
    int16_t section = CInt(Left(line, 1));
    prescan.last_section_digit = section;
    SlipLine slip_line = SplitSlipLine(line);
    const Text& t = slip_line.text;
    if (slip_line.line_code == 30) {
      if (section == 1 && prescan.copy1_amount.empty()) {
        if (StartsWith(t, u"*A IMPUTAR:")) {
          prescan.copy1_amount = Trim(Right(Trim(t), 12));
        } else if (StartsWith(t, u"* CLIENTE")) {
          prescan.copy1_amount = Replace(Trim(Right(t, 13)), u"$", u"");
        }
      } else if (section == 2 && prescan.copy2_amount.empty() && StartsWith(t, u"* CLIENTE")) {
        prescan.copy2_amount = Replace(Replace(Trim(Right(t, 13)), u"$", u""), u".", u"");
      }
      if (!prescan.copy1_amount.empty() && !prescan.insurer_difference &&
          !prescan.copy2_amount.empty() && prescan.copy1_amount != prescan.copy2_amount) {
        float difference = CSng(prescan.copy1_amount) - CSng(prescan.copy2_amount);
        if (difference < -1 || difference > 1) prescan.insurer_difference = true;
      }
      if (Trim(t) == u"*              Firma Cliente") prescan.client_signature = true;
      if (InStr(t, u"IOSFA") || InStr(t, u"IPROSS") || InStr(t, u"PAMI")) prescan.insurer = true;
    } else if (slip_line.line_code > 80) {
      if (InStr(t, u"Receta/Matricula:") != 0) {
        prescan.prescription_text = Trim(Mid(t, 19, 13));
        prescan.prescription_flag = IsNumberAboveOne(prescan.prescription_text);
      } else if (prescan.authorisation_text.empty() &&
                 (InStr(t, u"-Autor:") != 0 || InStr(t, u"Codigo Autorizacion:") != 0)) {
        prescan.authorisation_text = Trim(Mid(t, 21, 20));
        prescan.authorisation_flag = IsNumberAboveOne(prescan.authorisation_text);
      }
    }
  }
}

bool IsNumberAboveOne(const Text& text) {
  std::optional<double> value = ParseLocaleNumber(text);
  return value && *value > 1;
}

void ProbeSlipsFolder(Host& host) {
  try {
    host.files->Exists(host.files->HostPath(kSlipsFolder));
  } catch (const RunTimeError&) {
  }
}

}  // namespace kalvenor
