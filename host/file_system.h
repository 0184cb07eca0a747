// FileSystem: the file operations of a job, on DOS paths ("H:\COMANDAS\X.TXT")
// mapped to host folders. Failures raise RunTimeError with the platform's
// description ("Path not found", "File not found", "Permission denied" ...).
#ifndef KALVENOR_HOST_FILE_SYSTEM_H_
#define KALVENOR_HOST_FILE_SYSTEM_H_

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "base/text.h"

namespace kalvenor {

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // The host path of a DOS path: the drive mapped to its folder, existing
  // components matched ignoring case, ".." clamped at the drive root.
  // Raises "Path not found" for a drive that is not mapped.
  virtual std::string HostPath(const Text& dos_path) = 0;

  // True when a directory lookup finds an ordinary file (not a folder, not a
  // hidden file) at the host path. Never raises.
  virtual bool IsOrdinaryFile(const std::string& host_path) = 0;
  // True when anything (file or folder) exists there. Raises for an
  // unreadable parent.
  virtual bool Exists(const std::string& host_path) = 0;

  // The whole file as bytes. Only an ordinary file is read (a folder, a
  // FIFO or a device raises "Path/File access error" without waiting), and
  // one over kMaxHostFileBytes raises "File too large".
  virtual std::string ReadFile(const std::string& host_path) = 0;
  // Replaces the file with `bytes` atomically: a temporary file in the same
  // folder, flushed, then renamed over the target. On failure the target is
  // untouched and the temporary file is removed. A new file gets 0666 less
  // the umask; a replaced one keeps its permission bits, less set-user-ID,
  // set-group-ID and sticky. A final symbolic link is replaced, not followed.
  virtual void WriteFileAtomic(const std::string& host_path, const std::string& bytes) = 0;
  // Copies a file over `to`, atomically as above.
  virtual void CopyFile(const std::string& from, const std::string& to) = 0;
  // Creates an empty file when nothing has that name (an existing file,
  // FIFO or symbolic link, dangling or not, is left alone).
  virtual void CreateIfMissing(const std::string& host_path) = 0;

  // A name in `folder` matching `name` ignoring case, or `folder/name` when
  // there is none.
  virtual std::string FindInFolder(const std::string& folder, const std::string& name) = 0;
};

// The largest host file a job reads (slips, labels, replies, settings).
inline constexpr long kMaxHostFileBytes = 256L << 20;

using EnvLookup = std::function<std::optional<std::string>(const std::string& name)>;

// The real file system; drives come from KALVENOR_DRIVE_<letter> through `env`.
std::unique_ptr<FileSystem> MakeRealFileSystem(EnvLookup env);

}  // namespace kalvenor

#endif  // KALVENOR_HOST_FILE_SYSTEM_H_
