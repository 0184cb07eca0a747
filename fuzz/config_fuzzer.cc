// Fuzz target: the configuration and feed-count readers on arbitrary file
// contents. Neither may raise; the feed count is at most two characters.
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/config.h"
#include "app/feed_count.h"
#include "fuzz/fuzz_host.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kalvenor;
  FuzzHost fuzz;
  std::string bytes(reinterpret_cast<const char*>(data), size);
  fuzz.files->Put("/mem/C/CAJA/KALVENOR.INI", bytes);
  fuzz.files->Put("/mem/C/ZOV/COMANRNG.ZOV", bytes);
  Config config = ReadConfiguration(fuzz.host);
  Require(config.font_name.size() <= 25, "the font name fits its field");
  int16_t feed = ReadFeedCount(fuzz.host);
  Require(feed >= -9 && feed <= 99, "the feed count comes from two characters");
  return 0;
}
