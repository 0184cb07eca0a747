// Appending to the bounded section lists.
#ifndef KALVENOR_PRINTING_SECTION_LISTS_H_
#define KALVENOR_PRINTING_SECTION_LISTS_H_

#include <cstdint>

#include "base/run_time_error.h"
#include "base/text.h"

namespace kalvenor {

// Count + 1, then the text into the slot of the new count. A list whose
// last slot is taken raises "Subscript out of range" and stores nothing.
template <size_t N>
void AppendToList(Text (&list)[N], int16_t& count, const Text& text) {
  if (count + 1 >= static_cast<int>(N)) throw RunTimeError(kSubscriptOutOfRange);
  ++count;
  list[count] = text;
}

}  // namespace kalvenor

#endif  // KALVENOR_PRINTING_SECTION_LISTS_H_
