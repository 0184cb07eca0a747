// DOS paths mapped to host folders.
#include "host/dos_path.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cstdlib>
#include <vector>

#include "base/run_time_error.h"

namespace kalvenor {

std::string DriveRoot(char16_t letter, const EnvLookup& env) {
  char16_t upper = UCase(Text(1, letter))[0];
  if (upper < u'A' || upper > u'Z') return std::string();
  std::string name = "KALVENOR_DRIVE_";
  name += static_cast<char>(upper);
  std::optional<std::string> root = env(name);
  if (root && !root->empty()) return *root;
  return upper == u'C' ? "/" : std::string();
}

std::string MatchNameInFolder(const std::string& folder, const std::string& name) {
  struct stat st;
  std::string exact = folder + (folder.ends_with('/') ? "" : "/") + name;
  if (lstat(exact.c_str(), &st) == 0) return name;
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return name;
  Text wanted = UCase(FromUtf8(name));
  std::string found = name;
  while (dirent* entry = readdir(dir)) {
    if (UCase(FromUtf8(entry->d_name)) == wanted) {
      found = entry->d_name;
      break;
    }
  }
  closedir(dir);
  return found;
}

std::string HostParent(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string HostBaseName(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

namespace {

// The path with every symbolic link resolved; empty when it cannot be
// resolved (a dangling link, missing like any other missing file).
std::string Resolved(const std::string& path) {
  char* real = realpath(path.c_str(), nullptr);
  if (real == nullptr) return std::string();
  std::string resolved = real;
  std::free(real);
  return resolved;
}

bool IsInside(const std::string& path, const std::string& folder) {
  return path == folder || folder == "/" || path.starts_with(folder + "/");
}

}  // namespace

std::string DosToHostPath(const Text& dos_path, const EnvLookup& env) {
  std::string root;
  size_t start = 0;
  if (dos_path.size() >= 2 && dos_path[1] == u':') {
    root = DriveRoot(dos_path[0], env);
    if (root.empty()) throw RunTimeError(kPathNotFound);
    start = 2;
  } else {
    root = ".";
  }
  std::vector<std::string> parts;
  Text component;
  auto flush = [&] {
    if (component.empty() || component == u".") {
    } else if (component == u"..") {
      if (!parts.empty()) parts.pop_back();  // clamped at the drive's root
    } else {
      parts.push_back(ToUtf8(component));
    }
    component.clear();
  };
  for (size_t i = start; i < dos_path.size(); ++i) {
    char16_t c = dos_path[i];
    if (c == u'\\' || c == u'/') {
      flush();
    } else {
      component += c;
    }
  }
  flush();
  // A symbolic link that leads out of the drive's folder counts as missing:
  // a folder beyond it is "Path not found", a file "File not found".
  std::string path = root;
  // A path that names only its drive is the drive's folder: with the trailing
  // "/" no rename or write can replace a drive folder that is a symbolic link
  // (Wine's drive folders are).
  if (parts.empty() && !path.ends_with('/')) path += '/';
  std::string real_root;
  for (size_t i = 0; i < parts.size(); ++i) {
    std::string name = MatchNameInFolder(path, parts[i]);
    if (!path.ends_with('/')) path += '/';
    path += name;
    struct stat st;
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) continue;
    if (real_root.empty()) real_root = Resolved(root);
    std::string target = Resolved(path);
    if (!target.empty() && !real_root.empty() && !IsInside(target, real_root)) {
      throw RunTimeError(i + 1 < parts.size() ? kPathNotFound : kFileNotFound);
    }
  }
  return path;
}

}  // namespace kalvenor
