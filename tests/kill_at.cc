// Preloaded by the crash test: counts the calls that change files and, at
// the one KILL_AT_CALL names (1 the first), kills the process with SIGKILL;
// a write of more than one byte writes its first half first (a torn file).
// The C headers of the wrapped calls are left out: these are the declarations.
#include <dlfcn.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/types.h>

namespace {

bool Due() {
  static const long kill_at = getenv("KILL_AT_CALL") != nullptr ? atol(getenv("KILL_AT_CALL")) : 0;
  static long calls = 0;
  return ++calls == kill_at;
}

// Counts the call, killing the process when it is due, and gives the real function.
template <typename F>
F Counted(const char* name) {
  if (Due()) raise(SIGKILL);
  return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" {

ssize_t write(int fd, const void* bytes, size_t size) {
  static auto next = reinterpret_cast<ssize_t (*)(int, const void*, size_t)>(dlsym(RTLD_NEXT, "write"));
  if (Due()) {
    if (size > 1) next(fd, bytes, size / 2);
    raise(SIGKILL);
  }
  return next(fd, bytes, size);
}

int fsync(int fd) { return Counted<int (*)(int)>("fsync")(fd); }

int rename(const char* from, const char* to) noexcept {
  return Counted<int (*)(const char*, const char*)>("rename")(from, to);
}

int renameat2(int from_dir, const char* from, int to_dir, const char* to, unsigned flags) noexcept {
  using Renameat2 = int (*)(int, const char*, int, const char*, unsigned);
  return Counted<Renameat2>("renameat2")(from_dir, from, to_dir, to, flags);
}

int link(const char* from, const char* to) noexcept {
  return Counted<int (*)(const char*, const char*)>("link")(from, to);
}

int unlink(const char* path) noexcept { return Counted<int (*)(const char*)>("unlink")(path); }

}  // extern "C"
