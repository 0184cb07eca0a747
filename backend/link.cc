// Bounded reads and writes on the connection to a printer.
#include "backend/link.h"

#include <errno.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>

namespace kalvenor {

Link::~Link() { close(fd_); }

Link::Io Link::Await(short events, Moment until) {
  for (;;) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now()).count();
    pollfd fds[2] = {{fd_, events, 0}, {cancel_fd_, POLLIN, 0}};
    int ready = poll(fds, cancel_fd_ >= 0 ? 2 : 1, static_cast<int>(std::clamp<long>(left, 0, 60000)));
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) return Io::kClosed;
    if (cancel_fd_ >= 0 && fds[1].revents != 0) return Io::kCancelled;
    if (fds[0].revents & (POLLERR | POLLNVAL)) return Io::kClosed;
    // A hang-up still lets the bytes sent before it be read.
    if (fds[0].revents != 0) return Io::kDone;
    if (left <= 0) return Io::kTimeout;
  }
}

Link::Io Link::ReadSome(std::string* in) {
  char buffer[4096];
  ssize_t got = read(fd_, buffer, sizeof buffer);
  if (got > 0) {
    in->append(buffer, got);
    return Io::kDone;
  }
  if (got < 0 && (errno == EAGAIN || errno == EINTR)) return Io::kTimeout;
  return Io::kClosed;
}

Link::Io Link::Read(Moment until, std::string* in) {
  for (;;) {
    Io io = Await(POLLIN, until);
    if (io != Io::kDone) return io;
    io = ReadSome(in);
    if (io != Io::kTimeout) return io;
  }
}

Link::Io Link::Drain(std::string* in) {
  Io io;
  while ((io = Read(Clock::now(), in)) == Io::kDone) {
  }
  return io == Io::kTimeout ? Io::kDone : io;
}

Link::Io Link::Write(std::string_view bytes, Moment until, std::string* in) {
  while (!bytes.empty()) {
    Io io = Await(POLLOUT | POLLIN, until);
    if (io != Io::kDone) return io;
    io = ReadSome(in);
    if (io == Io::kClosed) return io;
    ssize_t put = write(fd_, bytes.data(), bytes.size());
    if (put > 0) bytes.remove_prefix(put);
    else if (put < 0 && errno != EAGAIN && errno != EINTR) return Io::kClosed;
  }
  return Io::kDone;
}

}  // namespace kalvenor
