// The connection to a printer: a socket or a character device, opened
// non-blocking, where every wait ends at a given time or when the job is cancelled.
#ifndef KALVENOR_BACKEND_LINK_H_
#define KALVENOR_BACKEND_LINK_H_

#include <chrono>
#include <memory>
#include <string>
#include <string_view>

#include "backend/device_uri.h"

namespace kalvenor {

using Clock = std::chrono::steady_clock;
using Moment = Clock::time_point;

class Link {
 public:
  enum class Io { kDone, kTimeout, kCancelled, kClosed };

  // Takes `fd`; `cancel_fd` becomes readable when the job is cancelled.
  Link(int fd, int cancel_fd) : fd_(fd), cancel_fd_(cancel_fd) {}
  ~Link();
  Link(const Link&) = delete;
  Link& operator=(const Link&) = delete;

  // Waits until `until` for bytes and appends them to *in (kDone: some came).
  Io Read(Moment until, std::string* in);
  // Appends to *in what the printer has already sent, without waiting.
  Io Drain(std::string* in);
  // Sends all of `bytes` by `until`, appending to *in what the printer says meanwhile.
  Io Write(std::string_view bytes, Moment until, std::string* in);
  // From now on a cancelled job no longer interrupts waits (while its buffers are cleared).
  void IgnoreCancel() { cancel_fd_ = -1; }

 private:
  // Polls for `events` until `until`: kDone when ready, else why not.
  Io Await(short events, Moment until);
  Io ReadSome(std::string* in);

  int fd_;
  int cancel_fd_;
};

// Opens the printer of `uri` (a character device that is a terminal in raw
// mode at its baud and flow control), trying again once a second until
// `until`. kDone with *link set, kTimeout when unreachable (why in *detail), or kCancelled.
Link::Io OpenPrinter(const DeviceUri& uri, Moment until, int cancel_fd, std::unique_ptr<Link>* link,
                     std::string* detail);

}  // namespace kalvenor

#endif  // KALVENOR_BACKEND_LINK_H_
