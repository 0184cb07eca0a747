// Test support for the QR client.
#include "testing/qr_testing.h"

#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#define ZX_USE_UTF8
#include <ZXing/ReadBarcode.h>

extern char** environ;

namespace kalvenor {

TempFolder::TempFolder() {
  const char* tmp = getenv("TMPDIR");
  path_ = std::string(tmp != nullptr ? tmp : "/tmp") + "/kalvenor-qr-XXXXXX";
  if (mkdtemp(path_.data()) == nullptr) path_.clear();
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

QrTestServer::QrTestServer() {
  std::string script = std::string(KALVENOR_SOURCE_DIR) + "/testing/qr_server.py";
  std::string folder = folder_.path();
  char* argv[] = {const_cast<char*>("python3"), script.data(), folder.data(), nullptr};
  if (posix_spawnp(&pid_, "python3", nullptr, nullptr, argv, environ) != 0) {
    pid_ = -1;
    return;
  }
  for (int i = 0; i < 200 && port_ == 0; ++i) {
    std::string port = ReadBytes(folder_.path() + "/port");
    if (!port.empty()) port_ = std::stoi(port);
    else std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
}

QrTestServer::~QrTestServer() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
}

std::string QrTestServer::base() const { return "http://127.0.0.1:" + std::to_string(port_); }

void QrTestServer::SetCase(const std::string& name, const std::string& body) {
  WriteBytes(folder_.path() + "/body", body);
  std::string line = name + " " + folder_.path() + "/body";
  WriteBytes(folder_.path() + "/case.tmp", line + "\n");
  std::rename((folder_.path() + "/case.tmp").c_str(), (folder_.path() + "/case").c_str());
}

std::vector<std::string> QrTestServer::TakeRequests() {
  std::vector<std::string> requests;
  for (;;) {
    std::string path = folder_.path() + "/request-" + std::to_string(next_request_);
    if (access(path.c_str(), F_OK) != 0) break;
    requests.push_back(ReadBytes(path));
    ++next_request_;
  }
  return requests;
}

HttpLimits TestHttpLimits() {
  HttpLimits limits;
  limits.connect_ms = 500;
  limits.total_ms = 1000;
  limits.max_body_bytes = 64 * 1024;
  return limits;
}

Host MakeQrTestHost(const std::map<std::string, std::string>& env) {
  Host host;
  host.env = [env](const std::string& name) -> std::optional<std::string> {
    auto it = env.find(name);
    if (it == env.end()) return std::nullopt;
    return it->second;
  };
  host.files = MakeRealFileSystem(host.env);
  host.http = MakeCurlHttp(TestHttpLimits());
  return host;
}

std::optional<std::string> ReadQrSymbol(const GreyRaster& raster) {
  if (raster.width == 0 || raster.height == 0) return std::nullopt;
  ZXing::ImageView view(raster.pixels.data(), raster.width, raster.height,
                        ZXing::ImageFormat::Lum);
  ZXing::DecodeHints hints;
  hints.setFormats(ZXing::BarcodeFormat::QRCode);
  ZXing::Result result = ZXing::ReadBarcode(view, hints);
  if (!result.isValid()) return std::nullopt;
  return std::string(result.bytes().begin(), result.bytes().end());
}

GreyRaster RasterisePdf(const std::string& pdf_path, int dpi) {
  GreyRaster raster;
  std::string out = pdf_path + "-" + std::to_string(dpi);
  std::string command = "pdftoppm -f 1 -l 1 -singlefile -gray -r " + std::to_string(dpi) + " '" +
                        pdf_path + "' '" + out + "'";
  if (std::system(command.c_str()) != 0) return raster;
  // Binary PGM: "P5", width, height, maximum value, one whitespace, pixels.
  std::string pgm = ReadBytes(out + ".pgm");
  std::istringstream header(pgm);
  std::string magic;
  int max_value = 0;
  header >> magic >> raster.width >> raster.height >> max_value;
  size_t start = static_cast<size_t>(header.tellg()) + 1;
  size_t size = static_cast<size_t>(raster.width) * raster.height;
  if (magic != "P5" || max_value != 255 || pgm.size() < start + size) return GreyRaster();
  raster.pixels.assign(pgm.begin() + start, pgm.begin() + start + size);
  return raster;
}

}  // namespace kalvenor
