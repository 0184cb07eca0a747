// The host of a real run: the process's environment, the disk, the
// printers and the trace.
#ifndef KALVENOR_APP_REAL_HOST_H_
#define KALVENOR_APP_REAL_HOST_H_

#include <string>

#include "host/host.h"

namespace kalvenor {

Host MakeRealHost();

// The folder that holds the running program; "." when it cannot be told.
std::string ExecutableFolder();

}  // namespace kalvenor

#endif  // KALVENOR_APP_REAL_HOST_H_
