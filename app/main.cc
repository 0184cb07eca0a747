// kalvenor: prints one slip or label file and leaves the two-line log.
#include "app/job.h"
#include "platform/host.h"

int main(int argc, char** argv) {
  kalvenor::Host host = kalvenor::MakeRealHost();
  return kalvenor::RunJob(kalvenor::JobCommandLine(argc, argv, host.env), host);  // 0: log written
}
