// Wraps a FileSystem and makes chosen operations fail as a full disk or a broken drive would.
#ifndef KALVENOR_TESTING_FAULTY_FILE_SYSTEM_H_
#define KALVENOR_TESTING_FAULTY_FILE_SYSTEM_H_

#include <functional>
#include <memory>
#include <string>

#include "host/file_system.h"
#include "base/run_time_error.h"

namespace kalvenor {

class FaultyFileSystem : public FileSystem {
 public:
  explicit FaultyFileSystem(std::unique_ptr<FileSystem> base) : base_(std::move(base)) {}

  // Writes (WriteFileAtomic, CopyFile, CreateIfMissing), counted from 1, fail as on a full disk from
  // the `first`th to the `last`th (0: to the end), leaving the target as it was.
  void FailWrites(int first, int last) {
    fail_first_ = first;
    fail_last_ = last;
  }
  // Reads of host paths that end with `suffix` fail with what `raise` throws (permission denied).
  void FailReadsOf(const std::string& suffix,
                   std::function<void()> raise = [] { throw RunTimeError(kPermissionDenied); }) {
    read_suffix_ = suffix;
    raise_ = std::move(raise);
  }
  int writes() const { return writes_; }

  std::string HostPath(const Text& dos_path) override { return base_->HostPath(dos_path); }
  bool IsOrdinaryFile(const std::string& path) override { return base_->IsOrdinaryFile(path); }
  bool Exists(const std::string& path) override { return base_->Exists(path); }
  std::string ReadFile(const std::string& path) override {
    if (!read_suffix_.empty() && path.ends_with(read_suffix_)) raise_();
    return base_->ReadFile(path);
  }
  void WriteFileAtomic(const std::string& path, const std::string& bytes) override {
    CountWrite();
    base_->WriteFileAtomic(path, bytes);
  }
  void CopyFile(const std::string& from, const std::string& to) override {
    std::string bytes = ReadFile(from);
    CountWrite();
    base_->WriteFileAtomic(to, bytes);
  }
  void CreateIfMissing(const std::string& path) override {
    CountWrite();
    base_->CreateIfMissing(path);
  }
  std::string FindInFolder(const std::string& folder, const std::string& name) override {
    return base_->FindInFolder(folder, name);
  }

 private:
  void CountWrite() {
    ++writes_;
    if (fail_first_ > 0 && writes_ >= fail_first_ && (fail_last_ == 0 || writes_ <= fail_last_)) {
      throw RunTimeError(kDiskFull);
    }
  }

  std::unique_ptr<FileSystem> base_;
  int fail_first_ = 0;
  int fail_last_ = 0;
  int writes_ = 0;
  std::string read_suffix_;
  std::function<void()> raise_;
};

}  // namespace kalvenor

#endif  // KALVENOR_TESTING_FAULTY_FILE_SYSTEM_H_
