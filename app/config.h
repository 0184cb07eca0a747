// The configuration file KALVENOR.INI: font name, left margin and three font
// sizes, one setting per 49-byte record, the value in bytes 21 to 45.
#ifndef KALVENOR_APP_CONFIG_H_
#define KALVENOR_APP_CONFIG_H_

#include "printing/job_state.h"
#include "host/host.h"

namespace kalvenor {

// Reads the five settings from KALVENOR.INI in the working directory (an
// empty file is created when there is none). Any failure, a value that is
// not a 16-bit number included, gives all five defaults; never raises.
Config ReadConfiguration(Host& host);

}  // namespace kalvenor

#endif  // KALVENOR_APP_CONFIG_H_
