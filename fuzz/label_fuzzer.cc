// Fuzz target: a whole label job from arbitrary label-file bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/job.h"
#include "fuzz/fuzz_host.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kalvenor;
  FuzzHost fuzz;
  fuzz.files->Put("/mem/C/VENTAS/ETIQUE01.TXT", std::string(reinterpret_cast<const char*>(data), size));
  int status = RunJob("kalvenor \\VENTAS\\ETIQUE01.TXT \\VENTAS\\LOG.TXT N N", fuzz.host);
  Require(status == 0, "the log could be written");
  CheckLog(*fuzz.files, "/mem/C/VENTAS/LOG.TXT");
  return 0;
}
