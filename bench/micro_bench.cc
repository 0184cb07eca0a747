// Micro-benchmarks: the encoders, the slip reader and sorter, and the
// receipts of the sample slip on a recording printer.
#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>
#include <string>

#include "printing/job_state.h"
#include "barcode_form/frm_cod_barra.h"
#include "code128/barcode128.h"
#include "printing/comanda_renderer.h"
#include "printing/slip_file.h"
#include "testing/fake_host.h"

namespace kalvenor {
namespace {

// The three-copy PAMI slip of bench/make_slip.py, read from the build.
std::string SampleSlip() {
  std::ifstream in(KALVENOR_BENCH_SLIP, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void BM_Code128Modules(benchmark::State& state) {
  BarCode128 engine;
  for (auto _ : state) benchmark::DoNotOptimize(engine.Barras(u"12345678901234567890", kCode128SetB));
}
BENCHMARK(BM_Code128Modules);

void BM_EanPicture(benchmark::State& state) {
  Sandbox sandbox;
  RecordingPrinter* printer = nullptr;
  Host host = MakeTestHost(sandbox, &printer);
  frmCodBarra form(host);
  for (auto _ : state) benchmark::DoNotOptimize(form.bGenerar_Click(u"0000000001234"));
}
BENCHMARK(BM_EanPicture);

void BM_Code39Picture(benchmark::State& state) {
  Sandbox sandbox;
  RecordingPrinter* printer = nullptr;
  Host host = MakeTestHost(sandbox, &printer);
  frmCodBarra form(host);
  int n = 0;
  // A new text every time: the form draws only when the text changes.
  for (auto _ : state) benchmark::DoNotOptimize(form.GenerarCodigoDeBarra39(u"A" + FromUtf8(std::to_string(++n % 100000))));
}
BENCHMARK(BM_Code39Picture);

// Reads, pre-scans, sorts and prints the sample slip: two receipts with both
// barcodes and the QR code, on the recording printer.
void BM_SampleSlipOnRecordingPrinter(benchmark::State& state) {
  Sandbox sandbox;
  std::string slip = SampleSlip();
  const Text path = u"C:\\VENTAS\\C0001234.TXT";
  for (auto _ : state) {
    state.PauseTiming();
    sandbox.Write("C/VENTAS/C0001234.TXT", slip);
    sandbox.Write("C/CAE/RTA/R-001234.csv", "x;https://www.afip.gob.ar/fe/qr/?p=e30\r\n");
    RecordingPrinter* printer = nullptr;
    Host host = MakeTestHost(sandbox, &printer);
    Job job;
    state.ResumeTiming();
    PreScanSlip(path, job.prescan, host);
    PrintComandaJob(path, u"", job, host);
    benchmark::DoNotOptimize(printer->documents.size());
  }
}
BENCHMARK(BM_SampleSlipOnRecordingPrinter)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kalvenor

BENCHMARK_MAIN();
