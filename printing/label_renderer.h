// The label renderer: a bold title, and under it a band with the detail
// line's right part large and bold, ending under the title's end, and its
// left part small, vertically centred beside it.
#ifndef KALVENOR_PRINTING_LABEL_RENDERER_H_
#define KALVENOR_PRINTING_LABEL_RENDERER_H_

#include "printing/job_state.h"
#include "host/host.h"

namespace kalvenor {

// Prints the label file at `label_path`. A line of exactly one space is
// skipped; a line starting with "_____" ends the current label's document;
// any other line is a title whose next line is the detail line, split at its
// first "|". A detail line without "|" raises "Invalid procedure call or
// argument"; labels already ended stay printed. `log_path` is not used.
void PrintLabelJob(const Text& label_path, const Text& log_path, Job& job, Host& host);

}  // namespace kalvenor

#endif  // KALVENOR_PRINTING_LABEL_RENDERER_H_
