// One job on one printer, from the first status query to the proof that it printed.
#include "backend/session.h"

#include <algorithm>

namespace kalvenor {
namespace {

using Io = Link::Io;
constexpr auto kPollPeriod = std::chrono::seconds(1);
constexpr auto kReplyTime = std::chrono::seconds(2);      // for status replies and the clear's answer
constexpr auto kPrintingGrace = std::chrono::seconds(5);  // a ready printer still printing the receipt
constexpr auto kHardLimit = std::chrono::milliseconds(6900);  // past the deadline, all included
constexpr char kNoAnswer[] = "no status answer";

}  // namespace

Outcome Session::Run(std::string_view job, std::string_view process_id) {
  bool sent = false;
  Outcome outcome{Steps(job, process_id, &sent), cancelled_};
  if (!outcome.reason.empty() && sent && !ClearBuffers()) outcome.reason += ", buffer not cleared";
  return outcome;
}

std::string Session::Steps(std::string_view job, std::string_view process_id, bool* sent) {
  if (uri_.status != DeviceUri::Proof::kOff) {
    std::string reason = AwaitReady(true);
    if (!reason.empty()) return reason;
  }
  *sent = true;
  Io io = link_.Write(job, deadline_, &in_);
  if (io == Io::kDone && uri_.status == DeviceUri::Proof::kConfirm) {
    reader_.ExpectProcessId(process_id);
    io = link_.Write(ProcessIdCommand(process_id), deadline_, &in_);
  }
  Feed();
  if (io != Io::kDone) return ReasonOf(io);
  switch (uri_.status) {
    case DeviceUri::Proof::kOff: return "";
    case DeviceUri::Proof::kQuery: return AwaitReady(false);
    case DeviceUri::Proof::kConfirm: return AwaitProcessId();
  }
  return "";
}

// Asks once a second until the printer is ready or the deadline passes: "" when
// ready, else the last cause. `silence_fails`: a first query without answer ends it.
std::string Session::AwaitReady(bool silence_fails) {
  Cause cause = Cause::kNone;
  bool heard = false;
  for (;;) {
    Moment next = Clock::now() + kPollPeriod;
    Io io = Ask(kAskAll, std::min(Clock::now() + kReplyTime, deadline_));
    if (io == Io::kDone) {
      Verdict verdict = Judge(reader_.status());
      messages_.Show(verdict);
      if (verdict.cause == Cause::kNone) return "";
      heard = true;
      cause = verdict.cause;
    } else if (io != Io::kTimeout) {
      return ReasonOf(io);
    } else if (silence_fails && !heard) {
      return kNoAnswer;
    }
    if (Clock::now() >= deadline_) return heard ? kalvenor::ReasonOf(cause) : kNoAnswer;
    while (io != Io::kTimeout) {
      io = link_.Read(std::min(next, deadline_), &in_);
      Feed();
      if (io == Io::kCancelled || io == Io::kClosed) return ReasonOf(io);
    }
  }
}

// Waits for the printer's answer to the process ID, asking for paper and cover
// once a second meanwhile: a stop is waited for until the deadline, a ready
// printer gets the grace of a receipt still printing.
std::string Session::AwaitProcessId() {
  Cause stop = Cause::kNone;
  Moment next = Clock::now();
  for (;;) {
    if (reader_.Confirmed()) return "";
    if (reader_.Answered()) {
      Verdict verdict = Judge(reader_.status());
      messages_.Show(verdict);
      stop = verdict.cause;
      reader_.Ask("");
    }
    Moment limit = stop == Cause::kNone ? deadline_ + kPrintingGrace : deadline_;
    if (Clock::now() >= limit) return stop == Cause::kNone ? "not confirmed" : kalvenor::ReasonOf(stop);
    Io io = Io::kDone;
    if (Clock::now() >= next) {
      next = Clock::now() + kPollPeriod;
      io = Ask(kAskPaper, std::min(next, limit));
      if (io == Io::kTimeout) io = Io::kDone;  // no reply this time: asked again next time
    } else {
      io = link_.Read(std::min(next, limit), &in_);
      Feed();
    }
    if (io == Io::kCancelled || io == Io::kClosed) return ReasonOf(io);
  }
}

// Sends `query` after dropping what the printer said before, and reads until
// its replies are in (kDone) or `until` (kTimeout).
Io Session::Ask(std::string_view query, Moment until) {
  Io io = link_.Drain(&in_);
  Feed();
  if (io != Io::kDone) return io;
  reader_.Ask(query);
  io = link_.Write(query, until, &in_);
  Feed();
  while (io == Io::kDone && !reader_.Answered() && !reader_.Confirmed()) {
    io = link_.Read(until, &in_);
    Feed();
  }
  return io;
}

bool Session::ClearBuffers() {
  link_.IgnoreCancel();
  Moment until = std::min(Clock::now() + kReplyTime, deadline_ + kHardLimit);
  reader_.ExpectClear();
  Io io = link_.Write(kClearBuffers, until, &in_);
  Feed();
  while (io == Io::kDone && !reader_.Cleared()) {
    io = link_.Read(until, &in_);
    Feed();
  }
  return reader_.Cleared();
}

void Session::Feed() {
  reader_.Feed(in_);
  in_.clear();
}

std::string Session::ReasonOf(Io io) {
  if (io != Io::kCancelled) return "offline";  // the printer stopped reading, or the link is gone
  cancelled_ = true;
  return "cancelled";
}

}  // namespace kalvenor
