// The font cache never changes what is printed: with a cold, warm, damaged or
// unusable cache, and with sixteen jobs building it at once, the sample slip
// leaves the very log and ESC/POS streams of a job without a cache.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "testing/job_sandbox.h"

namespace kalvenor {
namespace {

namespace fs = std::filesystem;

struct Printout {
  int status = -1;
  std::string log, streams, err;
};

// The sample slip on an 80 mm ESC/POS folder printer with its font cache in
// `cache_home` (none when empty); `adjust` may change the run.
ProgramRun SampleRun(JobSandbox& job, const std::string& cache_home) {
  job.sandbox.Write("printers/COMANDERA/kalvenor-options", "kalvenor-output=escpos\n");
  ProgramRun run = job.SlipJob();
  run.env["XDG_CACHE_HOME"] = cache_home;
  run.env["HOME"] = "";
  // The dynamic loader names every library it loads: the text module shows.
  run.env["LD_DEBUG"] = "files";
  return run;
}

Printout Collect(JobSandbox& job, int status) {
  Printout p;
  p.status = status;
  p.log = job.sandbox.Read("C/VENTAS/LOG.TXT");
  for (const std::string& prn : job.Pdfs("COMANDERA", ".prn")) p.streams += job.sandbox.Read(prn);
  p.err = job.sandbox.Read("stderr.txt");
  return p;
}

Printout PrintSample(const std::string& cache_home, bool as_nobody = false) {
  JobSandbox job;
  ProgramRun run = SampleRun(job, cache_home);
  if (as_nobody) {
    OpenToEveryone(job.sandbox.root());
    run.as_nobody = true;
  }
  return Collect(job, RunProgram(run));
}

const Printout& Uncached() {
  static const Printout printout = PrintSample("");
  return printout;
}

bool LoadedPango(const Printout& p) { return p.err.find("kalvenor-text.so") != std::string::npos; }
bool LoadedCairo(const Printout& p) {
  return p.err.find("file=libcairo.so") != std::string::npos || p.err.find("file=libfontconfig.so") != std::string::npos;
}

void ExpectAsUncached(const Printout& got) {
  EXPECT_EQ(got.status, 0);
  EXPECT_EQ(got.log, Uncached().log);
  EXPECT_TRUE(got.streams == Uncached().streams) << "the receipts differ from those printed without a cache";
}

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(folder, ignored)) names.push_back(entry.path().filename());
  return names;
}

TEST(FontCacheJob, ColdWarmAndDamagedCachesPrintAlike) {
  ASSERT_NE(Uncached().log.find("Finalizo correctamente."), std::string::npos) << Uncached().log;
  ASSERT_TRUE(LoadedPango(Uncached()));
  Sandbox home;
  const std::string folder = home.Path("cache/kalvenor");

  Printout cold = PrintSample(home.Path("cache"));
  ExpectAsUncached(cold);
  EXPECT_TRUE(LoadedPango(cold));
  const std::vector<std::string> files = FilesIn(folder);
  EXPECT_GE(files.size(), 2u) << "the font resolutions and glyph images";
  Printout warm = PrintSample(home.Path("cache"));
  ExpectAsUncached(warm);
  EXPECT_FALSE(LoadedPango(warm)) << "a warm cache needs no pango";
  EXPECT_TRUE(LoadedCairo(cold));
  EXPECT_FALSE(LoadedCairo(warm)) << "a dot printer's warm job draws nothing with cairo";

  const std::vector<std::pair<const char*, std::function<void(const std::string&)>>> damages = {
      {"a byte changed", [](const std::string& path) {
         std::string bytes = ReadBytes(path);
         bytes[bytes.size() * 3 / 4] ^= 0x10;
         WriteBytes(path, bytes);
       }},
      {"cut in half", [](const std::string& path) { fs::resize_file(path, fs::file_size(path) / 2); }},
      {"empty", [](const std::string& path) { WriteBytes(path, ""); }},
      {"a FIFO", [](const std::string& path) {
         fs::remove(path);
         ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
       }},
  };
  for (const auto& [why, damage] : damages) {
    SCOPED_TRACE(why);
    for (const std::string& name : files) damage(folder + "/" + name);
    ExpectAsUncached(PrintSample(home.Path("cache")));
    // Rebuilt whole: the next job is warm again.
    Printout after = PrintSample(home.Path("cache"));
    ExpectAsUncached(after);
    EXPECT_FALSE(LoadedPango(after));
    EXPECT_FALSE(LoadedCairo(after));
  }
}

