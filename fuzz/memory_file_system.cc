// The in-memory file system of tests and fuzz targets.
#include "fuzz/memory_file_system.h"

#include "host/dos_path.h"
#include "base/run_time_error.h"

namespace kalvenor {
void MemoryFileSystem::Put(const std::string& host_path, const std::string& bytes) {
  MakeFolder(HostParent(host_path));
  files_[host_path] = bytes;
}

void MemoryFileSystem::MakeFolder(const std::string& host_path) {
  for (std::string folder = host_path; folder != "/" && folder != "."; folder = HostParent(folder)) {
    folders_.insert(folder);
  }
}

const std::string* MemoryFileSystem::Find(const std::string& host_path) const {
  auto it = files_.find(host_path);
  return it == files_.end() ? nullptr : &it->second;
}

bool MemoryFileSystem::IsFolder(const std::string& path) const {
  return path == "/" || path == "." || folders_.count(path) != 0;
}

void MemoryFileSystem::RequireParent(const std::string& host_path) const {
  if (!IsFolder(HostParent(host_path))) throw RunTimeError(kPathNotFound);
}

std::string MemoryFileSystem::HostPath(const Text& dos_path) { return DosToHostPath(dos_path, env_); }

bool MemoryFileSystem::IsOrdinaryFile(const std::string& host_path) {
  return files_.count(host_path) != 0 && !HostBaseName(host_path).starts_with('.');
}

bool MemoryFileSystem::Exists(const std::string& host_path) {
  return files_.count(host_path) != 0 || IsFolder(host_path);
}

std::string MemoryFileSystem::ReadFile(const std::string& host_path) {
  if (const std::string* bytes = Find(host_path)) return *bytes;
  if (IsFolder(host_path)) throw RunTimeError(kPathFileAccessError);
  RequireParent(host_path);
  throw RunTimeError(kFileNotFound);
}

void MemoryFileSystem::WriteFileAtomic(const std::string& host_path, const std::string& bytes) {
  RequireParent(host_path);
  if (IsFolder(host_path)) throw RunTimeError(kPathFileAccessError);
  files_[host_path] = bytes;
}

void MemoryFileSystem::CopyFile(const std::string& from, const std::string& to) {
  WriteFileAtomic(to, ReadFile(from));
}

void MemoryFileSystem::CreateIfMissing(const std::string& host_path) {
  RequireParent(host_path);
  files_.try_emplace(host_path);
}

std::string MemoryFileSystem::FindInFolder(const std::string& folder, const std::string& name) {
  return folder + (folder.ends_with('/') ? "" : "/") + name;
}

}  // namespace kalvenor
