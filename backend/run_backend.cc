// The kalvenor CUPS back end: arguments, the job's bytes, the cancel signal, the exit status.
#include "backend/run_backend.h"

#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/time.h>
#include <unistd.h>

#include <charconv>
#include <string>

#include "backend/cups_messages.h"
#include "backend/device_uri.h"
#include "backend/link.h"
#include "backend/session.h"

namespace kalvenor {
namespace {

// Exit statuses of CUPS back ends.
constexpr int kBackendOk = 0;
constexpr int kBackendFailed = 1;  // CUPS retries the job as its error policy says
constexpr int kBackendCancel = 5;  // this job is cancelled, the queue keeps running
// Every step ends by wait + 6.9 s; past this the back end ends itself.
constexpr auto kOverrunAfter = std::chrono::milliseconds(6980);

// Written to by SIGTERM (CUPS cancelling the job): every wait watches its read end.
int cancel_pipe[2] = {-1, -1};

void OnTerminate(int) {
  char byte = 1;
  ssize_t ignored = write(cancel_pipe[1], &byte, 1);
  (void)ignored;
}

// The last resort past wait + 7 s: every wait is bounded by then, except a
// host name lookup that hangs.
void OnOverrun(int) {
  static const char kLine[] = "ERROR: unreachable\n";
  ssize_t ignored = write(2, kLine, sizeof kLine - 1);
  (void)ignored;
  _exit(kBackendCancel);
}

void ArmOverrun(Moment deadline) {
  signal(SIGALRM, OnOverrun);
  long long left =
      std::chrono::duration_cast<std::chrono::microseconds>(deadline + kOverrunAfter - Clock::now()).count();
  left = std::max(left, 1LL);  // 0 would disarm it
  itimerval timer{{0, 0}, {static_cast<time_t>(left / 1000000), static_cast<suseconds_t>(left % 1000000)}};
  setitimer(ITIMER_REAL, &timer, nullptr);
}

bool WatchForCancel() {
  if (pipe2(cancel_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  struct sigaction action {};
  action.sa_handler = OnTerminate;
  sigemptyset(&action.sa_mask);
  signal(SIGPIPE, SIG_IGN);  // a closed connection shows as a failed write
  return sigaction(SIGTERM, &action, nullptr) == 0;
}

bool ReadAll(int fd, std::string* bytes) {
  char buffer[65536];
  for (;;) {
    ssize_t got = read(fd, buffer, sizeof buffer);
    if (got == 0) return true;
    if (got < 0 && errno != EINTR) return false;
    if (got > 0) bytes->append(buffer, got);
  }
}

// The job's bytes: the file, `copies` times over (CUPS leaves copies of a file
// to the back end), or standard input once.
bool ReadJob(int argc, char** argv, std::string* job) {
  if (argc < 7) return ReadAll(0, job);
  int fd = open(argv[6], O_RDONLY | O_CLOEXEC);
  std::string once;
  bool read = fd >= 0 && ReadAll(fd, &once);
  if (fd >= 0) close(fd);
  int copies = atoi(argv[4]);
  for (int i = 0; i < std::max(copies, 1); ++i) job->append(once);
  return read;
}

// Four digits, new for every job: the CUPS job number's last four, else from the process.
std::string ProcessIdOf(const char* job_id) {
  unsigned long number = 0;
  const char* end = job_id + strlen(job_id);
  auto [stop, ec] = std::from_chars(job_id, end, number);
  if (ec != std::errc() || stop != end) number = getpid();
  char digits[5];
  snprintf(digits, sizeof digits, "%04lu", number % 10000);
  return digits;
}

int Fail(CupsMessages& messages, const std::string& reason) {
  messages.Error(reason);
  return kBackendCancel;
}

}  // namespace

int RunBackend(int argc, char** argv) {
  Moment start = Clock::now();
  if (argc == 1) {
    puts("network kalvenor \"Unknown\" \"ESC/POS printer with status (Kalvenor)\"");
    return kBackendOk;
  }
  CupsMessages messages(2);
  if (argc < 6 || argc > 7) {
    fprintf(stderr, "Usage: %s job-id user title copies options [file]\n", argv[0]);
    return kBackendFailed;
  }
  const char* uri_text = getenv("DEVICE_URI");
  DeviceUri uri;
  std::string why;
  if (!ParseDeviceUri(uri_text != nullptr ? uri_text : "", &uri, &why)) {
    return Fail(messages, "bad device URI (" + why + ")");
  }
  std::string job;
  if (!ReadJob(argc, argv, &job)) {
    messages.Error(std::string("cannot read the job: ") + strerror(errno));
    return kBackendFailed;
  }
  if (!WatchForCancel()) return Fail(messages, "offline");
  Moment deadline = start + std::chrono::seconds(uri.wait_seconds);
  ArmOverrun(deadline);
  std::unique_ptr<Link> link;
  Link::Io io = OpenPrinter(uri, deadline, cancel_pipe[0], &link, &why);
  if (io == Link::Io::kCancelled) return kBackendOk;
  if (io != Link::Io::kDone) {
    messages.Info(why);
    return Fail(messages, "unreachable");
  }
  messages.Info("printer connected");
  Session session(uri, *link, deadline, messages);
  Outcome outcome = session.Run(job, ProcessIdOf(argv[1]));
  if (outcome.cancelled) {
    messages.Info("job cancelled" + outcome.reason.substr(std::string("cancelled").size()));
    return kBackendOk;
  }
  if (!outcome.reason.empty()) return Fail(messages, outcome.reason);
  messages.Info(uri.status == DeviceUri::Proof::kOff ? "job sent" : "job printed");
  return kBackendOk;
}

}  // namespace kalvenor
