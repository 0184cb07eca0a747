// The real file system behind FileSystem, with atomic replacement of files.
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <set>
#include <string>

#include "host/dos_path.h"
#include "host/file_system.h"
#include "base/posix_file.h"
#include "base/run_time_error.h"

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
    std::string bytes;
    int err = 0;
    switch (ReadOrdinaryFile(host_path, kMaxHostFileBytes, &bytes, &err)) {
      case ReadStatus::kOk: return bytes;
      case ReadStatus::kOpenFailed: throw OpenError(err, host_path);
      case ReadStatus::kNotOrdinary: throw RunTimeError(kPathFileAccessError);
      case ReadStatus::kTooLarge: RaiseTooLarge();
      case ReadStatus::kReadFailed: break;
    }
    throw ErrorFromErrno(err);
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

std::unique_ptr<FileSystem> MakeRealFileSystem(EnvLookup env) {
  return std::make_unique<RealFileSystem>(std::move(env));
}

}  // namespace kalvenor
