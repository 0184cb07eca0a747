// Clipboard of a Linux desktop session, through the session's standard
// clipboard tools (wl-copy on Wayland, xclip on X11), fed a PNG image.
#include "desktop/clipboard.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

#include "render/png.h"

extern char** environ;

namespace kalvenor {

namespace {

// --- the tools -------------------------------------------------------------------

std::string Lookup(const EnvLookup& env, const char* name) {
  std::optional<std::string> v = env ? env(name) : std::nullopt;
  return v ? *v : std::string();
}

// Runs `argv` with `input` on its standard input; the tool stays behind on
// its own to serve the clipboard. True when it exited with status 0.
bool RunTool(const std::vector<std::string>& argv, const std::vector<std::string>& env_over,
             const std::string& input, std::string* err) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    *err = std::string("pipe: ") + std::strerror(errno);
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[0], 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);

  std::vector<std::string> env_strings;
  for (char** e = environ; *e != nullptr; ++e) {
    std::string entry(*e);
    bool overridden = false;
    for (const std::string& over : env_over) {
      if (entry.compare(0, over.find('=') + 1, over, 0, over.find('=') + 1) == 0) overridden = true;
    }
    if (!overridden) env_strings.push_back(entry);
  }
  env_strings.insert(env_strings.end(), env_over.begin(), env_over.end());
  std::vector<char*> envp, args;
  for (std::string& s : env_strings) envp.push_back(s.data());
  envp.push_back(nullptr);
  std::vector<std::string> argv_copy(argv);
  for (std::string& s : argv_copy) args.push_back(s.data());
  args.push_back(nullptr);

  pid_t pid;
  int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(fds[0]);
  if (rc != 0) {
    close(fds[1]);
    *err = argv[0] + (rc == ENOENT ? std::string(" is not installed")
                                   : std::string(": ") + std::strerror(rc));
    return false;
  }

  // A tool that gives up early closes the pipe: take that as EPIPE, not as
  // a signal that ends the job.
  sigset_t pipe_set, old_set;
  sigemptyset(&pipe_set);
  sigaddset(&pipe_set, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe_set, &old_set);
  size_t done = 0;
  while (done < input.size()) {
    ssize_t n = write(fds[1], input.data() + done, input.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  close(fds[1]);
  struct timespec no_wait = {0, 0};
  while (sigtimedwait(&pipe_set, nullptr, &no_wait) > 0) {
  }
  pthread_sigmask(SIG_SETMASK, &old_set, nullptr);

  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    *err = argv[0] + " failed (no clipboard on this display?)";
    return false;
  }
  return true;
}

class DesktopClipboard : public Clipboard {
 public:
  explicit DesktopClipboard(EnvLookup env) : env_(std::move(env)) {}

  bool Clear(std::string* err) override {
    if (Session() == kWayland) return RunTool({"wl-copy", "--clear"}, Over(), "", err);
    if (Session() == kX11) {
      return RunTool({"xclip", "-selection", "clipboard", "-i"}, Over(), "", err);
    }
    *err = kNoSession;
    return false;
  }

  bool SetPicture(const Picture& picture, std::string* err) override {
    std::string png = picture ? PictureToPng(*picture) : std::string();
    if (png.empty()) {
      *err = "no bitmap to copy";
      return false;
    }
    if (Session() == kWayland) {
      return RunTool({"wl-copy", "--type", "image/png"}, Over(), png, err);
    }
    if (Session() == kX11) {
      return RunTool({"xclip", "-selection", "clipboard", "-t", "image/png", "-i"}, Over(),
                     png, err);
    }
    *err = kNoSession;
    return false;
  }

 private:
  enum SessionKind { kNone, kWayland, kX11 };
  static constexpr const char* kNoSession =
      "no desktop session (neither WAYLAND_DISPLAY nor DISPLAY is set)";

  SessionKind Session() const {
    if (!Lookup(env_, "WAYLAND_DISPLAY").empty()) return kWayland;
    if (!Lookup(env_, "DISPLAY").empty()) return kX11;
    return kNone;
  }
  // The tool talks to the session this job was given.
  std::vector<std::string> Over() const {
    std::vector<std::string> over;
    for (const char* name : {"WAYLAND_DISPLAY", "DISPLAY", "XDG_RUNTIME_DIR", "XAUTHORITY"}) {
      std::string v = Lookup(env_, name);
      if (!v.empty()) over.push_back(std::string(name) + "=" + v);
    }
    return over;
  }

  EnvLookup env_;
};

}  // namespace

std::string PictureToPng(const PictureData& picture) {
  const int w = picture.pixel_width, h = picture.pixel_height;
  if (w <= 0 || h <= 0 || picture.pixels.size() != static_cast<size_t>(w) * h) {
    return std::string();
  }
  return EncodePng(picture.pixels.data(), w, h, 4 * w);
}

std::unique_ptr<Clipboard> MakeSystemClipboard(EnvLookup env) {
  return std::make_unique<DesktopClipboard>(std::move(env));
}

}  // namespace kalvenor
