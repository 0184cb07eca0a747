// End-to-end: the built program run as the sales system runs it, on a
// folder printer in a sandbox and, where a CUPS server can be used, through
// a real CUPS queue with the PDF back end.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <thread>

#include "testing/barcode_testing.h"
#include "testing/fake_host.h"

extern char** environ;

namespace kalvenor {
namespace {

namespace fs = std::filesystem;

struct RunResult {
  int status = -1;
  std::string log;
};

std::string PdfText(const std::string& pdf) { return ShellOutput("pdftotext -layout '" + pdf + "' - 2>/dev/null"); }

class EndToEndTest : public ::testing::Test {
 protected:
  EndToEndTest() {
    std::string examples = std::string(KALVENOR_SOURCE_DIR) + "/examples/";
    auto copy = [&](const std::string& name, const std::string& to) {
      std::ifstream in(examples + name, std::ios::binary);
      std::stringstream bytes;
      bytes << in.rdbuf();
      sandbox_.Write(to, bytes.str());
    };
    copy("C0001234.TXT", "C/VENTAS/C0001234.TXT");
    copy("ETIQUE01.TXT", "C/VENTAS/ETIQUE01.TXT");
    copy("KALVENOR.INI", "C/CAJA/KALVENOR.INI");
    copy("COMANRNG.ZOV", "C/ZOV/COMANRNG.ZOV");
    sandbox_.MakeFolder("H/COMANDAS");
    sandbox_.MakeFolder("printers/COMANDERA");
    sandbox_.MakeFolder("printers/OFICINA");
    env_ = {
        {"KALVENOR_DRIVE_C", sandbox_.Path("C")},
        {"KALVENOR_DRIVE_H", sandbox_.Path("H")},
        {"KALVENOR_PRINTER_DIR", sandbox_.Path("printers")},
        {"KALVENOR_DEFAULT_PRINTER", "OFICINA"},
        {"KALVENOR_TRACE", sandbox_.Path("trace.jsonl")},
    };
  }

