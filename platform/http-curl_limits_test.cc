// The total time limit against a service that answers one byte at a time and
// would go on for half a minute: the request must give up first.
#include <gtest/gtest.h>

#include <chrono>

#include "platform/http.h"
#include "testing/barcode_testing.h"

namespace kalvenor {
namespace {

TEST(HttpLimits, ReplyTricklingInIsCutOffAtTheTotalLimit) {
  QrTestServer server;
  ASSERT_TRUE(server.running());
  server.SetCase("trickle");
  HttpLimits limits;
  limits.total_ms = 800;
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(MakeCurlHttp(limits)->Get(server.base() + "/qr"), std::nullopt);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
}

}  // namespace
}  // namespace kalvenor
