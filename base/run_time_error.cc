// Run-time failures: descriptions are made here and nowhere else.
#include "base/run_time_error.h"

#include <cerrno>
#include <new>

namespace kalvenor {

RunTimeError::RunTimeError(int number)
    : RunTimeError(number, ErrorDescription(number)) {}

std::string ErrorDescription(int number) {
  switch (number) {
    case kInvalidProcedureCall: return "Invalid procedure call or argument";
    case kOverflow: return "Overflow";
    case kOutOfMemory: return "Out of memory";
    case kSubscriptOutOfRange: return "Subscript out of range";
    case kTypeMismatch: return "Type mismatch";
    case kInternalError: return "Internal error";
    case kBadFileNameOrNumber: return "Bad file name or number";
    case kFileNotFound: return "File not found";
    case kDeviceIoError: return "Device I/O error";
    case kDiskFull: return "Disk full";
    case kPermissionDenied: return "Permission denied";
    case kPathFileAccessError: return "Path/File access error";
    case kPathNotFound: return "Path not found";
    case kObjectNotSet: return "Object variable or With block variable not set";
    case kObjectDoesNotSupport: return "Object doesn't support this property or method";
    case kKeyAlreadyPresent: return "This key is already associated with an element of this collection";
    case kPrinterError: return "Printer error";
    default: return "Application-defined or object-defined error";
  }
}

RunTimeError ErrorFromException(const std::exception_ptr& exception) {
  try {
    std::rethrow_exception(exception);
  } catch (const RunTimeError& error) {
    return error;
  } catch (const std::bad_alloc&) {
    return RunTimeError(kOutOfMemory);
  } catch (...) {
    return RunTimeError(kInternalError);
  }
}

std::string ExceptionText(const std::exception_ptr& exception) {
  try {
    std::rethrow_exception(exception);
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "unknown exception";
  }
}

RunTimeError ErrorFromErrno(int err) {
  switch (err) {
    case ENOENT: return RunTimeError(kFileNotFound);
    case ENOTDIR: return RunTimeError(kPathNotFound);
    case EACCES:
    case EPERM:
    case EROFS: return RunTimeError(kPermissionDenied);
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return RunTimeError(kDiskFull);  // a file past the size limit: no room
    case EISDIR: return RunTimeError(kPathFileAccessError);
    case ENAMETOOLONG: return RunTimeError(kBadFileNameOrNumber);
    default: return RunTimeError(kDeviceIoError);
  }
}

}  // namespace kalvenor
