// Runs a window event so that no exception ever unwinds into the toolkit's
// C frames: a failure becomes the text of the warning box.
#ifndef KALVENOR_DESKTOP_EVENT_GUARD_H_
#define KALVENOR_DESKTOP_EVENT_GUARD_H_

#include <functional>

#include "base/text.h"

namespace kalvenor {

// Runs `event`. A run-time error it raises is shown through `warn` with its
// description; running out of memory as "Out of memory"; any other
// exception, a fault of the program, as "Internal error", with its own text
// on standard error. Never throws, whatever `warn` does.
void RunGuarded(const std::function<void()>& event, const std::function<void(const Text&)>& warn);

}  // namespace kalvenor

#endif  // KALVENOR_DESKTOP_EVENT_GUARD_H_
