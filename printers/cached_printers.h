// What both printer back ends keep for a run: the printer list, made on
// first use, and each printer's output settings, read once with what was
// wrong with them.
#ifndef KALVENOR_PRINTERS_CACHED_PRINTERS_H_
#define KALVENOR_PRINTERS_CACHED_PRINTERS_H_

#include <map>
#include <string>
#include <vector>

#include "printers/printers.h"

namespace kalvenor {

class CachedPrinters : public Printers {
 public:
  const std::vector<std::string>& Names() final;
  int DefaultIndex() final;
  // Raises RunTimeError "Printer error: NAME: what is wrong" each time while
  // the settings are wrong, so that no document goes out in a format the
  // printer did not ask for.
  PrinterOutput Output(const std::string& name) final;

 protected:
  // Makes the list once, on first use.
  void EnsureLoaded();
  // Fills names_ and default_index_ (-1 without printers).
  virtual void Load() = 0;
  // Reads the settings of printer `name` into `output`; returns "" or what
  // is wrong with them.
  virtual std::string ReadOutput(const std::string& name, PrinterOutput* output) = 0;

  std::vector<std::string> names_;
  int default_index_ = -1;

 private:
  struct Setting {
    PrinterOutput output;
    std::string error;
  };
  bool loaded_ = false;
  std::map<std::string, Setting> outputs_;
};

}  // namespace kalvenor

#endif  // KALVENOR_PRINTERS_CACHED_PRINTERS_H_
