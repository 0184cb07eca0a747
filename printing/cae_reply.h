// The C.A.E. reply file: the fiscal QR link that the authorisation component
// leaves beside each receipt number.
#ifndef KALVENOR_PRINTING_CAE_REPLY_H_
#define KALVENOR_PRINTING_CAE_REPLY_H_

#include "printing/job_state.h"
#include "host/host.h"
#include "base/text.h"

namespace kalvenor {

// The reply file of the slip: the program drive, "\CAE\RTA\R-", characters
// 3 to 8 of the slip file name (the receipt number) and ".csv".
Text CaeReplyPath(const JobState& state);

// The QR data of the slip's reply file: the text after the file's last ";"
// (the whole file when there is none), without its last two characters (the
// line end of the last record), spaces trimmed. Empty when the file is
// missing or the data does not contain "afip" (letter case counts).
// Raises "Invalid procedure call or argument" when that text is shorter than
// two characters (an empty file too), and the file system's failure when the
// file exists but cannot be read.
Text ReadCaeQrData(const Job& job, Host& host);

// The whole file at the DOS path `path`, read as Windows-1252 text.
Text ReadWholeFile(const Text& path, Host& host);

}  // namespace kalvenor

#endif  // KALVENOR_PRINTING_CAE_REPLY_H_
