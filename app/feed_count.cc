// The feed-count file reader.
#include "app/feed_count.h"

#include "base/code_page.h"
#include "base/locale_number.h"
#include "base/run_time_error.h"

namespace kalvenor {
namespace {

bool IsOneToNine(char16_t c) { return c > u'0' && c <= u'9'; }

}  // namespace

int16_t ReadFeedCount(Host& host) {
  try {
    std::string path = host.files->HostPath(u"C:\\ZOV\\COMANRNG.ZOV");
    if (!host.files->IsOrdinaryFile(path)) return 0;
    std::string bytes = host.files->ReadFile(path);
    bytes.resize(2, ' ');  // a record cut short by the end of the file reads as blanks
    Text f = DecodeAnsi(bytes);
    if (IsOneToNine(f[1])) return CInt(f);
    if (IsOneToNine(f[0])) return CInt(f.substr(0, 1));
    return 0;
  } catch (const RunTimeError&) {
    return 0;
  }
}

}  // namespace kalvenor
