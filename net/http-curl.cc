// Http over libcurl: one easy handle per request, closed before returning.
#include <curl/curl.h>

#include <mutex>

#include "net/http.h"

namespace kalvenor {
namespace {

struct BodySink {
  std::string bytes;
  size_t cap = 0;
  bool too_large = false;
};

size_t WriteBody(char* data, size_t size, size_t count, void* user) {
  auto* sink = static_cast<BodySink*>(user);
  size_t n = size * count;
  if (sink->bytes.size() + n > sink->cap) {
    sink->too_large = true;
    return 0;  // makes curl stop with a write error
  }
  sink->bytes.append(data, n);
  return n;
}

// Splits header text made of CR LF terminated lines into a curl list.
curl_slist* HeaderList(const std::string& header_text) {
  curl_slist* list = nullptr;
  size_t pos = 0;
  while (pos < header_text.size()) {
    size_t end = header_text.find("\r\n", pos);
    if (end == std::string::npos) end = header_text.size();
    if (end > pos) {
      curl_slist* grown = curl_slist_append(list, header_text.substr(pos, end - pos).c_str());
      if (grown == nullptr) {
        curl_slist_free_all(list);
        return nullptr;
      }
      list = grown;
    }
    pos = end + 2;
  }
  return list;
}

class CurlHttp : public Http {
 public:
  explicit CurlHttp(const HttpLimits& limits) : limits_(limits) {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  }

  std::optional<std::string> Get(const std::string& url) override {
    return Perform(url, nullptr, nullptr);
  }

  std::optional<std::string> Post(const std::string& url, const std::string& header_text,
                                  const std::string& body) override {
    return Perform(url, &header_text, &body);
  }

 private:
  std::optional<std::string> Perform(const std::string& url, const std::string* header_text,
                                     const std::string* body) {
    CURL* curl = curl_easy_init();
    if (curl == nullptr) return std::nullopt;
    BodySink sink;
    sink.cap = limits_.max_body_bytes;
    curl_slist* headers = nullptr;

    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, limits_.connect_ms);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, limits_.total_ms);
    curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE,
                     static_cast<curl_off_t>(limits_.max_body_bytes));
    curl_easy_setopt(curl, CURLOPT_USERAGENT, "IE");
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, WriteBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);
    if (body == nullptr) {
      // Image requests go straight to the service, past any proxy.
      curl_easy_setopt(curl, CURLOPT_PROXY, "");
    } else {
      headers = HeaderList(*header_text);
      curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
      curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_0);
      curl_easy_setopt(curl, CURLOPT_POST, 1L);
      curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body->data());
      curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body->size()));
    }

    CURLcode code = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);

    // CURLE_PARTIAL_FILE: fewer body bytes came than the reply announced.
    if (code != CURLE_OK || sink.too_large || status != 200) return std::nullopt;
    return std::move(sink.bytes);
  }

  HttpLimits limits_;
};

}  // namespace

std::unique_ptr<Http> MakeCurlHttp(const HttpLimits& limits) {
  return std::make_unique<CurlHttp>(limits);
}

}  // namespace kalvenor
