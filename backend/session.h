// One job on one printer: proves the printer ready, sends the job unchanged,
// proves it printed (a process ID the printer answers once everything before
// it has printed) and, when the job fails or is cancelled after anything was
// sent, clears the printer's buffers so that none of it prints later.
#ifndef KALVENOR_BACKEND_SESSION_H_
#define KALVENOR_BACKEND_SESSION_H_

#include <string>
#include <string_view>

#include "backend/cups_messages.h"
#include "backend/device_uri.h"
#include "backend/link.h"
#include "backend/printer_status.h"

namespace kalvenor {

struct Outcome {
  std::string reason;      // "" when printed (with status=off: sent), else why not
  bool cancelled = false;  // the reason is then "cancelled"
};

class Session {
 public:
  // Every step ends by `deadline` (start + wait); the printing receipt and the
  // buffer clear take at most 7 s more.
  Session(const DeviceUri& uri, Link& link, Moment deadline, CupsMessages& messages)
      : uri_(uri), link_(link), deadline_(deadline), messages_(messages) {}

  // REQUIRES: `process_id` is four digits, new for this job.
  Outcome Run(std::string_view job, std::string_view process_id);

 private:
  std::string Steps(std::string_view job, std::string_view process_id, bool* sent);
  std::string AwaitReady(bool silence_fails);
  std::string AwaitProcessId();
  bool ClearBuffers();
  Link::Io Ask(std::string_view query, Moment until);
  void Feed();
  std::string ReasonOf(Link::Io io);

  const DeviceUri& uri_;
  Link& link_;
  Moment deadline_;
  CupsMessages& messages_;
  StatusReader reader_;
  std::string in_;  // read from the printer, not yet fed to reader_
  bool cancelled_ = false;
};

}  // namespace kalvenor

#endif  // KALVENOR_BACKEND_SESSION_H_
