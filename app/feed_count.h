// The feed-count file C:\ZOV\COMANRNG.ZOV: how far to advance the paper
// after a receipt, read from its first two characters.
#ifndef KALVENOR_APP_FEED_COUNT_H_
#define KALVENOR_APP_FEED_COUNT_H_

#include <cstdint>

#include "host/host.h"

namespace kalvenor {

// Both characters when the second is "1" to "9" ("07" -> 7, "-3" -> -3),
// else the first when it is "1" to "9" ("10" -> 1, "5 " -> 5), else 0.
// A missing file or one that does not convert gives 0; never raises.
int16_t ReadFeedCount(Host& host);

}  // namespace kalvenor

#endif  // KALVENOR_APP_FEED_COUNT_H_
