// Entry points of kalvenor-net.so over the real CUPS and curl back ends.
#include "net/net_module.h"

extern "C" {

__attribute__((visibility("default"))) kalvenor::Printers* KalvenorNetMakeCupsPrinters(int wait_seconds) {
  return kalvenor::MakeCupsPrinters(wait_seconds).release();
}

__attribute__((visibility("default"))) kalvenor::Http* KalvenorNetMakeCurlHttp(
    const kalvenor::HttpLimits* limits) {
  return kalvenor::MakeCurlHttp(*limits).release();
}

}  // extern "C"
