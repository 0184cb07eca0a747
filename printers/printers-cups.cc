// Printers of the local CUPS server: its destinations, their media and one
// CUPS job per ended document.
#include <cups/cups.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/locale_number.h"
#include "base/run_time_error.h"
#include "printers/cached_printers.h"
#include "printers/page_media.h"
#include "printers/printers.h"
#include "printers/status_queue.h"

namespace kalvenor {
namespace {

// What CUPS said about its last failure, on one line.
std::string LastCupsError() {
  const char* said = cupsLastErrorString();
  std::string text = said != nullptr && *said != '\0'
                         ? said
                         : ippErrorString(cupsLastError());
  for (char& c : text) {
    if (c == '\n' || c == '\r' || c == '\t') c = ' ';
  }
  return text;
}

[[noreturn]] void RaisePrinterError(const std::string& printer,
                                    const std::string& what) {
  throw RunTimeError(kPrinterError,
                     ErrorDescription(kPrinterError) + ": " + printer + ": " + what);
}

bool Failed(ipp_status_t status) {
  return status > IPP_STATUS_OK_EVENTS_COMPLETE;
}

// Destination information (supported and default job attributes), owned.
struct DestInfoDeleter {
  void operator()(cups_dinfo_t* info) const { cupsFreeDestInfo(info); }
};
using DestInfo = std::unique_ptr<cups_dinfo_t, DestInfoDeleter>;

// The width of the media a destination prints on when a job names none: the
// queue's "media" option, else the printer's media default.
double DefaultMediaWidthMm(http_t* http, cups_dest_t* dest, cups_dinfo_t* info) {
  std::string media;
  if (const char* option = cupsGetOption(CUPS_MEDIA, dest->num_options, dest->options)) {
    media = option;
  } else if (ipp_attribute_t* attr =
                 cupsFindDestDefault(http, dest, info, CUPS_MEDIA)) {
    if (const char* value = ippGetString(attr, 0, nullptr)) media = value;
  }
  if (media.empty()) return 0;
  cups_size_t size;
  if (cupsGetDestMediaByName(http, dest, info, media.c_str(), 0, &size) &&
      size.width > 0) {
    return size.width / 100.0;  // hundredths of millimetres
  }
  // A size the printer does not list may still name its dimensions.
  const pwg_media_t* known = pwgMediaForPWG(media.c_str());
  if (known == nullptr) known = pwgMediaForLegacy(media.c_str());
  if (known == nullptr) known = pwgMediaForPPD(media.c_str());
  return known != nullptr && known->width > 0 ? known->width / 100.0 : 0;
}

// Every CUPS connection and request waits at most this long for the server
// (a server that accepts but never answers must not hold the job).
constexpr int kCupsAnswerSeconds = 5;

// The server as the failure names it: its socket, or host:port.
std::string ServerName() {
  std::string server = cupsServer();
  return server.starts_with("/") ? server : server + ":" + std::to_string(ippPort());
}

// Why a TCP connection to `host`:`port` fails, asked again within about a
// second: the system's own words ("connection refused", "network is
// unreachable", ...), or "no answer".
std::string TcpFailure(const char* host, int port) {
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host, std::to_string(port).c_str(), &hints, &found) != 0 || found == nullptr) {
    return "name not known";
  }
  int error = ETIMEDOUT;
  const int fd = socket(found->ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    error = errno;
  } else if (connect(fd, found->ai_addr, found->ai_addrlen) != 0) {
    error = errno;
    pollfd wait{fd, POLLOUT, 0};
    socklen_t size = sizeof error;
    if (error == EINPROGRESS && poll(&wait, 1, 1000) == 1) getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size);
    if (error == EINPROGRESS) error = ETIMEDOUT;
  } else {
    error = 0;
  }
  if (fd >= 0) close(fd);
  freeaddrinfo(found);
  if (error == ETIMEDOUT) return "no answer";
  std::string text = error == 0 ? "it answers now" : std::strerror(error);
  text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
  return text;
}

// Why no connection to the server was made. CUPS reports every connection
// that failed after it was tried as "Host is down", which on a counter reads
// as a dead machine; a missing socket is said as such, a TCP failure in the
// system's words.
std::string ConnectFailure() {
  std::string said = LastCupsError();
  if (said != std::strerror(EHOSTDOWN)) return said;
  std::string server = cupsServer();
  if (server.starts_with("/")) return access(server.c_str(), F_OK) != 0 ? "no such socket" : said;
  return TcpFailure(server.c_str(), ippPort());
}

// An IPP response, owned.
struct IppDeleter {
  void operator()(ipp_t* ipp) const { ippDelete(ipp); }
};
using IppResponse = std::unique_ptr<ipp_t, IppDeleter>;

