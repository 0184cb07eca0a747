// The entry procedure: job paths, the comanda / label dispatch and the log.
#include "app/job.h"

#include <cstdio>
#include <exception>
#include <optional>
#include <string>

#include "app/command_line.h"
#include "app/config.h"
#include "app/feed_count.h"
#include "base/code_page.h"
#include "base/run_time_error.h"
#include "printing/comanda_renderer.h"
#include "printing/label_renderer.h"
#include "printing/slip_file.h"

namespace kalvenor {
namespace {


// Lookups that cannot even reach the folder (an unmapped drive) count as
// "no such file": the copy that follows then reports the failure.
bool IsOrdinaryFileAt(const Text& dos_path, Host& host) {
  try {
    return !dos_path.empty() && host.files->IsOrdinaryFile(host.files->HostPath(dos_path));
  } catch (const RunTimeError& error) {
    std::fprintf(stderr, "kalvenor: %s: %s; taken as no such file\n", ToUtf8(dos_path).c_str(),
                 error.description().c_str());
    return false;
  }
}

void RunComandaJob(Job& job, Host& host) {
  JobState& state = job.state;
  state.copy_path = Text(kSlipsFolder) + u"\\9" + Right(state.slip_file_name, 11);
  state.slip_path = ResolveSlipPath(state.slip_path, state, host);
  if (state.copy_path != state.slip_path) {
    // Keep the bytes the host wrote: the copy is made before the cleaning.
    if (state.slip_path.empty()) throw RunTimeError(kFileNotFound);
    host.files->CopyFile(host.files->HostPath(state.slip_path), host.files->HostPath(state.copy_path));
  }
  job.config = ReadConfiguration(host);
  state.feed_count = ReadFeedCount(host);
  CleanSlipFile(state.slip_path, host);
  PreScanSlip(state.slip_path, job.prescan, host);
  PrintComandaJob(state.slip_path, state.log_path, job, host);
}

void RunJobSteps(const std::string& command_line, Job& job, Host& host) {
  JobState& state = job.state;
  std::vector<Text> arguments = SplitCommandLine(command_line);
  if (arguments.size() == 4) {
    state.slip_path = UCase(arguments[0]);
    state.log_path = UCase(arguments[1]);
    state.fourth_switch = UCase(arguments[3]) == u"S";
  }
  std::string drive = host.env("KALVENOR_PROGRAM_DRIVE").value_or("");
  state.program_drive = Left(FromUtf8(drive.empty() ? "C:" : drive), 2);  // empty: as unset
  state.slip_path = state.program_drive + state.slip_path;
  state.log_path = state.program_drive + state.log_path;
  job.prescan.prescription_flag = false;
  job.prescan.insurer_difference = false;
  state.slip_file_name = Right(state.slip_path, 12);
  if (InStrNoCase(state.slip_file_name, u"ETIQUE") != 0) {
    job.config = ReadConfiguration(host);
    PrintLabelJob(state.slip_path, state.log_path, job, host);
  } else {
    RunComandaJob(job, host);
  }
}

// The text with every control character (a CR or LF among them) shown as
// "?", so that it stays on its one log line.
Text OneLine(Text text) {
  for (char16_t& c : text) {
    if (c < 0x20 || c == 0x7F) c = u'?';
  }
  return text;
}

// Writes the two log lines through a temporary file and a rename, so the
// sales system never reads half a log. False when it cannot be written.
bool WriteLog(const JobState& state, const Text& outcome, Host& host, std::string* reason) {
  Text log = u"Impresion de Comanda: " + OneLine(state.slip_path) + u"\r\n" + OneLine(outcome) + u"\r\n";
  try {
    host.files->WriteFileAtomic(host.files->HostPath(state.log_path), EncodeAnsi(log));
    return true;
  } catch (...) {
    *reason = ErrorFromException(std::current_exception()).description();
  }
  return false;
}

}  // namespace

std::string RawCommandLine(int argc, char** argv) {
  std::string line;
  for (int i = 0; i < argc; ++i) {
    std::string word = argv[i];
    if (i == 0 && word.find(' ') != std::string::npos) word = "\"" + word + "\"";
    if (i > 0) line += ' ';
    line += word;
  }
  return line;
}

std::string JobCommandLine(int argc, char** argv, const EnvLookup& env) {
  if (std::optional<std::string> launcher_line = env("KALVENOR_COMMAND_LINE")) return *launcher_line;
  return RawCommandLine(argc, argv);
}

Text ResolveSlipPath(const Text& slip_path, const JobState& state, Host& host) {
  if (IsOrdinaryFileAt(slip_path, host)) return slip_path;
  if (IsOrdinaryFileAt(state.copy_path, host)) return state.copy_path;
  return Text();
}

int RunJob(const std::string& command_line, Host& host) {
  Job job;
  Text outcome = u"Finalizo correctamente.";
  try {
    RunJobSteps(command_line, job, host);
  } catch (...) {
    // The one catch site. A failure that is not a run-time error is a fault
    // of the program: the log gets the table's description, standard error
    // the exception's own text for whoever looks into it.
    std::exception_ptr exception = std::current_exception();
    RunTimeError error = ErrorFromException(exception);
    if (error.number() == kInternalError) {
      std::fprintf(stderr, "kalvenor: internal error: %s\n", ExceptionText(exception).c_str());
    }
    outcome = u"ERROR: " + FromUtf8(error.description());
  }
  std::string reason;
  if (!WriteLog(job.state, outcome, host, &reason)) {
    std::fprintf(stderr, "kalvenor: cannot write the log %s: %s\n", ToUtf8(job.state.log_path).c_str(),
                 reason.c_str());
    return 1;
  }
  return 0;
}

}  // namespace kalvenor
