// The folder printer: every sub-folder of one folder is a printer, and every
// ended document becomes the next numbered file in it (PDF, PostScript or
// ESC/POS, as the folder's "kalvenor-options" asks).
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "base/locale_number.h"
#include "base/posix_file.h"
#include "base/run_time_error.h"
#include "printers/cached_printers.h"
#include "printers/printers.h"

namespace kalvenor {
namespace {

// Numbers up to nine digits; a larger one is not a document of ours.
constexpr size_t kMaxDigits = 9;

// The document number of a file name "000042.pdf" (or .ps, .prn), or 0 for
// any other name.
long DocumentNumber(const std::string& file_name) {
  size_t dot = file_name.rfind('.');
  if (dot == std::string::npos || dot == 0) return 0;
  std::string suffix = file_name.substr(dot);
  if (suffix != ".pdf" && suffix != ".ps" && suffix != ".prn") return 0;
  size_t digits = dot;
  if (digits > kMaxDigits) return 0;
  long number = 0;
  auto [end, ec] = std::from_chars(file_name.data(), file_name.data() + digits,
                                   number);
  if (ec != std::errc() || end != file_name.data() + digits) return 0;
  return number;
}

// The extension of a document the printer surface made.
const char* ExtensionOf(const std::string& document) {
  if (document.starts_with("%!PS")) return "ps";
  if (document.starts_with("\x1b\x40")) return "prn";
  return "pdf";
}

std::string NumberedName(long number, const char* extension) {
  char name[32];
  std::snprintf(name, sizeof name, "%06ld.%s", number, extension);
  return name;
}

bool IsFolder(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Entry names of `folder`, without "." and "..". Raises when it cannot be read.
std::vector<std::string> ListFolder(const std::string& folder) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) throw ErrorFromErrno(errno);
  std::vector<std::string> names;
  while (const dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(std::move(name));
  }
  closedir(dir);
  return names;
}

// A document is written without a flush to the disk (fsync): it is printer
// output, not the host's data, and a printer loses the page it was printing
// in a power cut as well; the flush cost a job one to several tens of
// milliseconds per receipt. The host's files (the slip, its copy, the log)
// are still flushed before their rename. The numbered name is claimed only
// after the whole file is written, so no reader ever sees a partial document.

// Reads a printer's settings file `path` into `text`. Returns "" when it
// was read or does not exist (`text` then empty), else what is wrong,
// naming the file. A FIFO, a device or a folder of that name is refused at
// once, never waited on.
std::string ReadSetting(const std::string& path, std::string* text) {
  text->clear();
  int err = 0;
  switch (ReadOrdinaryFile(path, 1L << 20, text, &err)) {
    case ReadStatus::kOk: return "";
    case ReadStatus::kOpenFailed:
      if (err == ENOENT) return "";
      return "cannot read " + path + ": " + ErrorFromErrno(err).description();
    case ReadStatus::kNotOrdinary: return path + " is not an ordinary file";
    case ReadStatus::kTooLarge: return path + " is over 1 MB";
    case ReadStatus::kReadFailed: break;
  }
  return "cannot read " + path + ": " + ErrorFromErrno(err).description();
}

// Gives the complete file `temp` the name `target` unless that name exists.
// Returns 0 or an errno value (EEXIST when the name is taken).
int ClaimName(const std::string& temp, const std::string& target) {
  if (renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, target.c_str(),
                RENAME_NOREPLACE) == 0) {
    return 0;
  }
  int err = errno;
  if (err != EINVAL && err != ENOSYS && err != ENOTSUP) return err;
  // The file system cannot rename without replacing: a hard link fails
  // just as atomically when the name is taken.
  if (link(temp.c_str(), target.c_str()) != 0) return errno;
  unlink(temp.c_str());
  return 0;
}

class FolderPrinters : public CachedPrinters {
 public:
  FolderPrinters(std::string folder, std::string default_name)
      : folder_(std::move(folder)), default_name_(std::move(default_name)) {}

  // A printer may state its paper width in a file "media-width-mm" holding
  // the millimetres ("58"); without one, or with one that holds no width,
  // it states none.
  double MediaWidthMm(const std::string& name) override {
    std::string text;
    if (!ReadSetting(PrinterFolder(name) + "/media-width-mm", &text).empty()) return 0;
    std::optional<double> width_mm = ParsePlainNumber(text);
    return width_mm && *width_mm > 0 ? *width_mm : 0;
  }