TEST(FontCacheJob, UnusableFoldersLeaveTheJobWithoutACache) {
  struct Case {
    const char* why;
    std::function<void(const std::string& home)> make;  // makes home/cache/kalvenor
    bool as_nobody = false;
  };
  const bool root = geteuid() == 0;
  const Case cases[] = {
      {"a symlink", [](const std::string& home) {
         fs::create_directories(home + "/elsewhere");
         fs::create_directories(home + "/cache");
         fs::create_directory_symlink(home + "/elsewhere", home + "/cache/kalvenor");
       }},
      {"a FIFO", [](const std::string& home) {
         fs::create_directories(home + "/cache");
         ASSERT_EQ(mkfifo((home + "/cache/kalvenor").c_str(), 0600), 0);
       }},
      {"read-only", [root](const std::string& home) {
         fs::create_directories(home + "/cache/kalvenor");
         OpenToEveryone(home);
         if (root) {
           ASSERT_EQ(chown((home + "/cache/kalvenor").c_str(), 65534, 65534), 0);
         }
         fs::permissions(home + "/cache/kalvenor", fs::perms(0500));
       }, true},
      {"full", [](const std::string& home) {
         fs::create_directories(home + "/cache");
         ASSERT_EQ(mount("tmpfs", (home + "/cache").c_str(), "tmpfs", 0, "size=64k"), 0);
         ASSERT_EQ(mkdir((home + "/cache/kalvenor").c_str(), 0700), 0);
         WriteBytes(home + "/cache/filler", std::string(1 << 20, 'x'));  // as much as fits
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    if (std::string(c.why) == "full" && !root) continue;  // only root mounts a small file system
    Sandbox home;
    c.make(home.root());
    ExpectAsUncached(PrintSample(home.Path("cache"), c.as_nobody));
    ExpectAsUncached(PrintSample(home.Path("cache"), c.as_nobody));
    for (const char* folder : {"elsewhere", "cache/kalvenor"}) {
      for (const std::string& name : FilesIn(home.Path(folder))) ADD_FAILURE() << "written: " << folder << "/" << name;
    }
    if (std::string(c.why) == "full") umount(home.Path("cache").c_str());
  }
}

// Sixteen jobs at once build one cache: each prints as without it, nothing
// half-written is left, and the next job finds it warm.
TEST(FontCacheJob, SixteenJobsBuildItAtOnce) {
  Sandbox home;
  std::vector<std::unique_ptr<JobSandbox>> jobs;
  std::vector<pid_t> pids;
  for (int i = 0; i < 16; ++i) {
    jobs.push_back(std::make_unique<JobSandbox>());
    pids.push_back(StartProgram(SampleRun(*jobs.back(), home.Path("cache"))));
  }
  for (size_t i = 0; i < jobs.size(); ++i) {
    SCOPED_TRACE(i);
    ExpectAsUncached(Collect(*jobs[i], WaitForProgram(pids[i], 120)));
  }
  for (const std::string& name : FilesIn(home.Path("cache/kalvenor"))) EXPECT_NE(name[0], '.') << name;
  Printout after = PrintSample(home.Path("cache"));
  ExpectAsUncached(after);
  EXPECT_FALSE(LoadedPango(after));
}

// Without its text module the program still prints from a warm cache; with a
// cold one it fails, saying so, and prints nothing.
TEST(FontCacheJob, TheTextModuleIsLoadedOnlyWhenNeeded) {
  Sandbox home;
  ExpectAsUncached(PrintSample(home.Path("cache")));
  for (bool warm : {true, false}) {
    SCOPED_TRACE(warm ? "warm" : "cold");
    JobSandbox job;
    job.sandbox.MakeFolder("bin");
    const std::string program = job.sandbox.Path("bin/kalvenor");
    WriteBytes(program, ReadBytes(KALVENOR_BINARY));
    ASSERT_EQ(chmod(program.c_str(), 0755), 0);
    const std::string binary = KALVENOR_BINARY;  // its font aliases come along
    WriteBytes(job.sandbox.Path("bin/kalvenor-fonts.conf"),
               ReadBytes(binary.substr(0, binary.rfind('/')) + "/kalvenor-fonts.conf"));
    ProgramRun run = SampleRun(job, warm ? home.Path("cache") : job.sandbox.Path("cold"));
    run.program = program;
    Printout got = Collect(job, RunProgram(run));
    if (warm) {
      ExpectAsUncached(got);
    } else {
      EXPECT_EQ(got.status, 0);
      EXPECT_NE(got.log.find("ERROR: File not found"), std::string::npos) << got.log;
      EXPECT_EQ(got.streams, "");
      EXPECT_NE(got.err.find("no text layout: kalvenor-text.so not found"), std::string::npos) << got.err;
    }
  }
}

// Cairo is loaded only to draw: a PDF job that cannot load it fails, saying
// so, and a dot printer's job from a warm cache prints without it.
TEST(FontCacheJob, CairoIsLoadedOnlyToDraw) {
  Sandbox home;
  ExpectAsUncached(PrintSample(home.Path("cache")));
  for (bool pdf : {false, true}) {
    SCOPED_TRACE(pdf ? "PDF" : "ESC/POS");
    JobSandbox job;
    ProgramRun run = SampleRun(job, home.Path("cache"));
    if (pdf) job.sandbox.Write("printers/COMANDERA/kalvenor-options", "");
    // A cairo that does not load, found before the system's.
    job.sandbox.Write("lib/libcairo.so.2", "not a library");
    run.env["LD_LIBRARY_PATH"] = job.sandbox.Path("lib");
    Printout got = Collect(job, RunProgram(run));
    if (pdf) {
      EXPECT_EQ(got.status, 0);
      EXPECT_NE(got.log.find("ERROR: File not found"), std::string::npos) << got.log;
      EXPECT_TRUE(job.Pdfs("COMANDERA", ".pdf").empty());
      EXPECT_NE(got.err.find("kalvenor: cannot load cairo: "), std::string::npos) << got.err;
    } else {
      ExpectAsUncached(got);
    }
  }
}

}  // namespace
}  // namespace kalvenor
