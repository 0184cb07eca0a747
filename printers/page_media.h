// The page size a printed document states, as a CUPS job's media.
#ifndef KALVENOR_PRINTERS_PAGE_MEDIA_H_
#define KALVENOR_PRINTERS_PAGE_MEDIA_H_

#include <string>

namespace kalvenor {

// The page size a document states (a PDF's /MediaBox, PostScript's
// %%BoundingBox), as the job option "media=Custom.WxH" in whole points
// rounded up, so that a queue keeps the roll-paper page instead of fitting
// it to its default paper. Numbers are read with a '.' point whatever the
// process's locale. Empty when the document states no usable size.
std::string PageMediaOf(const std::string& document);

}  // namespace kalvenor

#endif  // KALVENOR_PRINTERS_PAGE_MEDIA_H_