// The values of a keyword attribute joined with ", "; empty when absent.
std::string Keywords(ipp_t* response, const char* attribute) {
  std::string text;
  ipp_attribute_t* attr = ippFindAttribute(response, attribute, IPP_TAG_ZERO);
  for (int i = 0; attr != nullptr && i < ippGetCount(attr); ++i) {
    const char* value = ippGetString(attr, i, nullptr);
    if (value == nullptr || *value == '\0' || std::string(value) == "none") continue;
    if (!text.empty()) text += ", ";
    text += value;
  }
  return text;
}

// Asks the server for some attributes of a job or a printer.
IppResponse AskServer(http_t* http, ipp_op_t operation, const char* uri_name, const std::string& uri,
                      std::initializer_list<const char*> wanted) {
  ipp_t* request = ippNewRequest(operation);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, uri_name, nullptr, uri.c_str());
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
               cupsUser());
  std::vector<const char*> names(wanted);
  ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                static_cast<int>(names.size()), nullptr, names.data());
  return IppResponse(cupsDoRequest(http, request, "/"));
}

// The printer's state reasons and message, as "reasons: paused (Paused)".
std::string PrinterStateOf(http_t* http, const std::string& name) {
  char uri[HTTP_MAX_URI];
  httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0,
                   "/printers/%s", name.c_str());
  IppResponse response = AskServer(http, IPP_OP_GET_PRINTER_ATTRIBUTES, "printer-uri", uri,
                                   {"printer-state-reasons", "printer-state-message"});
  if (response == nullptr) return "printer state unknown (" + LastCupsError() + ")";
  std::string reasons = Keywords(response.get(), "printer-state-reasons");
  std::string text = "printer state reasons: " + (reasons.empty() ? "none" : reasons);
  if (ipp_attribute_t* message =
          ippFindAttribute(response.get(), "printer-state-message", IPP_TAG_TEXT)) {
    const char* said = ippGetString(message, 0, nullptr);
    if (said != nullptr && *said != '\0') text += std::string(" (") + said + ")";
  }
  for (char& c : text) {
    if (c == '\n' || c == '\r' || c == '\t') c = ' ';
  }
  return text;
}

// The document format of a document the printer surface made.
const char* DocumentFormatOf(const std::string& document) {
  // The receipt printer's own language goes through the queue untouched.
  if (document.starts_with("\x1b\x40")) return CUPS_FORMAT_RAW;
  // PostScript goes as the queue's own PostScript (vnd.cups-postscript): the
  // document sets its page size itself, and no filter rewrites it for the
  // queue's default paper.
  return document.starts_with("%!PS") ? "application/vnd.cups-postscript" : CUPS_FORMAT_PDF;
}

class CupsPrinters : public CachedPrinters {
 public:
  // The queue's own options "kalvenor-..." (lpadmin -p QUEUE -o
  // kalvenor-output-default=escpos; CUPS hands them back without
  // "-default"). The earlier kalvenor-document-format=application/postscript
  // still asks for PostScript: on the cups-pdf test queue a PostScript
  // receipt came out in about half the time of the PDF. Read once a queue.
  std::string ReadOutput(const std::string& name, PrinterOutput* output) override {
    std::string error;
    if (cups_dest_t* dest = FindDest(name)) {
      bool status_queue = IsStatusQueue(DeviceUriOf(dest));
      if (status_queue) output->format = PrinterOutput::Format::kEscPos;
      for (int i = 0; i < dest->num_options && error.empty(); ++i) {
        error = ApplyPrinterOption(dest->options[i].name, dest->options[i].value, output);
      }
      if (status_queue && error.empty()) error = StatusQueueProblem(*output);
    }
    return error;
  }

  explicit CupsPrinters(int wait_seconds) : wait_seconds_(wait_seconds) {}
  ~CupsPrinters() override {
    if (dests_ != nullptr) cupsFreeDests(num_dests_, dests_);
    if (named_dest_ != nullptr) cupsFreeDests(1, named_dest_);
    if (http_ != nullptr) httpClose(http_);
  }

  std::string NoPrinterReason() override {
    EnsureLoaded();
    return server_problem_.empty() ? "no printer is installed" : server_problem_;
  }

  double MediaWidthMm(const std::string& name) override {
    auto known = media_width_mm_.find(name);
    if (known != media_width_mm_.end()) return known->second;
    double width_mm = 0;
    if (cups_dest_t* dest = FindDest(name)) {
      if (cups_dinfo_t* info = InfoOf(name, dest)) width_mm = DefaultMediaWidthMm(Http(), dest, info);
    }
    media_width_mm_[name] = width_mm;
    return width_mm;
  }

