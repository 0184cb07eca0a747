// Test support for the QR client: the stand-in QR service (testing/qr_server.py)
// and a real QR reader for rasters and printed PDFs.
#ifndef KALVENOR_TESTING_QR_TESTING_H_
#define KALVENOR_TESTING_QR_TESTING_H_

#include <sys/types.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/host.h"
#include "qr/image_conversion.h"

namespace kalvenor {

// A fresh empty folder under the system's temporary folder, removed with
// everything in it when the object goes.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};
void WriteBytes(const std::string& path, const std::string& bytes);
std::string ReadBytes(const std::string& path);

// The stand-in service, started in its own folder on 127.0.0.1.
class QrTestServer {
 public:
  QrTestServer();
  ~QrTestServer();
  QrTestServer(const QrTestServer&) = delete;
  QrTestServer& operator=(const QrTestServer&) = delete;

  bool running() const { return port_ > 0; }
  // "http://127.0.0.1:<port>".
  std::string base() const;
  // Sets how the next requests are answered: `name` alone ("404", "hang"),
  // or with `body` as the bytes to serve ("200", "close", "short", "301", "302").
  void SetCase(const std::string& name, const std::string& body = std::string());
  // Every request received so far, whole, and forgets them.
  std::vector<std::string> TakeRequests();

 private:
  TempFolder folder_;
  pid_t pid_ = -1;
  int port_ = 0;
  int next_request_ = 1;
};

// Time limits of the tests' requests: short, so that a service that never
// answers costs the suite one second.
HttpLimits TestHttpLimits();
// A host with `env` as its whole environment, the real file system (drives
// from KALVENOR_DRIVE_<letter> in `env`) and HTTP with TestHttpLimits().
Host MakeQrTestHost(const std::map<std::string, std::string>& env);

// The bytes of the one QR symbol a reader finds in `raster`, if any.
std::optional<std::string> ReadQrSymbol(const GreyRaster& raster);
// The first page of the PDF at `pdf_path` rasterised in grey at `dpi`.
GreyRaster RasterisePdf(const std::string& pdf_path, int dpi);

}  // namespace kalvenor

#endif  // KALVENOR_TESTING_QR_TESTING_H_
