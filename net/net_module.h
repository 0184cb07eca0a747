// The network module: the CUPS printers and the curl requests built as a
// shared module of their own (kalvenor-net.so), which the program loads only
// when a job talks to CUPS or to the QR service. A job on the folder printer
// with the built-in QR renderer then never loads libcups, libcurl and the
// TLS, Kerberos, LDAP and D-Bus libraries they bring, which used to cost about
// a third of the run time of a whole job.
#ifndef KALVENOR_NET_NET_MODULE_H_
#define KALVENOR_NET_NET_MODULE_H_

#include "net/http.h"
#include "printers/printers.h"

// The module's entry points, looked up by name after loading. Each returns a
// new object the caller owns (a Printers or an Http), never null.
extern "C" {
kalvenor::Printers* KalvenorNetMakeCupsPrinters(int wait_seconds);
kalvenor::Http* KalvenorNetMakeCurlHttp(const kalvenor::HttpLimits* limits);
}

#endif  // KALVENOR_NET_NET_MODULE_H_
