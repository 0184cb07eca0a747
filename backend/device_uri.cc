// Device URIs of the back end: the printer's address and the options of the job.
#include "backend/device_uri.h"

#include <charconv>

namespace kalvenor {
namespace {

constexpr std::string_view kScheme = "kalvenor:";
// The speeds a serial port can be set to, from 1200 to 115200 baud.
constexpr int kBauds[] = {1200, 1800, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

// A decimal number from `low` to `high`, all of `text`.
bool ParseNumber(std::string_view text, int low, int high, int* number) {
  const char* end = text.data() + text.size();
  auto [stop, ec] = std::from_chars(text.data(), end, *number);
  return !text.empty() && ec == std::errc() && stop == end && *number >= low && *number <= high;
}

// Undoes %XX escapes; false for a broken escape or an escaped NUL.
bool Unescape(std::string_view text, std::string* out) {
  out->clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out->push_back(text[i]);
      continue;
    }
    int value = 0;
    if (i + 2 >= text.size()) return false;
    auto [stop, ec] = std::from_chars(text.data() + i + 1, text.data() + i + 3, value, 16);
    if (ec != std::errc() || stop != text.data() + i + 3 || value == 0) return false;
    out->push_back(static_cast<char>(value));
    i += 2;
  }
  return true;
}

bool ParseOption(std::string_view name, std::string_view value, DeviceUri* uri) {
  bool tcp = uri->kind == DeviceUri::Kind::kTcp;
  if (name == "wait") return ParseNumber(value, 1, 600, &uri->wait_seconds);
  if (name == "status") {
    if (value == "confirm") uri->status = DeviceUri::Proof::kConfirm;
    else if (value == "query") uri->status = DeviceUri::Proof::kQuery;
    else if (value == "off") uri->status = DeviceUri::Proof::kOff;
    else return false;
    return true;
  }
  if (name == "baud" && !tcp) {
    int baud = 0;
    if (!ParseNumber(value, 1200, 115200, &baud)) return false;
    for (int known : kBauds) {
      if (known == baud) uri->baud = baud;
    }
    return uri->baud == baud;
  }
  if (name == "flow" && !tcp) {
    if (value == "none") uri->flow = DeviceUri::Flow::kNone;
    else if (value == "rtscts") uri->flow = DeviceUri::Flow::kRtsCts;
    else if (value == "xonxoff") uri->flow = DeviceUri::Flow::kXonXoff;
    else return false;
    return true;
  }
  return false;
}

bool ParseOptions(std::string_view query, DeviceUri* uri, std::string* err) {
  while (!query.empty()) {
    size_t amp = query.find('&');
    std::string_view pair = query.substr(0, amp);
    query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
    size_t equals = pair.find('=');
    std::string name, value;
    if (equals == std::string_view::npos || !Unescape(pair.substr(0, equals), &name) ||
        !Unescape(pair.substr(equals + 1), &value) || !ParseOption(name, value, uri)) {
      *err = "option '" + std::string(pair) + "' not understood";
      return false;
    }
  }
  return true;
}

// HOST[:PORT] of a TCP URI; an IPv6 address in brackets.
bool ParseAuthority(std::string_view authority, DeviceUri* uri) {
  std::string_view host = authority, port;
  if (authority.starts_with('[')) {
    size_t close = authority.find(']');
    if (close == std::string_view::npos) return false;
    host = authority.substr(1, close - 1);
    std::string_view rest = authority.substr(close + 1);
    if (!rest.empty() && !rest.starts_with(':')) return false;
    if (!rest.empty()) port = rest.substr(1);
    if (rest == ":") return false;
  } else if (size_t colon = authority.find(':'); colon != std::string_view::npos) {
    host = authority.substr(0, colon);
    port = authority.substr(colon + 1);
    if (port.empty()) return false;
  }
  if (!port.empty() && !ParseNumber(port, 1, 65535, &uri->port)) return false;
  return Unescape(host, &uri->host) && !uri->host.empty() &&
         uri->host.find_first_of("/?#@ ") == std::string::npos;
}

}  // namespace

bool ParseDeviceUri(std::string_view text, DeviceUri* uri, std::string* err) {
  *uri = DeviceUri();
  if (!text.starts_with(kScheme)) {
    *err = "it does not start with kalvenor:";
    return false;
  }
  std::string_view rest = text.substr(kScheme.size());
  size_t question = rest.find('?');
  std::string_view query = question == std::string_view::npos ? "" : rest.substr(question + 1);
  rest = rest.substr(0, question);
  if (rest.starts_with("//")) {
    rest.remove_prefix(2);
    size_t slash = rest.find('/');
    std::string_view after = slash == std::string_view::npos ? "" : rest.substr(slash);
    if (!ParseAuthority(rest.substr(0, slash), uri) || (after != "" && after != "/")) {
      *err = "no printer address in it";
      return false;
    }
  } else {
    uri->kind = DeviceUri::Kind::kDevice;
    if (!rest.starts_with('/') || rest.size() < 2 || !Unescape(rest, &uri->path)) {
      *err = "no device path in it";
      return false;
    }
  }
  return ParseOptions(query, uri, err);
}

}  // namespace kalvenor
