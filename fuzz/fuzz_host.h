// What the fuzz targets share: a host whose files are in memory and whose
// printer records, and a few helpers to split the fuzzer's bytes.
#ifndef KALVENOR_FUZZ_FUZZ_HOST_H_
#define KALVENOR_FUZZ_FUZZ_HOST_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "host/host.h"
#include "testing/fake_host.h"
#include "fuzz/memory_file_system.h"

namespace kalvenor {

// Drives C: and H: are /mem/C and /mem/H in a MemoryFileSystem, with the
// folders a job expects (C:\CAJA, C:\VENTAS, H:\COMANDAS, C:\CAE\RTA) and
// the example settings and feed count. No network: QR codes are drawn by
// the built-in renderer.
struct FuzzHost {
  FuzzHost();
  Host host;
  MemoryFileSystem* files = nullptr;   // owned by host
  RecordingPrinter* printer = nullptr;  // owned by host
};

// Aborts (a fuzzer finding) unless the log at `host_path` is the two lines
// a finished job writes: "Impresion de Comanda: ..." and either
// "Finalizo correctamente." or "ERROR: " and a description.
void CheckLog(const MemoryFileSystem& files, const std::string& host_path);

// Aborts with `what` when `condition` does not hold.
void Require(bool condition, const char* what);

}  // namespace kalvenor

#endif  // KALVENOR_FUZZ_FUZZ_HOST_H_
