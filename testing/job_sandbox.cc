// The program runner and the sales-counter sandbox of end-to-end tests.
#include "testing/job_sandbox.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <regex>
#include <utility>

#include "render/cairo_printer.h"

extern char** environ;

namespace kalvenor {

static std::vector<char*> ExecArray(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (std::string& s : strings) pointers.push_back(s.data());
  pointers.push_back(nullptr);
  return pointers;
}

pid_t StartProgram(const ProgramRun& run) {
  // Everything the child needs is made before the fork: after it, only async-signal-safe calls.
  std::vector<std::string> env_strings;
  for (char** e = environ; *e != nullptr; ++e) {
    std::string entry = *e;
    if (!entry.starts_with("KALVENOR_") && run.env.count(entry.substr(0, entry.find('='))) == 0) {
      env_strings.push_back(entry);
    }
  }
  for (const auto& [name, value] : run.env) {
    if (!value.empty()) env_strings.push_back(name + "=" + value);
  }
  std::vector<char*> envp = ExecArray(env_strings);
  std::vector<std::string> args = {run.program.empty() ? std::string(KALVENOR_BINARY) : run.program};
  args.insert(args.end(), run.args.begin(), run.args.end());
  std::vector<char*> argv = ExecArray(args);
  std::string stderr_path = run.stderr_path.empty() ? "/dev/null" : run.stderr_path;

  int unread[2] = {-1, -1};
  if (stderr_path == "|" && pipe2(unread, O_CLOEXEC) != 0) return -1;
  pid_t pid = fork();
  if (unread[0] >= 0 && pid != 0) {
    close(unread[0]);
    close(unread[1]);
  }
  if (pid != 0) return pid;
  setpgid(0, 0);  // a group of its own, so that a run past its time ends with all it started
  if (stderr_path == "-") {
    for (int fd = 0; fd <= 2; ++fd) close(fd);
  } else {
    int err = stderr_path == "|" ? unread[1]
                                 : open(stderr_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (unread[0] >= 0) close(unread[0]);
    if (err >= 0) dup2(err, 2);
    int null = open("/dev/null", O_RDWR | O_CLOEXEC);  // on failure the dups fail harmlessly
    dup2(null, 0);
    dup2(null, 1);
  }
  if (chdir(run.working_directory.c_str()) != 0) _exit(125);
  if (run.file_size_limit >= 0) {
    signal(SIGXFSZ, SIG_DFL);  // the program itself must keep it from killing it
    rlimit limit{static_cast<rlim_t>(run.file_size_limit), static_cast<rlim_t>(run.file_size_limit)};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(125);
  }
  if (run.as_nobody && geteuid() == 0) {
    if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) _exit(125);
  }
  execve(argv[0], argv.data(), envp.data());
  _exit(127);
}

int WaitForProgram(pid_t pid, int timeout_seconds) {
  if (pid < 0) return -1;
  bool killed = false;
  if (timeout_seconds > 0) {
    // The process's descriptor becomes readable when it ends; one still running at the limit is killed.
    int ended = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    if (ended >= 0) {
      pollfd wait{ended, POLLIN, 0};
      int ready;
      while ((ready = poll(&wait, 1, timeout_seconds * 1000)) < 0 && errno == EINTR) {
      }
      close(ended);
      if (ready == 0) killed = kill(-pid, SIGKILL) == 0 || kill(pid, SIGKILL) == 0;
    }
  }
  int status = 0;
  while (waitpid(pid, &status, 0) != pid) {
    if (errno != EINTR) return -1;
  }
  if (killed) return 124;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

int RunProgram(const ProgramRun& run, long* peak_kb) {
  if (peak_kb == nullptr) return WaitForProgram(StartProgram(run), run.timeout_seconds);
  char report[] = "/tmp/kalvenor-peak-XXXXXX";
  int fd = mkstemp(report);
  if (fd < 0) return -1;
  close(fd);
  ProgramRun timed = run;
  timed.program = "/usr/bin/time";
  timed.args = {"-q", "-f", "%M", "-o", report, run.program.empty() ? std::string(KALVENOR_BINARY) : run.program};
  timed.args.insert(timed.args.end(), run.args.begin(), run.args.end());
  const int status = WaitForProgram(StartProgram(timed), run.timeout_seconds);
  std::ifstream in(report);
  if (!(in >> *peak_kb)) *peak_kb = -1;
  unlink(report);
  return status;
}

void OpenToEveryone(const std::string& root) {
  namespace fs = std::filesystem;
  std::error_code ignored;
  fs::permissions(root, fs::perms::all, ignored);
  for (auto& entry : fs::recursive_directory_iterator(root, ignored)) {
    fs::permissions(entry.path(), entry.is_directory(ignored) ? fs::perms::all : fs::perms(0666), ignored);
  }
}

JobSandbox::JobSandbox() {
  sandbox.Write("C/VENTAS/C0001234.TXT", Example("C0001234.TXT"));
  sandbox.Write("C/VENTAS/ETIQUE01.TXT", Example("ETIQUE01.TXT"));
  sandbox.Write("C/CAJA/KALVENOR.INI", Example("KALVENOR.INI"));
  sandbox.Write("C/ZOV/COMANRNG.ZOV", Example("COMANRNG.ZOV"));
  sandbox.MakeFolder("H/COMANDAS");
  sandbox.MakeFolder("printers/COMANDERA");
  sandbox.MakeFolder("printers/OFICINA");
  env = {{"KALVENOR_DRIVE_C", sandbox.Path("C")},
         {"KALVENOR_DRIVE_H", sandbox.Path("H")},
         {"KALVENOR_PRINTER_DIR", sandbox.Path("printers")},
         {"KALVENOR_DEFAULT_PRINTER", "OFICINA"},
         {"KALVENOR_TRACE", sandbox.Path("trace.jsonl")},
         {"XDG_CACHE_HOME", cache_home.Path("cache")}};
}

std::string JobSandbox::Example(const std::string& name) {
  return ReadBytes(std::string(KALVENOR_SOURCE_DIR) + "/examples/" + name);
}

ProgramRun JobSandbox::Job(std::vector<std::string> args) const {
  ProgramRun run;
  run.args = std::move(args);
  run.env = env;
  run.working_directory = sandbox.Path("C/CAJA");
  run.stderr_path = sandbox.Path("stderr.txt");
  return run;
}

ProgramRun JobSandbox::SlipJob() const {
  return Job({"\\VENTAS\\C0001234.TXT", "\\VENTAS\\LOG.TXT", "N", "S"});
}

Host JobSandbox::HostWith(std::unique_ptr<Printers> printers) const {
  Host host;
  host.env = EnvOf(env);
  host.files = MakeRealFileSystem(host.env);
  host.working_directory = sandbox.Path("C/CAJA");
  auto shared = std::make_shared<std::unique_ptr<Printers>>(std::move(printers));
  host.make_printer = [shared](Trace* trace) { return MakeCairoPrinter(std::move(*shared), trace); };
  host.trace = std::make_unique<Trace>(sandbox.Path("trace.jsonl"));
  host.warn_sink = [](const Text&) {};
  return host;
}

std::vector<std::string> JobSandbox::Pdfs(const std::string& printer, const std::string& extension) const {
  std::vector<std::string> pdfs;
  std::error_code ignored;
  for (auto& entry : std::filesystem::directory_iterator(sandbox.Path("printers/" + printer), ignored)) {
    std::string name = entry.path().filename().string();
    if (name.ends_with(extension) && !name.starts_with(".")) pdfs.push_back("printers/" + printer + "/" + name);
  }
  std::sort(pdfs.begin(), pdfs.end());
  return pdfs;
}

std::string JobSandbox::TraceSteps() const {
  static const std::regex step(R"re(^\{"op":"(\w+)")re", std::regex::multiline);
  std::string trace = sandbox.Read("trace.jsonl"), steps;
  for (std::sregex_iterator it(trace.begin(), trace.end(), step), end; it != end; ++it) {
    std::string op = (*it)[1];
    if (op != "print" && op != "line" && op != "picture") steps += (steps.empty() ? "" : " ") + op;
  }
  return steps;
}

std::set<std::string> JobSandbox::Files() const {
  std::set<std::string> files;
  std::error_code ignored;
  for (auto& entry : std::filesystem::recursive_directory_iterator(sandbox.root(), ignored)) {
    if (entry.is_regular_file(ignored)) {
      files.insert(std::filesystem::relative(entry.path(), sandbox.root()).string());
    }
  }
  return files;
}

StagedPrinters::StagedPrinters(std::unique_ptr<Printers> base, std::function<void()> after_first,
                               std::string shown, std::string queue)
    : base_(std::move(base)), after_first_(std::move(after_first)), shown_(std::move(shown)),
      queue_(std::move(queue)), names_{shown_} {}

std::string StagedPrinters::Submit(const std::string& name, const std::string& pdf,
                                   const std::string& title) {
  std::string made = base_->Submit(Real(name), pdf, title);
  if (after_first_) std::exchange(after_first_, nullptr)();
  return made;
}

std::string JsonLinesProblems(const std::string& lines) {
  Sandbox scratch;
  scratch.Write("lines", lines);
  scratch.Write("check.py", R"(import json, sys
for n, line in enumerate(open(sys.argv[1], encoding="utf-8"), 1):
    try:
        if not isinstance(json.loads(line), dict):
            print("line %d: not an object" % n)
    except ValueError as e:
        print("line %d: %s" % (n, e))
)");
  return ShellOutput("python3 " + scratch.Path("check.py") + " " + scratch.Path("lines") + " 2>&1");
}

bool IsCompletePdf(const std::string& bytes) {
  if (!bytes.starts_with("%PDF-")) return false;
  size_t end = bytes.find_last_not_of("\r\n ");
  return end != std::string::npos && end >= 4 && bytes.compare(end - 4, 5, "%%EOF") == 0;
}

}  // namespace kalvenor
