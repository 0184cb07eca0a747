// The lines the back end writes to CUPS on standard error: STATE: for the
// printer's condition (each reason set once and cleared once), INFO: and ERROR:.
#ifndef KALVENOR_BACKEND_CUPS_MESSAGES_H_
#define KALVENOR_BACKEND_CUPS_MESSAGES_H_

#include <set>
#include <string>

#include "backend/printer_status.h"

namespace kalvenor {

class CupsMessages {
 public:
  explicit CupsMessages(int fd) : fd_(fd) {}
  // Sets the state reasons of `verdict` and clears the others this back end set.
  void Show(const Verdict& verdict);
  void Info(const std::string& text) { Line("INFO: " + text); }
  void Error(const std::string& reason) { Line("ERROR: " + reason); }

 private:
  void Line(const std::string& line);

  int fd_;
  std::set<std::string> shown_;  // the reasons set now
};

}  // namespace kalvenor

#endif  // KALVENOR_BACKEND_CUPS_MESSAGES_H_
