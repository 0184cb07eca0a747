// Fuzz target: a whole comanda job (copy, cleaning, pre-scan, sorting,
// receipts with barcodes and the QR code) from arbitrary slip bytes, on a
// recording printer with the files in memory.
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/job.h"
#include "fuzz/fuzz_host.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kalvenor;
  FuzzHost fuzz;
  std::string slip(reinterpret_cast<const char*>(data), size);
  // A reply file with a QR link, so the first copy draws the code.
  fuzz.files->Put("/mem/C/CAE/RTA/R-001234.csv",
                  "1;20240105;https://www.afip.gob.ar/fe/qr/?p=eyJ2ZXIiOjF9\r\n");
  fuzz.files->Put("/mem/C/VENTAS/C0001234.TXT", slip);
  bool header_switch = size > 0 && (data[0] & 1) != 0;
  int status = RunJob(std::string("kalvenor \\VENTAS\\C0001234.TXT \\VENTAS\\LOG.TXT N ") +
                          (header_switch ? "S" : "N"),
                      fuzz.host);
  Require(status == 0, "the log could be written");
  CheckLog(*fuzz.files, "/mem/C/VENTAS/LOG.TXT");
  // The copy keeps the host's bytes; the cleaned slip differs only in NULs
  // and one appended line end.
  const std::string* copy = fuzz.files->Find("/mem/H/COMANDAS/90001234.TXT");
  Require(copy != nullptr && *copy == slip, "the slips-folder copy holds the original bytes");
  return 0;
}
