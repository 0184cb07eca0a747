// The entry procedure: dispatch between comanda and label jobs, and the log.
#ifndef KALVENOR_APP_JOB_H_
#define KALVENOR_APP_JOB_H_

#include <string>

#include "printing/job_state.h"
#include "host/host.h"

namespace kalvenor {

// The process's command line as one text: the program path (quoted when it
// holds a space) and the arguments, joined by single spaces.
std::string RawCommandLine(int argc, char** argv);

// The raw command line the job splits: KALVENOR_COMMAND_LINE when the
// environment holds it (a launcher that received the sales system's own
// command line, the program path included, passes it on unchanged), else
// RawCommandLine(argc, argv). When the variable is set the arguments are
// ignored, even when it is empty.
std::string JobCommandLine(int argc, char** argv, const EnvLookup& env);

// The slip's own path when a file is there, else the slips-folder copy's
// path when that file is there, else empty text. Hidden files and folders do
// not count.
Text ResolveSlipPath(const Text& slip_path, const JobState& state, Host& host);

// Runs one job for `command_line` and writes the log. Returns 0 when the log
// was written, 1 when it could not be (the reason goes to standard error).
int RunJob(const std::string& command_line, Host& host);

}  // namespace kalvenor

#endif  // KALVENOR_APP_JOB_H_
