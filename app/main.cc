// kalvenor: prints one slip or label file and leaves the two-line log.
#include <fcntl.h>
#include <signal.h>

#include <cerrno>

#include "app/job.h"
#include "platform/host.h"

int main(int argc, char** argv) {
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
  return kalvenor::RunJob(kalvenor::RawCommandLine(argc, argv), host);  // 0: log written
}
