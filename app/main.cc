// kalvenor: prints one slip or label file and leaves the two-line log.
#include <cstdio>
#include <cstring>

#include "app/job.h"
#include "platform/host.h"

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
  kalvenor::Host host = kalvenor::MakeRealHost();
  return kalvenor::RunJob(kalvenor::RawCommandLine(argc, argv), host);  // 0: log written
}
