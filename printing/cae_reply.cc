// The C.A.E. reply file reader.
#include "printing/cae_reply.h"

#include "platform/code_page.h"
#include "platform/run_time_error.h"

namespace kalvenor {

Text CaeReplyPath(const JobState& state) {
  return state.program_drive + u"\\CAE\\RTA\\R-" + Mid(state.slip_file_name, 3, 6) + u".csv";
}

Text ReadCaeQrData(const Job& job, Host& host) {
  Text path = CaeReplyPath(job.state);
  if (!host.files->IsOrdinaryFile(host.files->HostPath(path))) return Text();
  Text text = ReadWholeFile(path, host);
  size_t p = InStrRev(text, u";");
  Text field = Mid(text, p + 1);
  // The last record's line end is cut off blindly: a field without room for
  // it is a malformed reply, and the job fails rather than guess.
  if (field.size() < 2) throw RunTimeError(kInvalidProcedureCall);
  field = Trim(Left(field, field.size() - 2));
  if (field.empty() || InStr(field, u"afip") == 0) return Text();
  return field;
}

Text ReadWholeFile(const Text& path, Host& host) {
  return DecodeAnsi(host.files->ReadFile(host.files->HostPath(path)));
}

}  // namespace kalvenor
