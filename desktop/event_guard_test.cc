#include "desktop/event_guard.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

#include "base/run_time_error.h"

namespace kalvenor {
namespace {

TEST(RunGuarded, EveryFailureBecomesAWarningAndNothingEscapes) {
  struct {
    const char* name;
    std::function<void()> event;
    const char* warning;  // "": none
  } cases[] = {
      {"no failure", [] {}, ""},
      {"a run-time error", [] { throw RunTimeError(kPrinterError, "Printer error: no printer"); },
       "Printer error: no printer"},
      {"no memory", [] { throw std::bad_alloc(); }, "Out of memory"},
      {"a library's exception", [] { throw std::out_of_range("vector::_M_range_check"); }, "Internal error"},
      {"not an exception", [] { throw 7; }, "Internal error"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string warned;
    RunGuarded(c.event, [&](const Text& text) { warned = ToUtf8(text); });
    EXPECT_EQ(warned, c.warning);
  }
  EXPECT_NO_THROW(RunGuarded([] { throw 1; }, [](const Text&) { throw std::bad_alloc(); }));
}

}  // namespace
}  // namespace kalvenor
