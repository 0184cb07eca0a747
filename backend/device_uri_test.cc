// Device URIs: the printer's address and the job's options, or why the URI cannot be used.
#include "backend/device_uri.h"

#include <gtest/gtest.h>

namespace kalvenor {
namespace {

// What a URI names, in one line; "bad" when it cannot be used.
std::string Described(const std::string& text) {
  DeviceUri uri;
  std::string err;
  if (!ParseDeviceUri(text, &uri, &err)) return "bad";
  EXPECT_TRUE(err.empty()) << text;
  const char* proofs[] = {"confirm", "query", "off"};
  const char* flows[] = {"none", "rtscts", "xonxoff"};
  std::string where = uri.kind == DeviceUri::Kind::kTcp ? uri.host + ":" + std::to_string(uri.port) : uri.path;
  return where + " " + proofs[static_cast<int>(uri.status)] + " " + std::to_string(uri.wait_seconds) + " " +
         std::to_string(uri.baud) + " " + flows[static_cast<int>(uri.flow)];
}

TEST(ParseDeviceUri, Table) {
  struct {
    const char* uri;
    const char* expected;
    const char* why;
  } cases[] = {
      {"kalvenor://192.168.1.50", "192.168.1.50:9100 confirm 30 9600 none", "defaults"},
      {"kalvenor://caja:9101/?status=query&wait=5", "caja:9101 query 5 9600 none", "as CUPS writes socket URIs"},
      {"kalvenor://caja?wait=600&wait=1", "caja:9100 confirm 1 9600 none", "a repeated option: the last"},
      {"kalvenor://[fe80::1]:9102?status=off", "fe80::1:9102 off 30 9600 none", "IPv6 in brackets"},
      {"kalvenor:/dev/usb/lp0", "/dev/usb/lp0 confirm 30 9600 none", "a device"},
      {"kalvenor:/dev/ttyS0?baud=115200&flow=rtscts", "/dev/ttyS0 confirm 30 115200 rtscts", "serial"},
      {"kalvenor:/dev/by%20id/a?baud=1200&flow=xonxoff", "/dev/by id/a confirm 30 1200 xonxoff", "escapes"},
      {"kalvenor://caja?", "caja:9100 confirm 30 9600 none", "no options after ?"},
      {"", "bad", "no URI"},
      {"socket://caja:9100", "bad", "another scheme"},
      {"kalvenor:", "bad", "nothing after the scheme"},
      {"kalvenor://", "bad", "no host"},
      {"kalvenor://:9100", "bad", "no host before the port"},
      {"kalvenor://caja:", "bad", "an empty port"},
      {"kalvenor://caja:0", "bad", "port 0"},
      {"kalvenor://caja:65536", "bad", "port past 65535"},
      {"kalvenor://caja:91x", "bad", "a port that is not a number"},
      {"kalvenor://[fe80::1", "bad", "an unclosed bracket"},
      {"kalvenor://caja/cola", "bad", "a path after the host"},
      {"kalvenor:dev/lp0", "bad", "a relative device path"},
      {"kalvenor:/", "bad", "an empty device path"},
      {"kalvenor:/dev/lp%2", "bad", "a broken escape"},
      {"kalvenor:/dev/lp%00", "bad", "an escaped NUL"},
      {"kalvenor://caja?wait=0", "bad", "wait below 1"},
      {"kalvenor://caja?wait=601", "bad", "wait past 600"},
      {"kalvenor://caja?wait=5s", "bad", "wait with a unit"},
      {"kalvenor://caja?wait=", "bad", "an empty wait"},
      {"kalvenor://caja?status=maybe", "bad", "an unknown status"},
      {"kalvenor://caja?colour=red", "bad", "an unknown option"},
      {"kalvenor://caja?wait", "bad", "an option without ="},
      {"kalvenor://caja?baud=9600", "bad", "baud on TCP"},
      {"kalvenor://caja?flow=none", "bad", "flow on TCP"},
      {"kalvenor:/dev/ttyS0?baud=5000", "bad", "a speed a port cannot take"},
      {"kalvenor:/dev/ttyS0?baud=230400", "bad", "past 115200"},
      {"kalvenor:/dev/ttyS0?flow=dtr", "bad", "an unknown flow control"},
  };
  for (const auto& c : cases) EXPECT_EQ(Described(c.uri), c.expected) << c.uri << ": " << c.why;
}

}  // namespace
}  // namespace kalvenor
