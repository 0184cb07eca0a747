// Run-time failures: a number and a description, as the platform reports them.
#ifndef KALVENOR_BASE_RUN_TIME_ERROR_H_
#define KALVENOR_BASE_RUN_TIME_ERROR_H_

#include <exception>
#include <stdexcept>
#include <string>

namespace kalvenor {

// The failure numbers the program raises; descriptions live in one table.
enum ErrorNumber : int {
  kInvalidProcedureCall = 5,
  kOverflow = 6,
  kOutOfMemory = 7,
  kSubscriptOutOfRange = 9,
  kTypeMismatch = 13,
  kInternalError = 51,
  kBadFileNameOrNumber = 52,
  kFileNotFound = 53,
  kDeviceIoError = 57,
  kDiskFull = 61,
  kPermissionDenied = 70,
  kPathFileAccessError = 75,
  kPathNotFound = 76,
  kObjectNotSet = 91,
  kObjectDoesNotSupport = 438,
  kKeyAlreadyPresent = 457,
  kPrinterError = 482,
};

// The one exception type of a job. `what()` is the description.
class RunTimeError : public std::runtime_error {
 public:
  RunTimeError(int number, const std::string& description)
      : std::runtime_error(description), number_(number) {}
  explicit RunTimeError(int number);  // with the standard description

  int number() const { return number_; }
  std::string description() const { return what(); }

 private:
  int number_;
};

// The standard description of a failure number ("Overflow", "File not found" ...).
std::string ErrorDescription(int number);

// The failure a job reports for an exception that is not a RunTimeError:
// running out of memory, or a fault of the program's own ("Internal
// error"), whose text never reaches the log.
RunTimeError ErrorFromException(const std::exception_ptr& exception);
// The exception's own text (what()), for standard error only.
std::string ExceptionText(const std::exception_ptr& exception);

// Maps an errno value from a file operation to the matching failure.
RunTimeError ErrorFromErrno(int err);

}  // namespace kalvenor

#endif  // KALVENOR_BASE_RUN_TIME_ERROR_H_
