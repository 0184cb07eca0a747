#include "base/posix_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace kalvenor {

FdCloser::~FdCloser() {
  if (fd >= 0) close(fd);
}

bool WriteAll(int fd, std::string_view bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

ReadStatus ReadOrdinaryFile(const std::string& path, long max_bytes, std::string* bytes, int* err) {
  return ReadOrdinaryFileAt(AT_FDCWD, path, 0, max_bytes, bytes, err);
}

ReadStatus ReadOrdinaryFileAt(int dir_fd, const std::string& path, int flags, long max_bytes, std::string* bytes,
                              int* err) {
  int fd = openat(dir_fd, path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | flags);
  if (fd < 0) {
    *err = errno;
    return ReadStatus::kOpenFailed;
  }
  FdCloser closer{fd};
  struct stat st;
  if (fstat(fd, &st) != 0) {
    *err = errno;
    return ReadStatus::kReadFailed;
  }
  if (!S_ISREG(st.st_mode)) return ReadStatus::kNotOrdinary;
  if (st.st_size > max_bytes) return ReadStatus::kTooLarge;
  // One buffer of the file's size (and room for a line end a caller may
  // add), grown only when the file grows while it is read.
  bytes->clear();
  bytes->reserve(static_cast<size_t>(st.st_size) + 2);
  char chunk[65536];
  for (;;) {
    ssize_t n = read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *err = errno;
      return ReadStatus::kReadFailed;
    }
    if (n == 0) return ReadStatus::kOk;
    if (static_cast<long>(bytes->size()) + n > max_bytes) return ReadStatus::kTooLarge;
    bytes->append(chunk, static_cast<size_t>(n));
  }
}

void RemoveStaleTemporaryFiles(const std::string& folder) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return;
  const std::string prefix = ".kalvenor-";
  time_t now = time(nullptr);
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (!name.starts_with(prefix)) continue;
    char* end = nullptr;
    long pid = std::strtol(name.c_str() + prefix.size(), &end, 10);
    if (pid <= 0 || *end != '-' || pid == getpid()) continue;
    if (kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;  // still running
    std::string path = folder + "/" + name;
    struct stat st;
    if (lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && now - st.st_mtime >= 60) {
      unlink(path.c_str());
    }
  }
  closedir(dir);
}

}  // namespace kalvenor
