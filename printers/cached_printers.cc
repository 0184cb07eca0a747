// The printer list and output settings both back ends keep for a run.
#include "printers/cached_printers.h"

#include "base/run_time_error.h"

namespace kalvenor {

void CachedPrinters::EnsureLoaded() {
  if (loaded_) return;
  loaded_ = true;
  Load();
}

const std::vector<std::string>& CachedPrinters::Names() {
  EnsureLoaded();
  return names_;
}

int CachedPrinters::DefaultIndex() {
  EnsureLoaded();
  return default_index_;
}

PrinterOutput CachedPrinters::Output(const std::string& name) {
  auto known = outputs_.find(name);
  if (known == outputs_.end()) {
    Setting setting;
    setting.error = ReadOutput(name, &setting.output);
    known = outputs_.emplace(name, setting).first;
  }
  if (!known->second.error.empty()) {
    throw RunTimeError(kPrinterError, ErrorDescription(kPrinterError) + ": " + name + ": " + known->second.error);
  }
  return known->second.output;
}

}  // namespace kalvenor
