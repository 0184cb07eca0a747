// The page size a printed document states.
#include "printers/page_media.h"

#include <cmath>
#include <optional>
#include <string_view>

#include "base/locale_number.h"

namespace kalvenor {
namespace {

// Reads four numbers separated by blanks from `text` at `at`, whatever the
// process's locale. False when there are not four.
bool ReadNumbers(const std::string& text, size_t at, double (&numbers)[4]) {
  for (double& number : numbers) {
    at = text.find_first_not_of(" \t\r\n", at);
    if (at == std::string::npos) return false;
    size_t end = text.find_first_of(" \t\r\n]", at);
    if (end == std::string::npos) end = text.size();
    std::optional<double> value = ParsePlainNumber(std::string_view(text).substr(at, end - at));
    if (!value) return false;
    number = *value;
    at = end;
  }
  return true;
}

}  // namespace

std::string PageMediaOf(const std::string& document) {
  const std::string keys[] = {"/MediaBox [", "%%BoundingBox:"};
  for (const std::string& key : keys) {
    size_t at = document.find(key);
    if (at == std::string::npos) continue;
    double box[4];
    if (!ReadNumbers(document, at + key.size(), box)) continue;
    double width = std::ceil(box[2] - box[0]), height = std::ceil(box[3] - box[1]);
    if (!(width > 0 && height > 0 && width < 1e9 && height < 1e9)) continue;
    return "Custom." + std::to_string(static_cast<long>(width)) + "x" +
           std::to_string(static_cast<long>(height));
  }
  return std::string();
}

}  // namespace kalvenor
