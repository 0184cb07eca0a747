// Hostile files, arguments and surroundings: every job ends in time, in its
// two-line log, without reaching outside its drives.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <regex>

#include "app/job.h"
#include "testing/barcode_testing.h"
#include "testing/job_sandbox.h"

namespace kalvenor {
namespace {

namespace fs = std::filesystem;

// Section 0 with an insurer difference, then an unprinted section 1 of exactly 100 items, the last
// "* IMPORTE".
std::string HundredItemSlip() {
  std::string items;
  for (int i = 1; i < 100; ++i) items += "230 ITEM " + std::to_string(i) + "\r\n";
  items += "230 * IMPORTE                     $ 4.730,50\r\n";
  std::string slip = JobSandbox::Example("C0001234.TXT");
  slip = std::regex_replace(slip, std::regex("2(30|98) .*\r\n"), "");
  slip = std::regex_replace(slip, std::regex("\n299"), "\n" + items + "299");
  std::string difference = "130 Dif. O.S.                     $ 10,00\r\n";
  return std::regex_replace(slip, std::regex("130 Cobertura.*\r\n"), "$&" + difference);
}

// Settings fontconfig complains about on standard error.
std::string BadFontsConf(JobSandbox& job) {
  job.sandbox.Write("bad.conf", "<fontconfig><oops");
  return job.sandbox.Path("bad.conf");
}

TEST(HardeningTest, HostileJobsEndInTimeInTheirLog) {
  struct Case {
    const char* name;
    bool label;  // the label file, else the slip
    std::function<void(JobSandbox&, ProgramRun&)> setup;
    std::string outcome;  // the log's second line
    std::string on_stderr = "";  // standard error holds it; empty: nothing at all
  } cases[] = {
      {"label FIFO", true, [](JobSandbox& j, ProgramRun&) {
         fs::remove(j.sandbox.Path("C/VENTAS/ETIQUE01.TXT"));
         mkfifo(j.sandbox.Path("C/VENTAS/ETIQUE01.TXT").c_str(), 0666);
       }, "ERROR: Path/File access error"},
      {"settings FIFO, trace FIFO without reader", false, [](JobSandbox& j, ProgramRun& r) {
         fs::remove(j.sandbox.Path("C/CAJA/KALVENOR.INI"));
         mkfifo(j.sandbox.Path("C/CAJA/KALVENOR.INI").c_str(), 0666);
         mkfifo(j.sandbox.Path("fifo").c_str(), 0666);
         r.env["KALVENOR_TRACE"] = j.sandbox.Path("fifo");
       }, "Finalizo correctamente.", "no process reads the FIFO"},
      {"endless devices", false, [](JobSandbox& j, ProgramRun& r) {
         fs::remove(j.sandbox.Path("C/CAJA/KALVENOR.INI"));
         fs::create_symlink("/dev/zero", j.sandbox.Path("C/CAJA/KALVENOR.INI"));
         r.env["KALVENOR_FONTS_CONF"] = "/dev/zero";
       }, "Finalizo correctamente.", "KALVENOR_FONTS_CONF: /dev/zero is not an ordinary file"},
      {"device label: a file link out of the drive", true, [](JobSandbox& j, ProgramRun&) {
         fs::remove(j.sandbox.Path("C/VENTAS/ETIQUE01.TXT"));
         fs::create_symlink("/dev/urandom", j.sandbox.Path("C/VENTAS/ETIQUE01.TXT"));
       }, "ERROR: File not found"},
      {"oversized label, oversized settings", true, [](JobSandbox& j, ProgramRun&) {
         fs::resize_file(j.sandbox.Path("C/VENTAS/ETIQUE01.TXT"), 300L << 20);  // sparse
         fs::resize_file(j.sandbox.Path("C/CAJA/KALVENOR.INI"), 300L << 20);
       }, "ERROR: File too large (over 256 MB)"},
      {"stderr a pipe nobody reads", false, [](JobSandbox& j, ProgramRun& r) {
         r.env["KALVENOR_FONTS_CONF"] = BadFontsConf(j);
         r.stderr_path = "|";
       }, "Finalizo correctamente."},
      {"folder link out of the drive", false, [](JobSandbox& j, ProgramRun& r) {
         j.sandbox.Write("outside/C0001234.TXT", JobSandbox::Example("C0001234.TXT"));
         fs::create_symlink(j.sandbox.Path("outside"), j.sandbox.Path("C/VENTAS/LINK"));
         r.args[0] = "\\VENTAS\\LINK\\C0001234.TXT";
       }, "ERROR: File not found", "LINK\\C0001234.TXT: Path not found; taken as no such file"},
      {"huge label title", true, [](JobSandbox& j, ProgramRun&) {
         j.sandbox.Write("C/VENTAS/ETIQUE01.TXT", std::string(1 << 20, 'W') + "\r\nLOTE|1\r\n");
       }, "ERROR: Overflow"},
      {"huge label detail", true, [](JobSandbox& j, ProgramRun&) {
         std::string detail = "LOTE|" + std::string(10 << 20, '9');
         j.sandbox.Write("C/VENTAS/ETIQUE01.TXT", Lines({"AMOXICILINA", detail}));
       }, "ERROR: Overflow"},
      {"LF line ends", false, [](JobSandbox& j, ProgramRun&) {
         std::string slip = std::regex_replace(JobSandbox::Example("C0001234.TXT"), std::regex("\r\n"), "\n");
         j.sandbox.Write("C/VENTAS/C0001234.TXT", slip);
       }, "Finalizo correctamente."},
      {"100 items in an unprinted section", false, [](JobSandbox& j, ProgramRun&) {
         j.sandbox.Write("C/VENTAS/C0001234.TXT", HundredItemSlip());
       }, "Finalizo correctamente."},
      {"standard descriptors closed", false, [](JobSandbox& j, ProgramRun& r) {
         r.env["KALVENOR_FONTS_CONF"] = BadFontsConf(j);
         r.stderr_path = "-";
       }, "Finalizo correctamente."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    JobSandbox job;
    ProgramRun run = job.SlipJob();
    run.timeout_seconds = 30;
    if (c.label) run.args[0] = "\\VENTAS\\ETIQUE01.TXT";
    c.setup(job, run);
    ASSERT_EQ(RunProgram(run), 0);
    // A slip that is not found leaves the log's path empty.
    bool lost_slip = c.outcome == "ERROR: File not found" && run.args[0].find("ETIQUE") == std::string::npos;
    EXPECT_EQ(job.sandbox.Read("C/VENTAS/LOG.TXT"),
              "Impresion de Comanda: " + (lost_slip ? "" : "C:" + run.args[0]) + "\r\n" + c.outcome + "\r\n");
    std::string stderr_text = job.sandbox.Read("stderr.txt");
    EXPECT_EQ(stderr_text.empty(), c.on_stderr.empty()) << stderr_text;
    EXPECT_NE(stderr_text.find(c.on_stderr), std::string::npos) << stderr_text;
    if (c.outcome.starts_with("Finalizo") && run.args == job.SlipJob().args) {
      EXPECT_EQ(job.Pdfs().size(), 2u);
    }
    // Only the trace's own lines: no message went to a closed descriptor the trace file took.
    std::string trace = job.sandbox.Read("trace.jsonl");
    for (size_t at = 0; at < trace.size(); at = trace.find('\n', at) + 1) EXPECT_EQ(trace[at], '{') << trace;
  }
}

TEST(HardeningTest, FilesStayWhereAndAsPrivateAsTheyWere) {
  JobSandbox job;
  job.sandbox.MakeFolder("outside");
  job.sandbox.Write("C/OTHER/C0001234.TXT", JobSandbox::Example("C0001234.TXT"));
  fs::create_symlink(job.sandbox.Path("C/OTHER"), job.sandbox.Path("C/VENTAS/LINK2"));
  fs::remove(job.sandbox.Path("C/CAJA/KALVENOR.INI"));
  fs::create_symlink(job.sandbox.Path("outside/KALVENOR.INI"), job.sandbox.Path("C/CAJA/KALVENOR.INI"));
  chmod(job.sandbox.Path("C/VENTAS/C0001234.TXT").c_str(), 06700);
  // Temporary files of a job killed a while ago are removed; a live job's stay.
  pid_t gone = fork();
  if (gone == 0) _exit(0);
  waitpid(gone, nullptr, 0);
  std::string stale = "H/COMANDAS/.kalvenor-" + std::to_string(gone) + "-90001234.TXT.1";
  std::string stale_pdf = "printers/COMANDERA/.kalvenor-" + std::to_string(gone) + "-0.tmp";
  std::string live = "H/COMANDAS/.kalvenor-" + std::to_string(getpid()) + "-X.1";
  for (const std::string& file : {stale, stale_pdf, live}) {
    job.sandbox.Write(file, "");
    fs::last_write_time(job.sandbox.Path(file), fs::file_time_type::clock::now() - std::chrono::minutes(2));
  }
  ProgramRun run = job.SlipJob();
  // Carriage returns and line feeds in an argument stay inside the log's line.
  run.args[0] = "\\VENTAS\\A\r\nFINALIZO\r\nX\\ETIQUE01.TXT";
  mode_t saved = umask(077);
  ASSERT_EQ(RunProgram(run), 0);
  EXPECT_EQ(job.sandbox.Read("C/VENTAS/LOG.TXT"),
            "Impresion de Comanda: C:\\VENTAS\\A??FINALIZO??X\\ETIQUE01.TXT\r\nERROR: Path not found\r\n");
  run = job.SlipJob();
  ASSERT_EQ(RunProgram(run), 0);
  umask(saved);
  auto mode = [&](const std::string& file) {
    struct stat st {};
    stat(job.sandbox.Path(file).c_str(), &st);
    return st.st_mode & 07777;
  };
  EXPECT_EQ(std::tuple(mode("C/VENTAS/LOG.TXT"), mode("H/COMANDAS/90001234.TXT"), mode("C/VENTAS/C0001234.TXT")),
            std::tuple(0600u, 0600u, 0700u));
  const std::pair<std::string, bool> files[] = {
      {"outside/KALVENOR.INI", false}, {stale, false}, {stale_pdf, false}, {live, true}};
  for (const auto& [file, exists] : files) EXPECT_EQ(job.sandbox.Exists(file), exists) << file;
  // Through a link within the drive the slip prints; its copy lands on H:.
  run.args[0] = "\\VENTAS\\LINK2\\C0001234.TXT";
  ASSERT_EQ(RunProgram(run), 0);
  EXPECT_TRUE(job.sandbox.Read("C/VENTAS/LOG.TXT").ends_with("Finalizo correctamente.\r\n"));
}

TEST(HardeningTest, EmptyProgramDriveIsTheDefault) {
  JobSandbox job;
  job.env["KALVENOR_PROGRAM_DRIVE"] = "";
  Host host = job.HostWith(MakeFolderPrinters(job.sandbox.Path("printers"), "OFICINA"));
  ASSERT_EQ(RunJob("kalvenor \\VENTAS\\C0001234.TXT \\VENTAS\\LOG.TXT N S", host), 0);
  EXPECT_TRUE(job.sandbox.Read("C/VENTAS/LOG.TXT").ends_with("Finalizo correctamente.\r\n"));
}

// A CUPS server that accepts connections and never answers, none at all, and a web server that
// answers everything with 404.
TEST(HardeningTest, CupsServerThatNeverAnswersIsBounded) {
  SilentPort silent_port;
  RefusingPort refusing;
  QrTestServer web_server;
  ASSERT_TRUE(silent_port.port_ > 0 && web_server.running());
  const std::string silent = silent_port.address(), none = refusing.address(), web = web_server.base().substr(7);
  for (auto [server, outcome] :
       {std::pair{silent, "the CUPS server at " + silent + " did not answer within 5 s"},
        std::pair{none, "no CUPS server at " + none + " (connection refused)"},
        std::pair{web, "the CUPS server at " + web + " did not list its printers (Not Found)"}}) {
    JobSandbox job;
    ProgramRun run = job.SlipJob();
    run.env["KALVENOR_PRINTER_DIR"] = "";
    run.env["CUPS_SERVER"] = server;
    run.env["KALVENOR_CUPS_WAIT"] = "600";
    run.timeout_seconds = 20;
    ASSERT_EQ(RunProgram(run), 0);
    std::string log = job.sandbox.Read("C/VENTAS/LOG.TXT");
    EXPECT_NE(log.find("ERROR: Printer error: " + outcome), std::string::npos) << log;
  }
}

// A 40 MB slip and a 40 MB reply without ";" cost about their size, not 8 times it.
TEST(HardeningTest, BigFilesAreReadAtAboutTheirSize) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer's allocator keeps freed memory";
#endif
  constexpr long kBig = 40L << 20;
  long base_kb = 0;
  {
    JobSandbox job;
    ASSERT_EQ(RunProgram(job.SlipJob(), &base_kb), 0);
  }
  std::string filler;
  for (std::string line = "450 " + std::string(42, 'X') + "\r\n"; filler.size() < kBig;) filler += line;
  for (const char* file : {"C/VENTAS/C0001234.TXT", "C/CAE/RTA/R-001234.csv"}) {
    SCOPED_TRACE(file);
    JobSandbox job;
    job.sandbox.Write(file, file[2] == 'V' ? JobSandbox::Example("C0001234.TXT") + filler : filler);
    long peak_kb = 0;
    ProgramRun run = job.SlipJob();
    run.timeout_seconds = 60;
    ASSERT_EQ(RunProgram(run, &peak_kb), 0);
    EXPECT_LT(peak_kb - base_kb, 2 * kBig / 1024);
  }
}

}  // namespace
}  // namespace kalvenor
