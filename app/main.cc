// kalvenor: prints one slip or label file and leaves the two-line log.
#include <fcntl.h>
#include <signal.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/job.h"
#include "app/real_host.h"

#ifndef KALVENOR_VERSION
#define KALVENOR_VERSION "unknown"
#endif

int main(int argc, char** argv) {
  // "kalvenor --version" prints the version and nothing else happens: no
  // host set-up, no log. The sales system always passes four arguments.
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("kalvenor %s\n", KALVENOR_VERSION);
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
  }
  // A closed standard error or a file size limit must end in a logged
  // failure, not a silent death: writes fail with EPIPE / EFBIG instead.
  signal(SIGPIPE, SIG_IGN);
  signal(SIGXFSZ, SIG_IGN);
  // Descriptors 0 to 2 closed at start would be taken by the job's own
  // files (the trace as standard error): hold them with /dev/null.
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) == -1 && errno == EBADF && open("/dev/null", O_RDWR) != fd) break;
  }
  kalvenor::Host host = kalvenor::MakeRealHost();
  return kalvenor::RunJob(kalvenor::JobCommandLine(argc, argv, host.env), host);  // 0: log written
}