  // Settings are read from "kalvenor-options" in the printer's folder, once.
  // No such file means the defaults (PDF); one that cannot be read is the
  // printer's error, never a silent PDF for a printer that wants ESC/POS.
  std::string ReadOutput(const std::string& name, PrinterOutput* output) override {
    std::string text;
    std::string error = ReadSetting(PrinterFolder(name) + "/kalvenor-options", &text);
    return error.empty() ? ParsePrinterOptions(text, output) : error;
  }

  std::string NoPrinterReason() override {
    return load_error_.empty() ? Printers::NoPrinterReason() : load_error_;
  }

  std::string Submit(const std::string& name, const std::string& pdf,
                     const std::string& /*title*/) override {
    const std::string folder = PrinterFolder(name);
    auto next = next_number_.find(folder);
    const bool first = next == next_number_.end();
    if (first) RemoveStaleTemporaryFiles(folder);
    const std::string temp = WriteTemporary(folder, pdf);
    // Numbering continues after the highest number in the folder, found
    // once a run; later documents take the next number up. A number another
    // job claimed first is skipped, so none is ever overwritten, and since
    // the claim is an atomic rename that never replaces, simultaneous jobs
    // still leave no gap.
    if (first) {
      try {
        next = next_number_.emplace(folder, HighestNumber(folder) + 1).first;
      } catch (const RunTimeError&) {
        unlink(temp.c_str());
        throw;
      }
    }
    for (long& number = next->second;; ++number) {
      std::string target = folder + "/" + NumberedName(number, ExtensionOf(pdf));
      int err = ClaimName(temp, target);
      if (err == 0) {
        ++number;
        return target;
      }
      if (err != EEXIST) {
        unlink(temp.c_str());
        throw ErrorFromErrno(err);
      }
    }
  }

 private:
  void Load() override {
    std::vector<std::string> entries;
    try {
      entries = ListFolder(folder_);
    } catch (const RunTimeError& e) {
      // No printer, and the job's failure says why.
      load_error_ = "cannot read the printer folder " + folder_ + ": " + e.description();
      return;
    }
    for (const std::string& entry : entries) {
      if (IsFolder(folder_ + "/" + entry)) names_.push_back(entry);
    }
    std::sort(names_.begin(), names_.end());  // byte order
    auto named = std::find(names_.begin(), names_.end(), default_name_);
    if (named != names_.end()) {
      default_index_ = static_cast<int>(named - names_.begin());
    } else if (!names_.empty()) {
      default_index_ = 0;
    }
  }

  std::string PrinterFolder(const std::string& name) const {
    return folder_ + "/" + name;
  }

  static long HighestNumber(const std::string& folder) {
    long highest = 0;
    for (const std::string& entry : ListFolder(folder)) {
      highest = std::max(highest, DocumentNumber(entry));
    }
    return highest;
  }

  // Writes `bytes` to a new hidden file in `folder` and returns its path.
  // Its name is unique to this process and call, and O_EXCL makes sure.
  static std::string WriteTemporary(const std::string& folder,
                                    const std::string& bytes) {
    static std::atomic<unsigned> serial{0};
    for (;;) {
      std::ostringstream name;
      name << folder << "/.kalvenor-" << getpid() << "-" << serial++ << ".tmp";
      std::string path = name.str();
      int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd < 0) {
        if (errno == EEXIST) continue;  // left over by an earlier process
        // A printer folder that is gone: its path no longer leads anywhere.
        if (errno == ENOENT) throw RunTimeError(kPathNotFound);
        throw ErrorFromErrno(errno);
      }
      bool ok = WriteAll(fd, bytes);
      int err = errno;
      if (close(fd) != 0 && ok) {
        ok = false;
        err = errno;
      }
      if (!ok) {
        unlink(path.c_str());
        throw ErrorFromErrno(err);
      }
      return path;
    }
  }

  const std::string folder_;
  const std::string default_name_;
  std::map<std::string, long> next_number_;  // per printer folder
  std::string load_error_;  // why the printer folder could not be listed
};

}  // namespace

std::unique_ptr<Printers> MakeFolderPrinters(const std::string& folder,
                                             const std::string& default_name) {
  return std::make_unique<FolderPrinters>(folder, default_name);
}

}  // namespace kalvenor
