// The C.A.E. reply file reader.
#include "printing/cae_reply.h"

#include "base/code_page.h"
#include "base/run_time_error.h"

namespace kalvenor {

Text CaeReplyPath(const JobState& state) {
  return state.program_drive + u"\\CAE\\RTA\\R-" + Mid(state.slip_file_name, 3, 6) + u".csv";
}

Text ReadCaeQrData(const Job& job, Host& host) {
  Text path = CaeReplyPath(job.state);
  if (!host.files->IsOrdinaryFile(host.files->HostPath(path))) return Text();
  // Windows-1252 keeps ";", " " and ASCII letters as single bytes of their
  // own, so the last field is found and trimmed in the bytes, in place, and
  // only that field is decoded.
  std::string bytes = host.files->ReadFile(host.files->HostPath(path));
  size_t p = bytes.rfind(';');
  bytes.erase(0, p == std::string::npos ? 0 : p + 1);
  // The last record's line end is cut off blindly: a field without room for
  // it is a malformed reply, and the job fails rather than guess.
  if (bytes.size() < 2) throw RunTimeError(kInvalidProcedureCall);
  bytes.resize(bytes.size() - 2);
  size_t last = bytes.find_last_not_of(' ');
  bytes.resize(last == std::string::npos ? 0 : last + 1);
  bytes.erase(0, bytes.find_first_not_of(' '));
  if (bytes.empty() || bytes.find("afip") == std::string::npos) return Text();
  return DecodeAnsi(bytes);
}

Text ReadWholeFile(const Text& path, Host& host) {
  return DecodeAnsi(host.files->ReadFile(host.files->HostPath(path)));
}

}  // namespace kalvenor
