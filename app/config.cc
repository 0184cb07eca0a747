// The configuration file reader.
#include "app/config.h"

#include <new>

#include "base/code_page.h"
#include "base/locale_number.h"
#include "base/run_time_error.h"

namespace kalvenor {
namespace {

constexpr size_t kRecordLength = 49;
constexpr size_t kValueOffset = 21;
constexpr size_t kValueWidth = 25;

// Field 3 of record `n` (1-based); bytes past the end of the file read as
// blanks.
Text ValueOfRecord(const std::string& bytes, size_t n) {
  std::string field(kValueWidth, ' ');
  size_t start = (n - 1) * kRecordLength + kValueOffset;
  for (size_t i = 0; i < kValueWidth && start + i < bytes.size(); ++i) field[i] = bytes[start + i];
  return Trim(DecodeAnsi(field));
}

}  // namespace

Config ReadConfiguration(Host& host) {
  try {
    std::string path = host.files->FindInFolder(host.working_directory, "KALVENOR.INI");
    host.files->CreateIfMissing(path);
    std::string bytes = host.files->ReadFile(path);
    Config config;
    config.font_name = ValueOfRecord(bytes, 1);
    config.left_margin = CInt(ValueOfRecord(bytes, 2));
    config.small_size = CInt(ValueOfRecord(bytes, 3));
    config.normal_size = CInt(ValueOfRecord(bytes, 4));
    config.large_size = CInt(ValueOfRecord(bytes, 5));
    return config;
  } catch (const RunTimeError&) {
    return Config();
  } catch (const std::bad_alloc&) {
    return Config();
  }
}

}  // namespace kalvenor
