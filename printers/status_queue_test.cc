// Queues on the kalvenor back end: how long their jobs are followed, and ESC/POS only.
#include "printers/status_queue.h"

#include <gtest/gtest.h>

namespace kalvenor {
namespace {

TEST(StatusQueue, FollowedForTheBackEndsWaitAndMore) {
  struct {
    const char* uri;
    bool status_queue;
    int seconds;
  } cases[] = {
      {"kalvenor://10.0.0.9:9100/?wait=5", true, 35},
      {"kalvenor:/dev/usb/lp0?status=query&wait=600", true, 630},
      {"kalvenor:/dev/usb/lp0", true, 60},        // the back end's default wait
      {"kalvenor://10.0.0.9/?wait=0", true, 60},  // a URI it refuses ends the job at once
      {"socket://10.0.0.9:9100", false, 60},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(std::pair(IsStatusQueue(c.uri), StatusQueueFollowSeconds(c.uri)), std::pair(c.status_queue, c.seconds))
        << c.uri;
  }
  PrinterOutput output;
  EXPECT_NE(StatusQueueProblem(output).find("kalvenor-output=pdf"), std::string::npos);
  output.format = PrinterOutput::Format::kEscPos;
  EXPECT_EQ(StatusQueueProblem(output), "");
}

}  // namespace
}  // namespace kalvenor