  // Runs the program with `args` in C:\CAJA; returns its exit status and log.
  RunResult Run(std::vector<std::string> args, const std::string& log = "C/VENTAS/LOG.TXT") {
    std::vector<std::string> env_strings;
    for (char** e = environ; *e != nullptr; ++e) {
      std::string entry = *e;
      if (!entry.starts_with("KALVENOR_")) env_strings.push_back(entry);
    }
    for (auto& [key, value] : env_) {
      if (!value.empty()) env_strings.push_back(key + "=" + value);
    }
    std::vector<char*> envp;
    for (std::string& entry : env_strings) envp.push_back(entry.data());
    envp.push_back(nullptr);
    args.insert(args.begin(), KALVENOR_BINARY);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, sandbox_.Path("C/CAJA").c_str());
    posix_spawn_file_actions_addopen(&actions, 2, sandbox_.Path("stderr.txt").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid;
    RunResult result;
    if (posix_spawn(&pid, KALVENOR_BINARY, &actions, nullptr, argv.data(), envp.data()) == 0) {
      int status;
      waitpid(pid, &status, 0);
      result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    posix_spawn_file_actions_destroy(&actions);
    result.log = sandbox_.Read(log);
    return result;
  }

  std::vector<std::string> Pdfs(const std::string& printer = "COMANDERA") {
    std::vector<std::string> pdfs;
    for (auto& entry : fs::directory_iterator(sandbox_.Path("printers/" + printer))) {
      pdfs.push_back(entry.path().string());
    }
    std::sort(pdfs.begin(), pdfs.end());
    return pdfs;
  }

  Sandbox sandbox_;
  std::map<std::string, std::string> env_;
};

const char kSlipArgs[] = "\\VENTAS\\C0001234.TXT";

TEST_F(EndToEndTest, ThreeCopySlipPrintsTwoReceiptsOnTheFolderPrinter) {
  RunResult run = Run({kSlipArgs, "\\VENTAS\\LOG.TXT", "N", "S"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.log, "Impresion de Comanda: C:\\VENTAS\\C0001234.TXT\r\nFinalizo correctamente.\r\n");
  std::vector<std::string> pdfs = Pdfs();
  ASSERT_EQ(pdfs.size(), 2u);
  EXPECT_TRUE(pdfs[0].ends_with("/000001.pdf"));
  EXPECT_TRUE(Pdfs("OFICINA").empty());

  std::string first = PdfText(pdfs[0]);
  std::string second = PdfText(pdfs[1]);
  for (const std::string& text : {first, second}) {
    EXPECT_NE(text.find("FARMACIA DEL CENTRO S.R.L."), std::string::npos);
    EXPECT_NE(text.find("Cliente: García, José Ñanco"), std::string::npos);
    EXPECT_NE(text.find("TOTAL $"), std::string::npos);
  }
  EXPECT_NE(first.find("C.A.E.: 76123456789012"), std::string::npos);
  EXPECT_EQ(second.find("C.A.E.:"), std::string::npos);  // one copy per run
  EXPECT_NE(second.find("FIRMA AFILIADO"), std::string::npos);

  // The slips folder keeps the host's bytes; the slip itself was cleaned.
  std::string original = sandbox_.Read("H/COMANDAS/90001234.TXT");
  EXPECT_EQ(sandbox_.Read("C/VENTAS/C0001234.TXT"), original + "\r\n");
  EXPECT_NE(original.find("Mart\xA1n"), std::string::npos);  // still code page 437

  std::string trace = sandbox_.Read("trace.jsonl");
  EXPECT_NE(trace.find("{\"op\":\"select\",\"printer\":\"COMANDERA\"}"), std::string::npos);
  EXPECT_NE(trace.find("\"op\":\"enddoc\",\"doc\":2,\"printer\":\"COMANDERA\",\"output\":\"" + pdfs[1] + "\""),
            std::string::npos);
  std::smatch total;
  ASSERT_TRUE(std::regex_search(trace, total, std::regex(R"(\{"op":"print","doc":1,"x":60,"y":[0-9.]+,"text":" TOTAL \$  2.365,25","font":"Consolas","size":11,"bold":true)")));
}

TEST_F(EndToEndTest, InsurerBarcodesScanOnEveryPrintedCopy) {
  RunResult run = Run({kSlipArgs, "\\VENTAS\\LOG.TXT", "N", "S"});
  EXPECT_TRUE(run.log.ends_with("Finalizo correctamente.\r\n"));
  std::vector<std::string> pdfs = Pdfs();
  ASSERT_EQ(pdfs.size(), 2u);
  for (const std::string& pdf : pdfs) {
    for (int dpi : {203, 300}) {  // a thermal printer's resolution, and an office printer's
      SCOPED_TRACE(pdf + " at " + std::to_string(dpi) + " dpi");
      GreyRaster page = RasterisePdf(pdf, dpi);
      EXPECT_EQ(ReadBarcode(page, Symbology::kEan13), "0000000001236");
      EXPECT_EQ(ReadBarcode(page, Symbology::kCode128), "12345678901234567890");
    }
  }
}

TEST_F(EndToEndTest, QuoteOrNoInsurerPrintsNoBarcode) {
  std::string slip = sandbox_.Read("C/VENTAS/C0001234.TXT");
  for (auto [from, to] : {std::pair<std::string, std::string>{"Cliente:", "Presupuesto"},
                          std::pair<std::string, std::string>{"PAMI", "OSDE"}}) {
    std::string changed = slip;
    for (size_t at; (at = changed.find(from)) != std::string::npos;) changed.replace(at, from.size(), to);
    sandbox_.Write("C/VENTAS/C0001234.TXT", changed);
    fs::remove_all(sandbox_.Path("printers/COMANDERA"));
    sandbox_.MakeFolder("printers/COMANDERA");
    Run({kSlipArgs, "\\VENTAS\\LOG.TXT", "N", "S"});
    std::vector<std::string> pdfs = Pdfs();
    ASSERT_EQ(pdfs.size(), 2u) << to;
    GreyRaster page = RasterisePdf(pdfs[0], 203);
    EXPECT_EQ(ReadBarcode(page, Symbology::kEan13), std::nullopt) << to;
    EXPECT_EQ(ReadBarcode(page, Symbology::kCode128), std::nullopt) << to;
  }
}

TEST_F(EndToEndTest, RefusedPrescriptionTextWarnsAndTheJobFinishes) {
  std::string slip = sandbox_.Read("C/VENTAS/C0001234.TXT");
  slip.replace(slip.find("0000000001234"), 13, "12345        ");  // too short for an EAN
  sandbox_.Write("C/VENTAS/C0001234.TXT", slip);
  RunResult run = Run({kSlipArgs, "\\VENTAS\\LOG.TXT", "N", "S"});
  EXPECT_TRUE(run.log.ends_with("Finalizo correctamente.\r\n"));
  EXPECT_NE(sandbox_.Read("trace.jsonl").find("\"op\":\"message\""), std::string::npos);
  EXPECT_FALSE(sandbox_.Read("stderr.txt").empty());
  EXPECT_EQ(Pdfs().size(), 2u);
}

TEST_F(EndToEndTest, LabelFilePrintsOneDocumentPerLabel) {
  RunResult run = Run({"\\ventas\\etique01.txt", "\\ventas\\log.txt", "n", "s"});
  EXPECT_EQ(run.log, "Impresion de Comanda: C:\\VENTAS\\ETIQUE01.TXT\r\nFinalizo correctamente.\r\n");
  std::vector<std::string> pdfs = Pdfs();
  ASSERT_EQ(pdfs.size(), 2u);
  EXPECT_NE(PdfText(pdfs[0]).find("AMOXICILINA 500"), std::string::npos);
  EXPECT_NE(PdfText(pdfs[1]).find("$ 980,00"), std::string::npos);
}

TEST_F(EndToEndTest, BadInputEndsInAnErrorLineAndPrintsNothing) {
  struct Case {
    const char* name;
    std::string slip;  // bytes of the slip; empty: no slip at all
    std::map<std::string, std::string> env;
    std::string error;
  } cases[] = {
      {"missing slip and copy", "", {}, "ERROR: File not found"},
      {"unmapped H: drive", "100 X\r\n", {{"KALVENOR_DRIVE_H", ""}}, "ERROR: Path not found"},
      {"non-digit section", "A30 item\r\n", {}, "ERROR: Type mismatch"},
      {"binary file", std::string("\x7f" "ELF\x02\x01\x01\0\0\0", 10), {}, "ERROR: Type mismatch"},
      {"no printer at all", Lines({"130 item", "199 end", "230 item", "299 end"}),
       {{"KALVENOR_PRINTER_DIR", "EMPTY"}}, "ERROR: Printer error: no printer is installed"},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::remove(sandbox_.Path("C/VENTAS/C0001234.TXT").c_str());
    if (!c.slip.empty()) sandbox_.Write("C/VENTAS/C0001234.TXT", c.slip);
    auto saved = env_;
    for (auto& [key, value] : c.env) env_[key] = value == "EMPTY" ? sandbox_.Path("empty") : value;
    sandbox_.MakeFolder("empty");
    RunResult run = Run({kSlipArgs, "\\VENTAS\\LOG.TXT", "N", "S"});
    env_ = saved;
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.log.ends_with("\r\n" + c.error + "\r\n")) << run.log;
    EXPECT_TRUE(Pdfs().empty());
  }
}

TEST_F(EndToEndTest, LabelWithoutBarKeepsEarlierLabels) {
  sandbox_.Write("C/VENTAS/ETIQUE02.TXT", Lines({"ONE", "a|b", "_____", "TWO", "no bar here"}));
  RunResult run = Run({"\\VENTAS\\ETIQUE02.TXT", "\\VENTAS\\LOG.TXT", "N", "S"});
  EXPECT_EQ(run.log, "Impresion de Comanda: C:\\VENTAS\\ETIQUE02.TXT\r\nERROR: Invalid procedure call or argument\r\n");
  EXPECT_EQ(Pdfs().size(), 1u);
}

TEST_F(EndToEndTest, UnwritableLogIsExitStatusOneWithTheReason) {
  RunResult run = Run({kSlipArgs, "\\NOWHERE\\LOG.TXT", "N", "S"}, "C/NOWHERE/LOG.TXT");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(sandbox_.Read("stderr.txt").find("Path not found"), std::string::npos);
  EXPECT_EQ(Run({"too", "few"}).status, 1);
}

// Through CUPS: needs a running server with a queue named KALVENOR-COMANDERA
// on the PDF back end (scripts/cups-test-queue.sh sets it up).
TEST_F(EndToEndTest, TwoCopySlipThroughCups) {
  std::string out = ShellOutput("lpstat -r 2>/dev/null");
  if (out.find("is running") == std::string::npos ||
      ShellOutput("lpstat -p KALVENOR-COMANDERA 2>/dev/null").empty()) {
    GTEST_SKIP() << "no CUPS server with the KALVENOR-COMANDERA queue; run scripts/cups-test-queue.sh as root";
  }
  std::string spool = "/var/spool/cups-pdf/KALVENOR";
  env_.erase("KALVENOR_PRINTER_DIR");
  RunResult run = Run({kSlipArgs, "\\VENTAS\\LOG.TXT", "N", "S"});
  EXPECT_EQ(run.log, "Impresion de Comanda: C:\\VENTAS\\C0001234.TXT\r\nFinalizo correctamente.\r\n");
  std::string trace = sandbox_.Read("trace.jsonl");
  std::regex enddoc(R"re("op":"enddoc","doc":\d+,"printer":"KALVENOR-COMANDERA","output":"(\d+)")re");
  std::vector<std::string> jobs;
  for (std::sregex_iterator it(trace.begin(), trace.end(), enddoc), end; it != end; ++it) {
    jobs.push_back((*it)[1]);
  }
  ASSERT_EQ(jobs.size(), 2u);
  for (const std::string& job : jobs) {
    std::string found;
    for (int tries = 0; tries < 200 && found.empty(); ++tries) {
      std::error_code ignored;
      for (auto& entry : fs::directory_iterator(spool, ignored)) {
        std::string name = entry.path().string();
        if (name.ends_with("-job_" + job + ".pdf") && ShellOutput("tail -c 8 '" + name + "'").find("%%EOF") != std::string::npos) {
          found = name;
        }
      }
      if (found.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ASSERT_FALSE(found.empty()) << "job " << job << " did not arrive in " << spool;
    // The PDF back end re-renders the page with its own fonts, so only the
    // page itself is checked here; the text is checked on the folder printer.
    std::string info = ShellOutput("pdfinfo '" + found + "'");
    EXPECT_TRUE(std::regex_search(info, std::regex("Pages: +1\\n")));
    // The queue keeps our page: as long as the receipt, not its default paper.
    std::smatch size;
    ASSERT_TRUE(std::regex_search(info, size, std::regex("Page size: +[0-9.]+ x ([0-9.]+) pts")));
    EXPECT_LT(std::stod(size[1]), 700);
  }
}

}  // namespace
}  // namespace kalvenor
