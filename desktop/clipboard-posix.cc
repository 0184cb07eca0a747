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

#include "base/posix_file.h"
#include "render/png.h"

extern char** environ;

namespace kalvenor {

namespace {

// --- the tools -------------------------------------------------------------------

std::string Lookup(const EnvLookup& env, const char* name) {
  std::optional<std::string> v = env ? env(name) : std::nullopt;
  return v ? *v : std::string();
}

// The process's environment with the entries of `over` ("NAME=value") in
// place of those of the same names.
std::vector<std::string> EnvironmentWith(const std::vector<std::string>& over) {
  std::vector<std::string> entries;
  for (char** e = environ; *e != nullptr; ++e) {
    std::string entry(*e);
    bool replaced = false;
    for (const std::string& o : over) {
      if (entry.compare(0, o.find('=') + 1, o, 0, o.find('=') + 1) == 0) replaced = true;
    }
    if (!replaced) entries.push_back(entry);
  }
  entries.insert(entries.end(), over.begin(), over.end());
  return entries;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (std::string& s : strings) pointers.push_back(s.data());
  pointers.push_back(nullptr);
  return pointers;
}

// Writes `input` to the tool's pipe and closes it. A tool that gives up
// early closes its end: that is EPIPE, not a signal that ends the job.
// False, with errno set, when not all of it went in.
bool FeedTool(int fd, const std::string& input) {
  sigset_t pipe_set, old_set;
  sigemptyset(&pipe_set);
  sigaddset(&pipe_set, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe_set, &old_set);
  bool fed = WriteAll(fd, input);
  int err = errno;
  close(fd);
  struct timespec no_wait = {0, 0};
  while (sigtimedwait(&pipe_set, nullptr, &no_wait) > 0) {
  }
  pthread_sigmask(SIG_SETMASK, &old_set, nullptr);
  errno = err;
  return fed;
}

// Runs `argv` with `input` on its standard input; the tool stays behind on
// its own to serve the clipboard. True when it took all of the input and
// exited with status 0.
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
  std::vector<std::string> env_strings = EnvironmentWith(env_over), argv_copy(argv);
  std::vector<char*> envp = Pointers(env_strings), args = Pointers(argv_copy);
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
  bool fed = FeedTool(fds[1], input);
  std::string short_write = fed ? std::string() : std::strerror(errno);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (!fed) {
    *err = argv[0] + " took only part of the image (" + short_write + ")";
    return false;
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
