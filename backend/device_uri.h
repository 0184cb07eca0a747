// Device URIs of the back end: kalvenor://HOST[:PORT][/][?OPTIONS] (TCP) and
// kalvenor:/PATH[?OPTIONS] (a character device), OPTIONS being name=value&name=value.
#ifndef KALVENOR_BACKEND_DEVICE_URI_H_
#define KALVENOR_BACKEND_DEVICE_URI_H_

#include <string>
#include <string_view>

namespace kalvenor {

struct DeviceUri {
  enum class Kind { kTcp, kDevice };
  enum class Proof { kConfirm, kQuery, kOff };  // how a printed job is proven
  enum class Flow { kNone, kRtsCts, kXonXoff };

  Kind kind = Kind::kTcp;
  std::string host;  // kTcp: a name or an address (IPv6 without its brackets)
  int port = 9100;
  std::string path;  // kDevice
  Proof status = Proof::kConfirm;
  int wait_seconds = 30;  // the one deadline, from the back end's start
  int baud = 9600;        // serial ports only
  Flow flow = Flow::kNone;
};

// Fills *uri from `text`; false with what is wrong in *err for a URI or an
// option the back end cannot use (the job then fails before anything is sent).
bool ParseDeviceUri(std::string_view text, DeviceUri* uri, std::string* err);

}  // namespace kalvenor

#endif  // KALVENOR_BACKEND_DEVICE_URI_H_
