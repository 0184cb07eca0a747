// The kalvenor CUPS back end: sends a job to an ESC/POS printer and lets it
// complete only once the printer has printed it.
#ifndef KALVENOR_BACKEND_RUN_BACKEND_H_
#define KALVENOR_BACKEND_RUN_BACKEND_H_

namespace kalvenor {

// CUPS's back end interface: no arguments lists the device; else `job user
// title copies options [file]` with the device URI in DEVICE_URI, the job
// from the file or standard input. Returns the exit status: 0 printed, 5 the
// job failed (ERROR: and its reason on standard error), 1 unusable arguments.
int RunBackend(int argc, char** argv);

}  // namespace kalvenor

#endif  // KALVENOR_BACKEND_RUN_BACKEND_H_
