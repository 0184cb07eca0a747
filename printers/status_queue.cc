// Queues on the kalvenor back end.
#include "printers/status_queue.h"

#include "backend/device_uri.h"

namespace kalvenor {

bool IsStatusQueue(std::string_view device_uri) { return device_uri.starts_with("kalvenor:"); }

int StatusQueueFollowSeconds(std::string_view device_uri) {
  constexpr int kServerSeconds = 30;
  DeviceUri uri;
  std::string unused;
  // A URI the back end cannot use ends the job at once; its default bounds the wait.
  if (!ParseDeviceUri(device_uri, &uri, &unused)) uri = DeviceUri();
  return uri.wait_seconds + kServerSeconds;
}

std::string StatusQueueProblem(const PrinterOutput& output) {
  if (output.format == PrinterOutput::Format::kEscPos) return std::string();
  const char* asked = output.format == PrinterOutput::Format::kPdf ? "pdf" : "postscript";
  return std::string("bad printer option kalvenor-output=") + asked +
         " (a queue on the kalvenor back end prints escpos only)";
}

}  // namespace kalvenor