  std::string Submit(const std::string& name, const std::string& pdf,
                     const std::string& title) override {
    cups_dest_t* dest = FindDest(name);
    if (dest == nullptr) {
      RaisePrinterError(name, server_problem_.empty() ? Why() : server_problem_);
    }
    cups_dinfo_t* info = InfoOf(name, dest);
    if (info == nullptr) RaisePrinterError(name, Why());

    const char* job_title = title.empty() ? "Kalvenor" : title.c_str();
    int num_options = 0;
    cups_option_t* options = nullptr;
    // A raw stream has no page size for the queue to keep.
    std::string media = pdf.starts_with("\x1b\x40") ? std::string() : PageMediaOf(pdf);
    if (!media.empty()) num_options = cupsAddOption(CUPS_MEDIA, media.c_str(), num_options, &options);
    int job_id = 0;
    bool created = !Failed(cupsCreateDestJob(Http(), dest, info, &job_id,
                                             job_title, num_options, options));
    cupsFreeOptions(num_options, options);
    if (!created || job_id <= 0) {
      RaisePrinterError(name, Why());
    }
    if (cupsStartDestDocument(Http(), dest, info, job_id,
                              job_title, DocumentFormatOf(pdf), 0, nullptr,
                              /*last_document=*/1) != HTTP_STATUS_CONTINUE) {
      CancelAndRaise(name, dest, job_id);
    }
    constexpr size_t kChunk = 64 * 1024;
    for (size_t at = 0; at < pdf.size(); at += kChunk) {
      size_t length = std::min(kChunk, pdf.size() - at);
      if (cupsWriteRequestData(Http(), pdf.data() + at, length) !=
          HTTP_STATUS_CONTINUE) {
        CancelAndRaise(name, dest, job_id);
      }
    }
    if (Failed(cupsFinishDestDocument(Http(), dest, info))) {
      CancelAndRaise(name, dest, job_id);
    }
    if (int seconds = FollowSeconds(dest); seconds > 0) WaitUntilPrinted(name, dest, job_id, seconds);
    return std::to_string(job_id);
  }

 private:
  // Reads the destinations once: the list and the default stay as they were
  // at start for the whole job. With no CUPS server there are none.
  void Load() override {
    if (Http() == nullptr) return;
    num_dests_ = cupsGetDests2(Http(), &dests_);
    if (timed_out_) {
      server_problem_ = SilentServer();
    } else if (num_dests_ == 0 && httpGetStatus(Http()) != HTTP_STATUS_OK) {
      // An answer that is not IPP (a server that refuses this client, a web
      // server on the port) lists no printers because none were asked.
      server_problem_ = "the CUPS server at " + ServerName() + " did not list its printers (" + LastCupsError() + ")";
    }
    int default_dest = -1;
    for (int i = 0; i < num_dests_; ++i) {
      const cups_dest_t& dest = dests_[i];
      // An instance ("queue/instance") prints on its queue: list the queue
      // once, under its plain name.
      int index = IndexOf(dest.name);
      if (index < 0) {
        index = static_cast<int>(names_.size());
        names_.push_back(dest.name);
      }
      if (dest.is_default && default_dest < 0) default_dest = index;
    }
    // Without a CUPS default the first destination is current, as a host
    // with printers always has a current one.
    default_index_ = default_dest >= 0 ? default_dest : (names_.empty() ? -1 : 0);
  }

  int IndexOf(const std::string& name) const {
    for (size_t i = 0; i < names_.size(); ++i) {
      if (names_[i] == name) return static_cast<int>(i);
    }
    return -1;
  }

