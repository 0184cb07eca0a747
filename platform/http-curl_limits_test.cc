// The total time limit against a service that answers one byte at a time and
// would go on for half a minute: the request must give up and hang up first.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

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
  socklen_t length = sizeof address;
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), length), 0);
  ASSERT_EQ(listen(listener, 1), 0);
  getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  bool client_hung_up = false;
  std::thread server([&] {
    int client = accept(listener, nullptr, nullptr);
    if (client < 0) return;
    char request[4096];
    (void)!read(client, request, sizeof request);
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n";
    (void)!send(client, head.data(), head.size(), MSG_NOSIGNAL);
    for (int i = 0; i < 3000 && !client_hung_up; ++i) {
      client_hung_up = send(client, "x", 1, MSG_NOSIGNAL) != 1;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    close(client);
  });
  HttpLimits limits;
  limits.total_ms = 800;
  EXPECT_EQ(MakeCurlHttp(limits)->Get("http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/qr"),
            std::nullopt);
  server.join();
  EXPECT_TRUE(client_hung_up);
  close(listener);
}

}  // namespace
}  // namespace kalvenor
