// The request limits against a service that answers one byte at a time: a
// reply that keeps arriving is cut off at the total time limit.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/http.h"

namespace kalvenor {
namespace {

TEST(HttpLimits, ReplyTricklingInIsCutOffAtTheTotalLimit) {
  int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(listener, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(listener, 1), 0);
  socklen_t length = sizeof address;
  getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  std::atomic<bool> stop{false};
  std::thread server([&] {
    int client = accept(listener, nullptr, nullptr);
    if (client < 0) return;
    char request[4096];
    (void)!read(client, request, sizeof request);
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n";
    (void)!write(client, head.data(), head.size());
    for (int i = 0; i < 100 && !stop; ++i) {
      if (write(client, "x", 1) != 1) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    close(client);
  });
  HttpLimits limits;
  limits.total_ms = 800;
  auto http = MakeCurlHttp(limits);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(http->Get("http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/qr"), std::nullopt);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2000));
  stop = true;
  server.join();
  close(listener);
}

}  // namespace
}  // namespace kalvenor
