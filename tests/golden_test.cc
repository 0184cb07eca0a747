// Every slip and label file of the fuzz corpora (the examples among them), printed as PDF, on an 80 mm
// ESC/POS printer and shrunk to 58 mm, leaves the log, the trace (every position and width) and the
// streams recorded in tests/golden/corpus.txt; the three traces differ only in the outputs' names.
// KALVENOR_UPDATE_GOLDEN=1 rewrites the file instead: a change of layout then shows as its diff.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>

#include "app/job.h"
#include "testing/job_sandbox.h"

namespace kalvenor {
namespace {

// The log, the trace without the outputs' names, and a hash (FNV-1a) of each ESC/POS stream.
std::string Printout(const std::string& input, const std::string& slip, const std::string& options) {
  JobSandbox job;
  job.sandbox.Write("C/CAE/RTA/R-001234.csv", JobSandbox::Example("R-001234.csv"));
  job.sandbox.Write("C/VENTAS/" + slip, ReadBytes(input));
  job.sandbox.Write("printers/COMANDERA/kalvenor-options", options);
  Host host = job.HostWith(MakeFolderPrinters(job.sandbox.Path("printers"), "OFICINA"));
  RunJob("kalvenor \\VENTAS\\" + slip + " \\VENTAS\\LOG.TXT N S", host);
  std::string out = job.sandbox.Read("C/VENTAS/LOG.TXT") + "\n" +
                    std::regex_replace(job.sandbox.Read("trace.jsonl"), std::regex(",\"output\":\"[^\"]*\""), "");
  for (const std::string& prn : job.Pdfs("COMANDERA", ".prn")) {
    uint64_t hash = 14695981039346656037u;
    for (unsigned char c : job.sandbox.Read(prn)) hash = (hash ^ c) * 1099511628211u;
    out += prn.substr(prn.rfind('/') + 1) + " " + std::to_string(hash) + "\n";
  }
  return out;
}

TEST(Golden, CorpusPrintsAsRecorded) {
  std::string printed;
  for (std::string kind : {"comanda", "label"}) {
    std::set<std::string> inputs;
    for (const auto& entry : std::filesystem::directory_iterator(KALVENOR_SOURCE_DIR "/fuzz/corpus/" + kind)) {
      inputs.insert(entry.path().string());
    }
    for (const std::string& input : inputs) {
      SCOPED_TRACE(input);
      const std::string slip = kind == "label" ? "ETIQUE01.TXT" : "C0001234.TXT";
      const std::string pdf = Printout(input, slip, "");
      printed += "== " + kind + "/" + input.substr(input.rfind('/') + 1) + "\n" + pdf;
      for (const char* escpos : {"", "kalvenor-escpos-width=384\nkalvenor-escpos-fit=scale\n"}) {
        const std::string out = Printout(input, slip, "kalvenor-output=escpos\n" + std::string(escpos));
        EXPECT_TRUE(out.starts_with(pdf)) << "the trace differs from the PDF printer's";
        printed += out.substr(std::min(pdf.size(), out.size()));
      }
    }
  }
  const std::string golden = KALVENOR_SOURCE_DIR "/tests/golden/corpus.txt";
  if (std::getenv("KALVENOR_UPDATE_GOLDEN") != nullptr) WriteBytes(golden, printed);
  EXPECT_TRUE(printed == ReadBytes(golden)) << "the corpus prints otherwise (KALVENOR_UPDATE_GOLDEN=1, git diff)";
}

}  // namespace
}  // namespace kalvenor
