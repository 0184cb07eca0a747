// MemoryFileSystem: a FileSystem that keeps its files in memory, for tests
// and fuzz targets that must run a whole job quickly and without a disk.
#ifndef KALVENOR_FUZZ_MEMORY_FILE_SYSTEM_H_
#define KALVENOR_FUZZ_MEMORY_FILE_SYSTEM_H_

#include <map>
#include <memory>
#include <set>
#include <string>

#include "host/file_system.h"

namespace kalvenor {

// Drives map to folders through `env` as on a real run (KALVENOR_DRIVE_C ...),
// but the folders and files live in this object. Names match exactly (no
// case folding); a folder exists when it was made or holds a file.
class MemoryFileSystem : public FileSystem {
 public:
  explicit MemoryFileSystem(EnvLookup env) : env_(std::move(env)) {}

  // Test set-up: a file (its folders made too), a folder.
  void Put(const std::string& host_path, const std::string& bytes);
  void MakeFolder(const std::string& host_path);
  // The file's bytes, or nothing when there is none.
  const std::string* Find(const std::string& host_path) const;

  std::string HostPath(const Text& dos_path) override;
  bool IsOrdinaryFile(const std::string& host_path) override;
  bool Exists(const std::string& host_path) override;
  std::string ReadFile(const std::string& host_path) override;
  void WriteFileAtomic(const std::string& host_path, const std::string& bytes) override;
  void CopyFile(const std::string& from, const std::string& to) override;
  void CreateIfMissing(const std::string& host_path) override;
  std::string FindInFolder(const std::string& folder, const std::string& name) override;

 private:
  bool IsFolder(const std::string& path) const;
  // Raises "Path not found" unless the file's folder exists.
  void RequireParent(const std::string& host_path) const;

  EnvLookup env_;
  std::map<std::string, std::string> files_;
  std::set<std::string> folders_;
};

}  // namespace kalvenor

#endif  // KALVENOR_FUZZ_MEMORY_FILE_SYSTEM_H_