  // The connection to the CUPS server, made on first use, every wait on it
  // bounded; null when no server accepts one.
  http_t* Http() {
    if (http_ != nullptr || !server_problem_.empty()) return http_;
    http_ = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
                         kCupsAnswerSeconds * 1000, nullptr);
    if (http_ == nullptr) {
      server_problem_ = "no CUPS server at " + ServerName() + " (" + ConnectFailure() + ")";
    } else {
      httpSetTimeout(http_, kCupsAnswerSeconds, GiveUp, this);
    }
    return http_;
  }

  static int GiveUp(http_t*, void* self) {
    static_cast<CupsPrinters*>(self)->timed_out_ = true;
    return 0;  // stop waiting
  }

  // What went wrong with the last request.
  std::string Why() const { return timed_out_ ? SilentServer() : LastCupsError(); }

  std::string SilentServer() const {
    return "the CUPS server at " + ServerName() + " did not answer within " +
           std::to_string(kCupsAnswerSeconds) + " s";
  }

  // The supported and default attributes of destination `name`, asked once
  // a run (asking costs the server a round trip and the job a large answer
  // to parse). Null, and asked again next time, when the server does not
  // answer.
  cups_dinfo_t* InfoOf(const std::string& name, cups_dest_t* dest) {
    auto known = infos_.find(name);
    if (known != infos_.end()) return known->second.get();
    DestInfo info(cupsCopyDestInfo(Http(), dest));
    if (info == nullptr) return nullptr;
    return infos_.emplace(name, std::move(info)).first->second.get();
  }

  // The destination `name`, preferring the plain queue over its instances;
  // asks the server for one added since start. Null when there is none.
  cups_dest_t* FindDest(const std::string& name) {
    EnsureLoaded();
    if (Http() == nullptr) return nullptr;
    cups_dest_t* dest = cupsGetDest(name.c_str(), nullptr, num_dests_, dests_);
    if (dest != nullptr) return dest;
    for (int i = 0; i < num_dests_; ++i) {
      if (name == dests_[i].name) return &dests_[i];
    }
    if (named_dest_ != nullptr) {
      if (name == named_dest_->name) return named_dest_;
      cupsFreeDests(1, named_dest_);
    }
    named_dest_ = cupsGetNamedDest(Http(), name.c_str(), nullptr);
    return named_dest_;
  }

  static std::string DeviceUriOf(cups_dest_t* dest) {
    const char* uri = cupsGetOption("device-uri", dest->num_options, dest->options);
    return uri != nullptr ? uri : "";
  }

  // How long a job on `dest` is followed: KALVENOR_CUPS_WAIT when set, else
  // only on a queue of the kalvenor back end; 0: not followed.
  int FollowSeconds(cups_dest_t* dest) const {
    if (wait_seconds_ >= 0) return wait_seconds_;
    std::string uri = DeviceUriOf(dest);
    return IsStatusQueue(uri) ? StatusQueueFollowSeconds(uri) : 0;
  }

  // Takes back a job whose document did not arrive whole, then raises what
  // CUPS said about the failure.
  [[noreturn]] void CancelAndRaise(const std::string& name, cups_dest_t* dest,
                                   int job_id) {
    std::string what = Why();
    cupsCancelDestJob(Http(), dest, job_id);
    RaisePrinterError(name, what);
  }

  // Follows the job until CUPS reports it completed. A job that CUPS
  // stops, cancels or aborts, or that is not done in time, is cancelled (so
  // it cannot print later, after the run reported that it did not) and
  // raises with the back end's message for the job (the kalvenor back end's
  // reason: "paper out") and the printer's state reasons.
  void WaitUntilPrinted(const std::string& name, cups_dest_t* dest, int job_id, int seconds) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::seconds(seconds);
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0,
                     "/jobs/%d", job_id);
    std::string what;
    for (;;) {
      IppResponse response = AskServer(Http(), IPP_OP_GET_JOB_ATTRIBUTES, "job-uri", uri,
                                        {"job-state", "job-state-reasons", "job-printer-state-message"});
      if (response == nullptr) {
        what = "job " + std::to_string(job_id) + " cannot be followed: " + Why();
        break;
      }
      int state = ippGetInteger(ippFindAttribute(response.get(), "job-state", IPP_TAG_ENUM), 0);
      if (state == IPP_JSTATE_COMPLETED) return;
      const char* ended = state == IPP_JSTATE_STOPPED    ? "was stopped"
                          : state == IPP_JSTATE_CANCELED ? "was cancelled"
                          : state == IPP_JSTATE_ABORTED  ? "was aborted"
                                                         : nullptr;
      if (ended == nullptr && Clock::now() >= deadline) {
        ended = "was not printed in time";
      }
      if (ended != nullptr) {
        std::string reasons = Keywords(response.get(), "job-state-reasons");
        what = "job " + std::to_string(job_id) + " " + ended +
               (reasons.empty() ? "" : " (" + reasons + ")");
        if (ipp_attribute_t* message =
                ippFindAttribute(response.get(), "job-printer-state-message", IPP_TAG_TEXT)) {
          const char* said = ippGetString(message, 0, nullptr);
          if (said != nullptr && *said != '\0') what += std::string(": ") + said;
        }
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    std::string state = PrinterStateOf(Http(), name);
    cupsCancelDestJob(Http(), dest, job_id);
    RaisePrinterError(name, what + "; " + state);
  }

  const int wait_seconds_;
  http_t* http_ = nullptr;
  bool timed_out_ = false;
  std::string server_problem_;  // no server, or one that does not answer
  cups_dest_t* dests_ = nullptr;
  int num_dests_ = 0;
  cups_dest_t* named_dest_ = nullptr;
  std::map<std::string, double> media_width_mm_;
  std::map<std::string, DestInfo> infos_;
};

}  // namespace

std::unique_ptr<Printers> MakeCupsPrinters(int wait_seconds) {
  return std::make_unique<CupsPrinters>(wait_seconds);
}

}  // namespace kalvenor
