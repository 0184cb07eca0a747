// The built program run as the sales system runs it, on a folder printer and through a real CUPS queue.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <regex>

#include "testing/barcode_testing.h"
#include "testing/job_sandbox.h"

namespace kalvenor {
namespace {

namespace fs = std::filesystem;

const char kFinished[] = "Impresion de Comanda: C:\\VENTAS\\C0001234.TXT\r\nFinalizo correctamente.\r\n";

std::string PdfText(const std::string& pdf) {
  return ShellOutput("pdftotext -layout " + ShellQuote(pdf) + " - 2>/dev/null");
}

TEST(EndToEndTest, ThreeCopySlipPrintsTwoReceiptsOnTheFolderPrinter) {
  JobSandbox job;
  EXPECT_EQ(RunProgram(job.SlipJob()), 0);
  EXPECT_EQ(job.sandbox.Read("C/VENTAS/LOG.TXT"), kFinished);
  std::vector<std::string> pdfs = job.Pdfs();
  ASSERT_EQ(pdfs, (std::vector<std::string>{"printers/COMANDERA/000001.pdf",
                                            "printers/COMANDERA/000002.pdf"}));
  EXPECT_TRUE(job.Pdfs("OFICINA").empty());
  std::string first = PdfText(job.sandbox.Path(pdfs[0])), second = PdfText(job.sandbox.Path(pdfs[1]));
  for (const std::string& text : {first, second}) {
    EXPECT_NE(text.find("FARMACIA DEL CENTRO S.R.L."), std::string::npos);
    EXPECT_NE(text.find("Cliente: García, José Ñanco"), std::string::npos);
    EXPECT_NE(text.find("TOTAL $"), std::string::npos);
  }
  EXPECT_NE(first.find("C.A.E.: 76123456789012"), std::string::npos);
  EXPECT_EQ(second.find("C.A.E.:"), std::string::npos);  // one copy per run
  EXPECT_NE(second.find("FIRMA AFILIADO"), std::string::npos);
  // The slips folder keeps the host's bytes; the slip itself was cleaned.
  std::string original = job.sandbox.Read("H/COMANDAS/90001234.TXT");
  EXPECT_EQ(job.sandbox.Read("C/VENTAS/C0001234.TXT"), original + "\r\n");
  EXPECT_NE(original.find("Mart\xA1n"), std::string::npos);  // still code page 437
  std::string trace = job.sandbox.Read("trace.jsonl");
  EXPECT_NE(trace.find("{\"op\":\"select\",\"printer\":\"COMANDERA\"}"), std::string::npos);
  // The settings' left margin and large size.
  EXPECT_TRUE(std::regex_search(trace, std::regex(R"(\{"op":"print","doc":1,"x":60,"y":[0-9.]+,)"
                                                  R"("text":" TOTAL \$  2.365,25","font":"Consolas",)"
                                                  R"("size":11,"bold":true)")));
  // Every printed copy carries the insurer's barcodes, readable at a thermal and at an office printer's dpi.
  for (const std::string& pdf : pdfs) {
    for (int dpi : {203, 300}) {
      SCOPED_TRACE(pdf + " at " + std::to_string(dpi) + " dpi");
      GreyRaster page = RasterisePdf(job.sandbox.Path(pdf), dpi);
      EXPECT_EQ(ReadBarcode(page, Symbology::kEan13), "0000000001236");
      EXPECT_EQ(ReadBarcode(page, Symbology::kCode128), "12345678901234567890");
    }
  }
}

// In the counter's locale (decimal comma) the job and its trace are the same: JSON lines with '.' points.
TEST(EndToEndTest, SlipInTheCountersLocale) {
  JobSandbox plain, local;
  ProgramRun run = local.SlipJob();
  run.env["LANG"] = run.env["LC_ALL"] = "es_AR.UTF-8";
  ASSERT_EQ(RunProgram(plain.SlipJob()), 0);
  ASSERT_EQ(RunProgram(run), 0) << local.sandbox.Read("stderr.txt");
  EXPECT_EQ(local.sandbox.Read("C/VENTAS/LOG.TXT"), kFinished);
  std::string trace = local.sandbox.Read("trace.jsonl");
  EXPECT_EQ(JsonLinesProblems(trace), "");
  EXPECT_EQ(std::regex_replace(trace, std::regex(local.sandbox.root()), ""),
            std::regex_replace(plain.sandbox.Read("trace.jsonl"), std::regex(plain.sandbox.root()), ""));
}

TEST(EndToEndTest, LabelFilePrintsOneDocumentPerLabel) {
  JobSandbox job;
  EXPECT_EQ(RunProgram(job.Job({"\\ventas\\etique01.txt", "\\ventas\\log.txt", "n", "s"})), 0);
  EXPECT_EQ(job.sandbox.Read("C/VENTAS/LOG.TXT"),
            "Impresion de Comanda: C:\\VENTAS\\ETIQUE01.TXT\r\nFinalizo correctamente.\r\n");
  std::vector<std::string> pdfs = job.Pdfs();
  ASSERT_EQ(pdfs.size(), 2u);
  EXPECT_NE(PdfText(job.sandbox.Path(pdfs[0])).find("AMOXICILINA 500"), std::string::npos);
  EXPECT_NE(PdfText(job.sandbox.Path(pdfs[1])).find("$ 980,00"), std::string::npos);
  EXPECT_TRUE(fs::is_empty(job.sandbox.Path("H/COMANDAS")));  // labels are not kept
}

// Slips missing, unreadable, unkept or without barcodes, and no printer: the job logs its outcome, exits 0.
TEST(EndToEndTest, EachOutcomeEndsInItsLogLine) {
  const std::string slip = JobSandbox::Example("C0001234.TXT");
  const std::string line = "Impresion de Comanda: C:\\VENTAS\\C0001234.TXT\r\n";
  const std::string kTwoReceipts = "select enddoc select enddoc";
  // The slip with `from` replaced by `to`, or other bytes.
  auto write = [&](std::string from, std::string to = "") {
    std::string bytes = to.empty() ? from : std::regex_replace(slip, std::regex(from), to);
    return [bytes](JobSandbox& j) { j.sandbox.Write("C/VENTAS/C0001234.TXT", bytes); };
  };
  struct Case {
    const char* name;
    std::function<void(JobSandbox&)> setup;
    std::string log;
    size_t documents;
    std::string steps;                  // the trace's, drawing left out
    std::string file = "C0001234.TXT";  // in \VENTAS
  } cases[] = {
      {"quote: no barcodes", write("Cliente:", "Presupuesto"), kFinished, 2, kTwoReceipts},
      {"no insurer: no barcodes", write("PAMI", "OSDE"), kFinished, 2, kTwoReceipts},
      {"refused prescription text: a warning", write("0000000001234", "12345        "),
       kFinished, 2, "select message enddoc select message enddoc"},
      {"missing slip and copy", [](JobSandbox& j) { fs::remove(j.sandbox.Path("C/VENTAS/C0001234.TXT")); },
       "Impresion de Comanda: \r\nERROR: File not found\r\n", 0, ""},
      {"reprint from the copy",
       [&](JobSandbox& j) {
         fs::remove(j.sandbox.Path("C/VENTAS/C0001234.TXT"));
         j.sandbox.Write("H/COMANDAS/90001234.TXT", slip);
       },
       "Impresion de Comanda: H:\\COMANDAS\\90001234.TXT\r\nFinalizo correctamente.\r\n", 2, kTwoReceipts},
      {"no slips folder", [](JobSandbox& j) { fs::remove(j.sandbox.Path("H/COMANDAS")); },
       line + "ERROR: Path not found\r\n", 0, ""},
      {"binary file", write(std::string("\x7f" "ELF\x02\x01\x01\0\0\0", 10)),
       line + "ERROR: Type mismatch\r\n", 0, ""},
      {"no printer at all",
       [](JobSandbox& j) {
         j.sandbox.MakeFolder("empty");
         j.env["KALVENOR_PRINTER_DIR"] = j.sandbox.Path("empty");
       },
       line + "ERROR: Printer error: no printer is installed\r\n", 0, "select"},
      {"label without a bar after a good one",
       [](JobSandbox& j) {
         j.sandbox.Write("C/VENTAS/ETIQUE02.TXT", Lines({"ONE", "a|b", "_____", "TWO", "no bar here"}));
       },
       "Impresion de Comanda: C:\\VENTAS\\ETIQUE02.TXT\r\nERROR: Invalid procedure call or argument\r\n", 1,
       "select enddoc", "ETIQUE02.TXT"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    JobSandbox job;
    c.setup(job);
    EXPECT_EQ(RunProgram(job.Job({"\\VENTAS\\" + c.file, "\\VENTAS\\LOG.TXT", "N", "S"})), 0);
    EXPECT_EQ(job.sandbox.Read("C/VENTAS/LOG.TXT"), c.log);
    EXPECT_EQ(job.Pdfs().size(), c.documents);
    EXPECT_EQ(job.TraceSteps(), c.steps);
    if (std::string(c.name).ends_with("no barcodes")) {
      GreyRaster page = RasterisePdf(job.sandbox.Path(job.Pdfs()[0]), 203);
      EXPECT_EQ(ReadBarcode(page, Symbology::kEan13), std::nullopt);
      EXPECT_EQ(ReadBarcode(page, Symbology::kCode128), std::nullopt);
    }
  }
}

// Through the KALVENOR-COMANDERA queue on the PDF back end (scripts/cups-test-queue.sh): each job is
// followed until CUPS has printed it, so its file is there after.
TEST(EndToEndTest, TwoCopySlipThroughCups) {
  if (ShellOutput("lpstat -r 2>/dev/null").find("is running") == std::string::npos ||
      ShellOutput("lpstat -p KALVENOR-COMANDERA 2>/dev/null").empty()) {
    GTEST_SKIP() << "no CUPS server with the KALVENOR-COMANDERA queue (scripts/cups-test-queue.sh)";
  }
  JobSandbox job;
  ProgramRun run = job.SlipJob();
  run.env["KALVENOR_PRINTER_DIR"] = "";
  run.env["KALVENOR_CUPS_WAIT"] = "60";
  EXPECT_EQ(RunProgram(run), 0) << job.sandbox.Read("stderr.txt");
  EXPECT_EQ(job.sandbox.Read("C/VENTAS/LOG.TXT"), kFinished);
  std::string trace = job.sandbox.Read("trace.jsonl");
  std::regex enddoc(R"re("op":"enddoc","doc":\d+,"printer":"KALVENOR-COMANDERA","output":"(\d+)")re");
  int jobs = 0;
  for (std::sregex_iterator it(trace.begin(), trace.end(), enddoc), end; it != end; ++it, ++jobs) {
    std::string id = (*it)[1];
    const char* out = std::getenv("KALVENOR_CUPS_PDF_OUT");  // the test queue's folder
    std::string found = ShellOutput("ls " + std::string(out ? out : "/var/spool/cups-pdf/KALVENOR") +
                                    "/*-job_" + id + ".pdf 2>/dev/null");
    ASSERT_FALSE(found.empty()) << "job " << id << " is not in the spool";
    found.pop_back();
    // One page, as long as the receipt (not the queue's default paper).
    std::string info = ShellOutput("pdfinfo '" + found + "'");
    EXPECT_TRUE(std::regex_search(info, std::regex("Pages: +1\\n")));
    std::smatch size;
    ASSERT_TRUE(std::regex_search(info, size, std::regex("Page size: +[0-9.]+ x ([0-9.]+) pts")));
    EXPECT_LT(std::stod(size[1]), 700);
  }
  EXPECT_EQ(jobs, 2);
}

}  // namespace
}  // namespace kalvenor
