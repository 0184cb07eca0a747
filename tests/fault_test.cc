// Injected faults: drives, folders and files the job cannot use, a full
// disk, unreadable settings, a printer that cannot take the document. Each
// job must end with its two-line log and leave the slip and its copy whole.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <regex>

#include "app/job.h"
#include "printers/printers.h"
#include "testing/faulty_file_system.h"
#include "testing/job_sandbox.h"

namespace kalvenor {
namespace {

namespace fs = std::filesystem;

const char kSlip[] = "C/VENTAS/C0001234.TXT";
const char kCopy[] = "H/COMANDAS/90001234.TXT";
const char kLogLine[] = "Impresion de Comanda: C:\\VENTAS\\C0001234.TXT\r\n";

// Runs as nobody, with the files and folders a case locks, or on a disk that fills up (a file size limit
// on the process): the slip and its copy stay whole, no temporary file stays behind.
TEST(FaultTest, FilesAndFoldersTheJobCannotUseAndAFullDisk) {
  const std::string original = JobSandbox::Example("C0001234.TXT");
  const std::string kTwoReceipts = "select enddoc select enddoc";
  struct Case {
    const char* name;
    std::map<std::string, std::string> env;  // "@x": the sandbox path x
    std::vector<std::pair<std::string, unsigned>> modes;
    std::string outcome;
    bool cleaned;  // the slip was cleaned, and copied, before the failure
    size_t documents;
    std::string steps;  // the trace's, drawing left out
    long size_limit = -1;
  } cases[] = {
      {"H: unmapped", {{"KALVENOR_DRIVE_H", ""}}, {}, "ERROR: Path not found", false, 0, ""},
      {"H: missing", {{"KALVENOR_DRIVE_H", "@nowhere"}}, {}, "ERROR: Path not found", false, 0, ""},
      {"H: read-only", {}, {{"H/COMANDAS", 0555}}, "ERROR: Permission denied", false, 0, ""},
      {"slip folder read-only", {}, {{"C/VENTAS", 0555}}, "ERROR: Permission denied", false, 0, ""},
      {"settings unreadable", {}, {{"C/CAJA/KALVENOR.INI", 0}}, "Finalizo correctamente.", true, 2,
       kTwoReceipts},
      {"feed count unreadable", {}, {{"C/ZOV/COMANRNG.ZOV", 0}}, "Finalizo correctamente.", true, 2,
       kTwoReceipts},
      {"printer folder read-only", {}, {{"printers/COMANDERA", 0555}}, "ERROR: Permission denied", true, 0,
       "select"},
      {"no room for the copy", {}, {}, "ERROR: Disk full", false, 0, "", 200},
      {"no room for a document", {}, {}, "ERROR: Disk full", true, 0, "select",
       static_cast<long>(original.size()) + 16},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    JobSandbox job;
    job.sandbox.MakeFolder("C/LOGS");
    OpenToEveryone(job.sandbox.root());
    for (auto& [path, mode] : c.modes) chmod(job.sandbox.Path(path).c_str(), mode);
    ProgramRun run = job.Job({"\\VENTAS\\C0001234.TXT", "\\LOGS\\LOG.TXT", "N", "S"});
    run.as_nobody = true;
    run.file_size_limit = c.size_limit;
    for (auto [name, value] : c.env) {
      run.env[name] = value.starts_with("@") ? job.sandbox.Path(value.substr(1)) : value;
    }
    EXPECT_EQ(RunProgram(run), 0) << job.sandbox.Read("stderr.txt");
    EXPECT_EQ(job.sandbox.Read("C/LOGS/LOG.TXT"), kLogLine + c.outcome + "\r\n");
    EXPECT_EQ(job.sandbox.Read(kSlip), c.cleaned ? original + "\r\n" : original);
    bool copied = c.cleaned || std::string(c.name) == "slip folder read-only";
    EXPECT_EQ(job.sandbox.Exists(kCopy), copied);
    if (copied) {
      EXPECT_EQ(job.sandbox.Read(kCopy), original);
    }
    EXPECT_EQ(job.Pdfs().size(), c.documents);
    for (const std::string& file : job.Files()) EXPECT_EQ(file.find("/."), std::string::npos) << file;
    EXPECT_EQ(job.TraceSteps(), c.steps);
    if (std::string(c.name) == "settings unreadable") {  // the defaults: large size 10, no left margin
      EXPECT_TRUE(std::regex_search(job.sandbox.Read("trace.jsonl"),
                                    std::regex(R"("x":0,"y":[0-9.]+,"text":" TOTAL \$  2.365,25",)"
                                               R"("font":"Consolas","size":10,)")));
    }
  }
}

struct Outcome {
  int status;
  int writes;
  std::string log;
  size_t documents;
};

// Runs the slip job in process on a file layer that `inject` makes fail.
Outcome RunFaulty(const JobSandbox& job, const std::function<void(FaultyFileSystem&)>& inject) {
  RecordingPrinter* printer = nullptr;
  Host host = MakeTestHost(job.sandbox, &printer);
  auto faulty = std::make_unique<FaultyFileSystem>(std::move(host.files));
  inject(*faulty);
  FaultyFileSystem* files = faulty.get();
  host.files = std::move(faulty);
  int status = RunJob("kalvenor \\VENTAS\\C0001234.TXT \\VENTAS\\LOG.TXT N S", host);
  return {status, files->writes(), job.sandbox.Read("C/VENTAS/LOG.TXT"), printer->documents.size()};
}

// In process, each write of the job failing once, and each read: the slip is the original or the cleaned
// bytes, the copy absent or whole, the outcome logged (or, with no log, in the exit status).
TEST(FaultTest, EachWriteOrReadOfAJobFailing) {
  const std::string original = JobSandbox::Example("C0001234.TXT");
  {
    JobSandbox job;
    Outcome whole = RunFaulty(job, [](FaultyFileSystem&) {});
    ASSERT_EQ(whole.log, kLogLine + std::string("Finalizo correctamente.\r\n"));
    ASSERT_EQ(whole.documents, 2u);
    // The copy, the settings (made when missing), the cleaned slip, the log.
    ASSERT_EQ(whole.writes, 4);
  }
  auto write = [](int n) { return [n](FaultyFileSystem& files) { files.FailWrites(n, n); }; };
  auto read = [](const char* name) { return [name](FaultyFileSystem& files) { files.FailReadsOf(name); }; };
  struct Case {
    const char* name;
    std::function<void(FaultyFileSystem&)> inject;
    std::string outcome;  // empty: the log cannot be written
    size_t documents;
  } cases[] = {
      {"write 1", write(1), "ERROR: Disk full", 0},
      {"write 2", write(2), "Finalizo correctamente.", 2},  // the settings fall back to the defaults
      {"write 3", write(3), "ERROR: Disk full", 0},
      {"write 4", write(4), "", 2},
      {"feed count unreadable", read("COMANRNG.ZOV"), "Finalizo correctamente.", 2},
      {"slip unreadable", read("C0001234.TXT"), "ERROR: Permission denied", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    JobSandbox job;
    Outcome outcome = RunFaulty(job, c.inject);
    EXPECT_EQ(outcome.status, c.outcome.empty() ? 1 : 0);
    EXPECT_EQ(outcome.log, c.outcome.empty() ? "" : kLogLine + c.outcome + "\r\n");
    EXPECT_EQ(outcome.documents, c.documents);
    std::string slip = job.sandbox.Read(kSlip);
    EXPECT_TRUE(slip == original || slip == original + "\r\n");
    EXPECT_TRUE(!job.sandbox.Exists(kCopy) || job.sandbox.Read(kCopy) == original);
  }
}

// The printer's folder goes away after the first receipt: the second fails the job, the first stays.
TEST(FaultTest, PrinterRemovedMidJobKeepsTheEarlierReceipt) {
  JobSandbox job;
  std::string printers = job.sandbox.Path("printers");
  std::string moved = job.sandbox.Path("moved");
  Host host = job.HostWith(std::make_unique<StagedPrinters>(MakeFolderPrinters(printers, "OFICINA"), [&] {
    fs::create_directories(moved);
    fs::rename(printers + "/COMANDERA", moved + "/COMANDERA");
  }));
  EXPECT_EQ(RunJob("kalvenor \\VENTAS\\C0001234.TXT \\VENTAS\\LOG.TXT N S", host), 0);
  EXPECT_EQ(job.sandbox.Read("C/VENTAS/LOG.TXT"), kLogLine + std::string("ERROR: Path not found\r\n"));
  ASSERT_TRUE(job.sandbox.Exists("moved/COMANDERA/000001.pdf"));
  EXPECT_TRUE(IsCompletePdf(job.sandbox.Read("moved/COMANDERA/000001.pdf")));
  EXPECT_FALSE(job.sandbox.Exists("moved/COMANDERA/000002.pdf"));
}

}  // namespace
}  // namespace kalvenor
