// Fuzz target: the C.A.E. reply-file reader on arbitrary file contents.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_host.h"
#include "base/run_time_error.h"
#include "printing/cae_reply.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kalvenor;
  FuzzHost fuzz;
  fuzz.files->Put("/mem/C/CAE/RTA/R-001234.csv", std::string(reinterpret_cast<const char*>(data), size));
  Job job;
  job.state.slip_path = u"C:\\VENTAS\\C0001234.TXT";
  job.state.slip_file_name = u"C0001234.TXT";
  try {
    Text qr = ReadCaeQrData(job, fuzz.host);
    Require(qr.empty() || qr.find(u"afip") != Text::npos, "QR data is empty or an afip link");
    Require(qr.empty() || Trim(qr) == qr, "QR data is trimmed");
  } catch (const RunTimeError& error) {
    Require(error.number() == kInvalidProcedureCall, "only a short reply raises");
  }
  return 0;
}
