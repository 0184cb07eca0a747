// Small POSIX file helpers shared by the host's files and the folder
// printer: whole writes, reads that never wait on a FIFO or a device, and
// the sweep of temporary files left by killed processes.
#ifndef KALVENOR_BASE_POSIX_FILE_H_
#define KALVENOR_BASE_POSIX_FILE_H_

#include <string>
#include <string_view>

namespace kalvenor {

// Closes a descriptor when it goes out of scope.
struct FdCloser {
  int fd;
  ~FdCloser();
};

// Writes all of `bytes` to `fd`, again after EINTR. Does not flush to the
// disk: callers that need it call fsync. False with errno set on failure.
bool WriteAll(int fd, std::string_view bytes);

// How a read of an ordinary file ended.
enum class ReadStatus { kOk, kOpenFailed, kNotOrdinary, kTooLarge, kReadFailed };

// Reads the whole of the ordinary file `path` into `bytes`, at most
// `max_bytes`. The file is opened without waiting, so a FIFO with no writer,
// a device or a folder ends at once as kNotOrdinary. On kOpenFailed and
// kReadFailed, `*err` holds the errno value.
ReadStatus ReadOrdinaryFile(const std::string& path, long max_bytes, std::string* bytes, int* err);
// The same for `path` relative to the folder open as `dir_fd`, opened with
// `flags` added (O_NOFOLLOW, say).
ReadStatus ReadOrdinaryFileAt(int dir_fd, const std::string& path, int flags, long max_bytes, std::string* bytes,
                              int* err);

// Removes from `folder` the temporary files ".kalvenor-PID-..." of
// processes that are gone (killed mid-write), once they are a minute old:
// a live job on another machine sharing the folder is never touched.
void RemoveStaleTemporaryFiles(const std::string& folder);

}  // namespace kalvenor

#endif  // KALVENOR_BASE_POSIX_FILE_H_
