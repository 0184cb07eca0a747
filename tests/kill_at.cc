// Preloaded into the program by the crash test: counts the calls that
// change files (write, fsync, rename, link, unlink) and, at the one that
// KILL_AT_CALL names, kills the process with SIGKILL: a write of more than
// one byte writes its first half first, so the file is left torn.
// The C library headers that declare the wrapped calls are left out: the
// definitions here are their declarations.
#include <dlfcn.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/types.h>

namespace {

// Kills the process at the call that KILL_AT_CALL names (1 the first).
bool Due() {
  static const long kill_at = [] {
    const char* value = getenv("KILL_AT_CALL");
    return value != nullptr ? atol(value) : 0L;
  }();
  static long calls = 0;
  return ++calls == kill_at;
}

void KillIfDue() {
  if (Due()) raise(SIGKILL);
}

template <typename F>
F Next(const char* name) {
  return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" {

ssize_t write(int fd, const void* bytes, size_t size) {
  static auto next = Next<ssize_t (*)(int, const void*, size_t)>("write");
  if (Due()) {
    if (size > 1) next(fd, bytes, size / 2);
    raise(SIGKILL);
  }
  return next(fd, bytes, size);
}
int fsync(int fd) {
  KillIfDue();
  return Next<int (*)(int)>("fsync")(fd);
}

int rename(const char* from, const char* to) noexcept {
  KillIfDue();
  return Next<int (*)(const char*, const char*)>("rename")(from, to);
}

int renameat2(int from_dir, const char* from, int to_dir, const char* to, unsigned flags) noexcept {
  KillIfDue();
  return Next<int (*)(int, const char*, int, const char*, unsigned)>("renameat2")(from_dir, from, to_dir, to,
                                                                                 flags);
}

int link(const char* from, const char* to) noexcept {
  KillIfDue();
  return Next<int (*)(const char*, const char*)>("link")(from, to);
}

int unlink(const char* path) noexcept {
  KillIfDue();
  return Next<int (*)(const char*)>("unlink")(path);
}

}  // extern "C"
