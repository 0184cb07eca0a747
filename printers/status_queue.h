// Queues on the kalvenor back end (device URI "kalvenor:..."), which lets a
// job complete only once the receipt printer has printed it: they take
// ESC/POS only, and their jobs are followed to their end.
#ifndef KALVENOR_PRINTERS_STATUS_QUEUE_H_
#define KALVENOR_PRINTERS_STATUS_QUEUE_H_

#include <string>
#include <string_view>

#include "printers/printer_options.h"

namespace kalvenor {

bool IsStatusQueue(std::string_view device_uri);

// Seconds to follow a job on such a queue: the back end's own limit (the
// URI's wait, 30 s when it names none or cannot be read) plus 30 s for the
// server to start it and record its end.
int StatusQueueFollowSeconds(std::string_view device_uri);

// "" when `output` suits such a queue, else what is wrong (naming the option).
std::string StatusQueueProblem(const PrinterOutput& output);

}  // namespace kalvenor

#endif  // KALVENOR_PRINTERS_STATUS_QUEUE_H_
