// Test doubles: sandbox folders and the recording printer.
#include "testing/fake_host.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/run_time_error.h"

extern char** environ;

namespace kalvenor {

namespace fs = std::filesystem;

LineReader::~LineReader() {
  if (fd_ >= 0) close(fd_);
}

std::string LineReader::ReadLine(int guard_seconds) {
  size_t end;
  while ((end = buffered_.find('\n')) == std::string::npos) {
    pollfd ready{fd_, POLLIN, 0};
    char chunk[4096];
    ssize_t n = fd_ >= 0 && poll(&ready, 1, guard_seconds * 1000) == 1 ? read(fd_, chunk, sizeof chunk) : -1;
    if (n <= 0) return std::string();
    buffered_.append(chunk, static_cast<size_t>(n));
  }
  std::string line = buffered_.substr(0, end);
  buffered_.erase(0, end + 1);
  return line;
}

Fifo::Fifo(const std::string& path) {
  if (mkfifo(path.c_str(), 0666) == 0) fd_ = open(path.c_str(), O_RDWR | O_CLOEXEC);
}

std::pair<int, std::string> Raised(const std::function<void()>& f) {
  try {
    f();
  } catch (const RunTimeError& e) {
    return {e.number(), e.description()};
  }
  return {0, ""};
}

ReportingProcess::ReportingProcess(const std::vector<std::string>& argv, bool quiet, bool input) {
  int fds[2], in[2] = {-1, -1};
  if (pipe2(fds, O_CLOEXEC) != 0 || (input && pipe2(in, O_CLOEXEC) != 0)) return;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  if (input) posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  if (quiet) posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  if (posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), environ) != 0) pid_ = -1;
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  if (input) close(in[0]);
  fd_ = fds[0];
  input_ = in[1];
}

void ReportingProcess::EndInput() {
  if (input_ >= 0) close(input_);
  input_ = -1;
  while (pid_ > 0 && waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
}

ReportingProcess::~ReportingProcess() {
  if (pid_ > 0 && kill(pid_, SIGTERM) == 0) {
    while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
    }
  }
  if (input_ >= 0) close(input_);
}

RefusingPort::RefusingPort() {
  fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (bind(fd_, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
      getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port_ = ntohs(address.sin_port);
  }
}

SilentPort::SilentPort() {
  if (port_ > 0 && listen(fd_, 16) != 0) port_ = 0;
}

Sandbox::Sandbox() {
  std::string pattern = (fs::temp_directory_path() / "kalvenor-test-XXXXXX").string();
  root_ = mkdtemp(pattern.data());
}

Sandbox::~Sandbox() {
  std::error_code ignored;
  // Folders a test made read-only must be writable again to be removed.
  fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, ignored);
  for (auto& entry : fs::recursive_directory_iterator(root_, ignored)) {
    fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
  }
  fs::remove_all(root_, ignored);
}

void Sandbox::Write(const std::string& relative, const std::string& bytes) const {
  fs::create_directories(fs::path(Path(relative)).parent_path());
  WriteBytes(Path(relative), bytes);
}

std::string Sandbox::Read(const std::string& relative) const { return ReadBytes(Path(relative)); }

bool Sandbox::Exists(const std::string& relative) const { return fs::exists(Path(relative)); }

void Sandbox::MakeFolder(const std::string& relative) const { fs::create_directories(Path(relative)); }

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

EnvLookup EnvOf(std::map<std::string, std::string> vars) {
  return [vars = std::move(vars)](const std::string& name) -> std::optional<std::string> {
    auto it = vars.find(name);
    return it == vars.end() ? std::nullopt : std::optional<std::string>(it->second);
  };
}

void RecordingPrinter::Print(const Text& text, bool end_line) {
  open_ops.push_back({.text = text, .x = CurrentX, .y = CurrentY, .font = Font});
  CurrentY += end_line ? TextHeight(text) : 0;
  CurrentX = end_line ? 0 : CurrentX + TextWidth(text);
}

void RecordingPrinter::Line(float x1, float y1, float x2, float y2, uint32_t) {
  open_ops.push_back({.kind = PrintOp::kLine, .x = x1, .y = y1, .x2 = x2, .y2 = y2});
  CurrentX = x2;
  CurrentY = y2;
}

void RecordingPrinter::PaintPicture(const Picture& picture, float x, float y) {
  open_ops.push_back({.kind = PrintOp::kPicture, .x = x, .y = y, .picture = picture});
}

void RecordingPrinter::EndDoc() {
  CurrentX = 0;
  CurrentY = 0;
  if (open_ops.empty()) return;
  documents.push_back({DeviceName(), std::move(open_ops)});
  open_ops.clear();
}

std::vector<Text> RecordingPrinter::Texts(size_t doc) const {
  std::vector<Text> texts;
  for (const PrintOp& op : documents.at(doc).ops) {
    if (op.kind == PrintOp::kPrint) texts.push_back(op.text);
  }
  return texts;
}

std::string SlipLineOf(char digit, int code, const std::string& text) {
  return digit + std::string(code < 10 ? "0" : "") + std::to_string(code) + " " + text;
}

std::string Lines(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& line : lines) out += line + "\r\n";
  return out;
}

std::string ShellOutput(const std::string& command) {
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    pclose(pipe);
  }
  return out;
}

std::string ShellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

Host MakeTestHost(const Sandbox& sandbox, RecordingPrinter** printer) {
  sandbox.MakeFolder("C/CAJA");
  sandbox.MakeFolder("H/COMANDAS");
  Host host;
  host.env = EnvOf({{"KALVENOR_DRIVE_C", sandbox.Path("C")}, {"KALVENOR_DRIVE_H", sandbox.Path("H")}});
  host.files = MakeRealFileSystem(host.env);
  host.working_directory = sandbox.Path("C/CAJA");
  auto* recording = new RecordingPrinter();
  *printer = recording;
  host.make_printer = [recording](Trace*) { return std::unique_ptr<Printer>(recording); };
  host.printer();  // hand the printer to the host now, so it is owned even if unused
  host.trace = std::make_unique<Trace>("");
  host.warn_sink = [](const Text&) {};
  return host;
}

}  // namespace kalvenor
