// Per-printer output settings from name=value pairs.
#include "printers/printer_options.h"

#include <charconv>
#include <initializer_list>
#include <utility>

namespace kalvenor {
namespace {

std::string Trim(const std::string& s) {
  size_t first = s.find_first_not_of(" \t\r");
  if (first == std::string::npos) return std::string();
  size_t last = s.find_last_not_of(" \t\r");
  return s.substr(first, last - first + 1);
}

bool ParseInt(const std::string& text, int* value) {
  if (text.empty() || text.size() > 6) return false;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *value);
  return ec == std::errc() && end == text.data() + text.size();
}

std::string Bad(const std::string& name, const std::string& value, const char* allowed) {
  return "bad printer option " + name + "=" + value + " (" + allowed + ")";
}

// Sets `*setting` to the choice named `value`; false when none is.
template <typename T>
bool Choose(const std::string& value, std::initializer_list<std::pair<const char*, T>> choices, T* setting) {
  for (const auto& [choice_name, choice] : choices) {
    if (value == choice_name) {
      *setting = choice;
      return true;
    }
  }
  return false;
}

}  // namespace

double PrinterOutput::DotsPerTwip() const {
  // The designed page is 72 mm of print, 4081.9 twips.
  constexpr double kDesignedWidthTwips = 72 / 25.4 * 1440;
  return fit_scale ? width_dots / kDesignedWidthTwips : dpi / 1440.0;
}

std::string ApplyPrinterOption(const std::string& name, const std::string& value,
                               PrinterOutput* output) {
  using Format = PrinterOutput::Format;
  using Cut = PrinterOutput::Cut;
  if (!name.starts_with("kalvenor-")) return std::string();
  if (name == "kalvenor-output") {
    if (!Choose(value, {{"pdf", Format::kPdf}, {"postscript", Format::kPostScript}, {"escpos", Format::kEscPos}},
                &output->format)) {
      return Bad(name, value, "pdf, postscript or escpos");
    }
  } else if (name == "kalvenor-document-format") {
    // The earlier way to ask for PostScript, still read.
    if (!Choose(value, {{"application/postscript", Format::kPostScript}, {"application/pdf", Format::kPdf}},
                &output->format)) {
      return Bad(name, value, "application/pdf or application/postscript");
    }
  } else if (name == "kalvenor-escpos-width") {
    int dots = 0;
    if (!ParseInt(value, &dots) || dots < 128 || dots > 2048 || dots % 8 != 0) {
      return Bad(name, value, "a multiple of 8 from 128 to 2048 dots");
    }
    output->width_dots = dots;
  } else if (name == "kalvenor-escpos-dpi") {
    int dpi = 0;
    if (!ParseInt(value, &dpi) || (dpi != 203 && dpi != 180 && dpi != 300)) {
      return Bad(name, value, "203, 180 or 300");
    }
    output->dpi = dpi;
  } else if (name == "kalvenor-escpos-cut") {
    if (!Choose(value, {{"partial", Cut::kPartial}, {"full", Cut::kFull}, {"none", Cut::kNone}}, &output->cut)) {
      return Bad(name, value, "partial, full or none");
    }
  } else if (name == "kalvenor-escpos-fit") {
    if (!Choose(value, {{"none", false}, {"scale", true}}, &output->fit_scale)) {
      return Bad(name, value, "none or scale");
    }
  } else {
    return "unknown printer option " + name;
  }
  return std::string();
}

std::string ParsePrinterOptions(const std::string& text, PrinterOutput* output) {
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = Trim(text.substr(at, end - at));
    at = end + 1;
    if (line.empty() || line[0] == '#') continue;
    size_t equals = line.find('=');
    if (equals == std::string::npos) return "bad line in kalvenor-options: " + line;
    std::string name = Trim(line.substr(0, equals));
    std::string value = Trim(line.substr(equals + 1));
    // In the file every name is ours: one without the prefix is a mistake.
    if (!name.starts_with("kalvenor-")) return "unknown printer option " + name;
    std::string error = ApplyPrinterOption(name, value, output);
    if (!error.empty()) return error;
  }
  return std::string();
}

}  // namespace kalvenor
