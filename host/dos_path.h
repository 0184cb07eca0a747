// DOS paths on a Linux host: drive letters mapped to folders, "\" and "/"
// both separating components, existing components matched ignoring case and
// ".." never climbing above the drive's root.
#ifndef KALVENOR_HOST_DOS_PATH_H_
#define KALVENOR_HOST_DOS_PATH_H_

#include <string>

#include "host/file_system.h"
#include "base/text.h"

namespace kalvenor {

// The host folder of drive `letter` (KALVENOR_DRIVE_<letter>; C: defaults to
// "/"), or empty when the drive is not mapped.
std::string DriveRoot(char16_t letter, const EnvLookup& env);

// The host path of `dos_path`. A path without a drive is taken relative to
// the working directory. Raises "Path not found" for an unmapped drive.
std::string DosToHostPath(const Text& dos_path, const EnvLookup& env);

// The entry of `folder` whose name equals `name` ignoring case; `name`
// itself when the folder holds no such entry (a new file takes the name as
// written).
std::string MatchNameInFolder(const std::string& folder, const std::string& name);

// The folder part and the name part of a host path ("." for a bare name).
std::string HostParent(const std::string& path);
std::string HostBaseName(const std::string& path);

}  // namespace kalvenor

#endif  // KALVENOR_HOST_DOS_PATH_H_
