// The fault-injecting file system of tests.
#include "testing/faulty_file_system.h"

namespace kalvenor {

void FaultyFileSystem::CountWrite() {
  ++writes_;
  if (fail_first_ > 0 && writes_ >= fail_first_ && (fail_last_ == 0 || writes_ <= fail_last_)) {
    throw RunTimeError(write_error_);
  }
}

std::string FaultyFileSystem::ReadFile(const std::string& path) {
  if (!read_suffix_.empty() && path.ends_with(read_suffix_)) throw RunTimeError(read_error_);
  return base_->ReadFile(path);
}

void FaultyFileSystem::WriteFileAtomic(const std::string& path, const std::string& bytes) {
  CountWrite();
  base_->WriteFileAtomic(path, bytes);
}

void FaultyFileSystem::CopyFile(const std::string& from, const std::string& to) {
  std::string bytes = ReadFile(from);
  CountWrite();
  base_->WriteFileAtomic(to, bytes);
}

void FaultyFileSystem::CreateIfMissing(const std::string& path) {
  CountWrite();
  base_->CreateIfMissing(path);
}

}  // namespace kalvenor
