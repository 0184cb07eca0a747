// The real file system behind FileSystem, with atomic replacement of files.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
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
    int fd = open(host_path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw OpenError(errno, host_path);
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
      close(fd);
      throw RunTimeError(kPathFileAccessError);
    }
    std::string bytes;
    char buffer[65536];
    for (;;) {
      ssize_t n = read(fd, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        int err = errno;
        close(fd);
        throw ErrorFromErrno(err);
      }
      if (n == 0) break;
      bytes.append(buffer, static_cast<size_t>(n));
    }
    close(fd);
    return bytes;
  }

  void WriteFileAtomic(const std::string& host_path, const std::string& bytes) override {
    std::string temp = HostParent(host_path) + "/." + HostBaseName(host_path) + ".XXXXXX";
    int fd = mkstemp(temp.data());
    if (fd < 0) throw OpenError(errno, host_path);
    // Keep the permissions of the file being replaced; new files get 0644.
    struct stat st;
    mode_t mode = stat(host_path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644;
    fchmod(fd, mode);
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
    int fd = open(host_path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) throw OpenError(errno, host_path);
    close(fd);
  }

  std::string FindInFolder(const std::string& folder, const std::string& name) override {
    std::string match = MatchNameInFolder(folder, name);
    return folder + (folder.ends_with('/') ? "" : "/") + match;
  }

 private:
  EnvLookup env_;
};

}  // namespace

std::unique_ptr<FileSystem> MakeRealFileSystem(EnvLookup env) {
  return std::make_unique<RealFileSystem>(std::move(env));
}

}  // namespace kalvenor
