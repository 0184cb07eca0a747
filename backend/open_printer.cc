// Opening a printer: a TCP connection or a character device (a serial port in
// raw mode), tried again once a second until the deadline.
#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <string.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>

#include "backend/link.h"

namespace kalvenor {
namespace {

speed_t SpeedOf(int baud) {
  switch (baud) {
    case 1200: return B1200;
    case 1800: return B1800;
    case 2400: return B2400;
    case 4800: return B4800;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    default: return B9600;
  }
}

// Raw mode: 8 data bits, no parity, one stop bit, no byte translated or
// swallowed, flow control as the URI says.
bool MakeRaw(int fd, const DeviceUri& uri, std::string* detail) {
  termios mode{};
  if (tcgetattr(fd, &mode) != 0) return true;  // not a terminal: used as it is
  cfmakeraw(&mode);
  mode.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS);
  mode.c_cflag |= CS8 | CLOCAL | CREAD;
  mode.c_iflag &= ~(IXON | IXOFF | IXANY);
  if (uri.flow == DeviceUri::Flow::kRtsCts) mode.c_cflag |= CRTSCTS;
  if (uri.flow == DeviceUri::Flow::kXonXoff) mode.c_iflag |= IXON | IXOFF;
  mode.c_cc[VMIN] = 1;
  mode.c_cc[VTIME] = 0;
  if (cfsetispeed(&mode, SpeedOf(uri.baud)) != 0 || cfsetospeed(&mode, SpeedOf(uri.baud)) != 0 ||
      tcsetattr(fd, TCSANOW, &mode) != 0) {
    *detail = uri.path + ": " + strerror(errno);
    return false;
  }
  return true;
}

int OpenDevice(const DeviceUri& uri, std::string* detail) {
  int fd = open(uri.path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) *detail = uri.path + ": " + strerror(errno);
  if (fd >= 0 && !MakeRaw(fd, uri, detail)) {
    close(fd);
    return -1;
  }
  return fd;
}

// One non-blocking connect to `address`, waited for until `until`.
int ConnectTo(const addrinfo& address, Moment until, int cancel_fd, bool* cancelled) {
  int fd = socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, address.ai_protocol);
  if (fd < 0) return -1;
  if (connect(fd, address.ai_addr, address.ai_addrlen) != 0 && errno != EINPROGRESS) {
    close(fd);
    return -1;
  }
  for (;;) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now()).count();
    pollfd fds[2] = {{fd, POLLOUT, 0}, {cancel_fd, POLLIN, 0}};
    int ready = poll(fds, 2, static_cast<int>(std::clamp<long>(left, 0, 60000)));
    if (ready < 0 && errno == EINTR) continue;
    int error = 0;
    socklen_t size = sizeof error;
    *cancelled = fds[1].revents != 0;
    if (ready > 0 && !*cancelled && getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0) {
      return fd;
    }
    if (ready != 0 || left <= 0) break;
  }
  close(fd);
  return -1;
}

int OpenTcp(const DeviceUri& uri, Moment until, int cancel_fd, bool* cancelled, std::string* detail) {
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV | AI_ADDRCONFIG;
  addrinfo* found = nullptr;
  int error = getaddrinfo(uri.host.c_str(), std::to_string(uri.port).c_str(), &hints, &found);
  if (error != 0) {
    *detail = uri.host + ": " + gai_strerror(error);
    return -1;
  }
  int fd = -1;
  for (addrinfo* address = found; address != nullptr && fd < 0 && !*cancelled; address = address->ai_next) {
    fd = ConnectTo(*address, until, cancel_fd, cancelled);
  }
  freeaddrinfo(found);
  if (fd < 0) *detail = uri.host + " port " + std::to_string(uri.port) + ": no connection";
  return fd;
}

bool Cancelled(int cancel_fd, Moment until) {
  pollfd fd = {cancel_fd, POLLIN, 0};
  auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now()).count();
  return poll(&fd, 1, static_cast<int>(std::max<long>(left, 0))) > 0;
}

}  // namespace

Link::Io OpenPrinter(const DeviceUri& uri, Moment until, int cancel_fd, std::unique_ptr<Link>* link,
                     std::string* detail) {
  for (;;) {
    Moment next = Clock::now() + std::chrono::seconds(1);
    bool cancelled = false;
    int fd = uri.kind == DeviceUri::Kind::kTcp ? OpenTcp(uri, until, cancel_fd, &cancelled, detail)
                                                : OpenDevice(uri, detail);
    if (fd >= 0) {
      *link = std::make_unique<Link>(fd, cancel_fd);
      return Link::Io::kDone;
    }
    if (cancelled || Cancelled(cancel_fd, std::min(next, until))) return Link::Io::kCancelled;
    if (Clock::now() >= until) return Link::Io::kTimeout;
  }
}

}  // namespace kalvenor
