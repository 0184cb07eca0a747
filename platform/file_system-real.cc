// The real file system behind FileSystem, with atomic replacement of files.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <set>
#include <string>

#include "platform/dos_path.h"
#include "platform/file_system.h"
#include "platform/run_time_error.h"

namespace kalvenor {
namespace {

// A missing file in a missing folder is "Path not found", as on the counter.
RunTimeError OpenError(int err, const std::string& path) {
  if (err == ENOENT) {
    struct stat st;
    if (stat(HostParent(path).c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
      return RunTimeError(kPathNotFound);
    }
  }
  return ErrorFromErrno(err);
}

bool WriteAll(int fd, const std::string& bytes) {
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

// Closes a descriptor when it goes out of scope.
struct FdCloser {
  int fd;
  ~FdCloser() { close(fd); }
};

[[noreturn]] void RaiseTooLarge() {
  throw RunTimeError(kPathFileAccessError,
                     "File too large (over " + std::to_string(kMaxHostFileBytes >> 20) + " MB)");
}

// A new temporary file "folder/.kalvenor-PID-NAME.N" created with mode 0666
// less the umask, never through an existing name or link.
int CreateTemporary(const std::string& host_path, std::string* temp) {
  static unsigned serial = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    *temp = HostParent(host_path) + "/.kalvenor-" + std::to_string(getpid()) + "-" +
            HostBaseName(host_path) + "." + std::to_string((now.tv_nsec ^ ++serial) % 1000000);
    int fd = open(temp->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

class RealFileSystem : public FileSystem {
 public:
  explicit RealFileSystem(EnvLookup env) : env_(std::move(env)) {}

  std::string HostPath(const Text& dos_path) override { return DosToHostPath(dos_path, env_); }

  bool IsOrdinaryFile(const std::string& host_path) override {
    struct stat st;
    if (stat(host_path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    return !HostBaseName(host_path).starts_with('.');  // hidden files do not count
  }

  bool Exists(const std::string& host_path) override {
    struct stat st;
    if (stat(host_path.c_str(), &st) == 0) return true;
    if (errno == ENOENT || errno == ENOTDIR) return false;
    throw ErrorFromErrno(errno);
  }

  std::string ReadFile(const std::string& host_path) override {
    // Without blocking: a FIFO with no writer must not hold the job.
    int fd = open(host_path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) throw OpenError(errno, host_path);
    FdCloser closer{fd};
    struct stat st;
    if (fstat(fd, &st) != 0) throw ErrorFromErrno(errno);
    if (!S_ISREG(st.st_mode)) throw RunTimeError(kPathFileAccessError);
    if (st.st_size > kMaxHostFileBytes) RaiseTooLarge();
    // One buffer of the file's size (and room for a line end the cleaning
    // adds), grown only when the file grows while it is read.
    std::string bytes;
    bytes.reserve(static_cast<size_t>(st.st_size) + 2);
    bytes.resize(static_cast<size_t>(st.st_size));
    size_t done = 0;
    while (done < bytes.size()) {
      ssize_t n = read(fd, bytes.data() + done, bytes.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) throw ErrorFromErrno(errno);
      if (n == 0) break;
      done += static_cast<size_t>(n);
    }
    bytes.resize(done);
    char more[65536];
    while (done == static_cast<size_t>(st.st_size)) {  // grown since fstat: read on, within the limit
      ssize_t n = read(fd, more, sizeof more);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) throw ErrorFromErrno(errno);
      if (n == 0) break;
      if (static_cast<long>(bytes.size()) + n > kMaxHostFileBytes) RaiseTooLarge();
      bytes.append(more, static_cast<size_t>(n));
    }
    return bytes;
  }

  void WriteFileAtomic(const std::string& host_path, const std::string& bytes) override {
    // Each folder is swept once a run: a slips folder may hold years of files.
    if (swept_.insert(HostParent(host_path)).second) RemoveStaleTemporaryFiles(HostParent(host_path));
    std::string temp;
    int fd = CreateTemporary(host_path, &temp);
    if (fd < 0) throw OpenError(errno, host_path);
    // A replaced file keeps its permissions, never set-ID or sticky bits.
    struct stat st;
    if (stat(host_path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) fchmod(fd, st.st_mode & 0777);
    if (!WriteAll(fd, bytes) || fsync(fd) != 0) {
      int err = errno;
      close(fd);
      unlink(temp.c_str());
      throw ErrorFromErrno(err);
    }
    if (close(fd) != 0 || rename(temp.c_str(), host_path.c_str()) != 0) {
      int err = errno;
      unlink(temp.c_str());
      throw ErrorFromErrno(err);
    }
  }

  void CopyFile(const std::string& from, const std::string& to) override {
    WriteFileAtomic(to, ReadFile(from));
  }

  void CreateIfMissing(const std::string& host_path) override {
    int fd = open(host_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC,
                  0666);
    if (fd < 0 && errno == EEXIST) return;
    if (fd < 0) throw OpenError(errno, host_path);
    close(fd);
  }

  std::string FindInFolder(const std::string& folder, const std::string& name) override {
    std::string match = MatchNameInFolder(folder, name);
    return folder + (folder.ends_with('/') ? "" : "/") + match;
  }

 private:
  EnvLookup env_;
  std::set<std::string> swept_;  // folders already rid of stale temporary files
};

}  // namespace

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

std::unique_ptr<FileSystem> MakeRealFileSystem(EnvLookup env) {
  return std::make_unique<RealFileSystem>(std::move(env));
}

}  // namespace kalvenor
