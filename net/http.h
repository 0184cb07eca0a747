// Http: the blocking requests of the QR client. Every request is bounded in
// time and size and follows no redirect; only a whole reply with status 200
// counts as an answer.
#ifndef KALVENOR_NET_HTTP_H_
#define KALVENOR_NET_HTTP_H_

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

namespace kalvenor {

class Http {
 public:
  virtual ~Http() = default;

  // GET `url`, sent as given. The body of a status-200 reply, or nothing on
  // any failure: no connection, a time limit passed, another status (a
  // redirect included), a body cut short or larger than the size cap.
  virtual std::optional<std::string> Get(const std::string& url) = 0;

  // POST `body` to `url` over HTTP/1.0, with `header_text` as extra header
  // lines, each ending in CR LF. The answer is the same as Get's.
  virtual std::optional<std::string> Post(const std::string& url,
                                          const std::string& header_text,
                                          const std::string& body) = 0;
};

struct HttpLimits {
  // Time to set up the connection, and for the whole exchange.
  long connect_ms = 3000;
  long total_ms = 8000;
  // Largest body accepted; a QR image or a decoded text is far smaller.
  size_t max_body_bytes = 4u << 20;
};

// Requests through libcurl, plain http and https only, with the system's
// proxy settings for POST and a direct connection for GET.
std::unique_ptr<Http> MakeCurlHttp(const HttpLimits& limits = HttpLimits());

}  // namespace kalvenor

#endif  // KALVENOR_NET_HTTP_H_
