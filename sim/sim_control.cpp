// The run-time commands acting on the running sensor: faults switched on and
// off, events, and the counters a test reads back.
#include <unistd.h>

#include <cinttypes>
#include <cstdio>

#include "link/sensor_protocol.h"
#include "sim/simulator.h"

namespace tarvin::sim {

bool Simulator::Apply(const Command& c, double now) {
  switch (c.kind) {
    case CommandKind::Version:
      sensor_.Settings().version = static_cast<uint16_t>(c.a);
      log_.Note(now, "firmware version word 0x%04X", sensor_.Settings().version);
      break;
    case CommandKind::Busy:
      busy_until_ = now + c.a;
      log_.Note(now, "busy for %.3g s", c.a);
      break;
    case CommandKind::Silence:
      silence_until_ = now + c.a;
      log_.Note(now, "silent for %.3g s", c.a);
      break;
    case CommandKind::Drop:
      drop_percent_ = c.a;
      log_.Note(now, "dropping %.3g%% of replies", c.a);
      break;
    case CommandKind::Delay:
      delay_ms_ = c.a;
      log_.Note(now, "replies delayed %.3g ms", c.a);
      break;
    case CommandKind::Corrupt:
      corrupt_percent_ = c.a;
      log_.Note(now, "corrupting the LRC of %.3g%% of frames", c.a);
      break;
    case CommandKind::Garbage:
      garbage_until_ = now + c.a;
      log_.Note(now, "garbage for %.3g s", c.a);
      break;
    case CommandKind::Hangup:
      HangUp(now);
      break;
    case CommandKind::Return:
      ComeBack(now);
      break;
    case CommandKind::Unsolicited: {
      uint16_t words[kMaxReplyWords];
      const uint16_t n = sensor_.StatusReply(Moment(now), words);
      replies_.Push(now, words, n);
      log_.Note(now, "unsolicited status reply queued");
      break;
    }
    case CommandKind::Intrusion:
      signals_.StartIntrusion(now, c.a);
      log_.Note(now, "intrusion for %.3g s", c.a);
      break;
    case CommandKind::ThresholdRise:
      signals_.StartThresholdRise(now, c.a, c.b);
      log_.Note(now, "threshold above %.3g for %.3g s", c.a, c.b);
      break;
    case CommandKind::Balance:
      sensor_.Settings().balance = static_cast<uint16_t>(c.a);
      log_.Note(now, "balance bits 0x%02X", sensor_.Settings().balance);
      break;
    case CommandKind::Rate:
      opt_.rate = c.a;
      sample_due_ = now;
      log_.Note(now, "chart rate %.3g samples/s", c.a);
      break;
    case CommandKind::Stats:
      PrintStats();
      break;
    case CommandKind::Quit:
      quit_ = true;
      return false;
  }
  return true;
}

void Simulator::HangUp(double now) {
  if (hung_) return;
  pty_.Hangup();
  hung_ = true;
  out_len_ = out_pos_ = 0;
  replies_.Clear();
  return_at_ = opt_.hangup_for > 0 ? now + opt_.hangup_for : -1.0;
  log_.Note(now, "hung up");
}

void Simulator::ComeBack(double now) {
  if (!hung_) return;
  std::string error;
  if (!pty_.Open(&error)) {
    log_.Note(now, "return failed: %s", error.c_str());
    return;
  }
  hung_ = false;
  return_at_ = -1.0;
  peer_absent_ = false;
  write_blocked_ = false;
  log_.Note(now, "back on %s", pty_.SlaveName().c_str());
  std::printf("ready\n");
  std::fflush(stdout);
}

namespace {

using protocol::Code;

unsigned Asked(const SimStats& s, Code code) { return s.by_code[static_cast<uint8_t>(code)]; }

}  // namespace

void Simulator::PrintStats() const {
  const SimStats& s = stats_;
  std::printf("stats frames=%" PRIu64 " samples=%" PRIu64 " corrupt_stream=%" PRIu64
              " corrupt_samples=%" PRIu64 " corrupt_replies=%" PRIu64 " replies=%" PRIu64 " dropped=%" PRIu64
              " commands=%" PRIu64 " bad_commands=%" PRIu64 " garbage=%" PRIu64
              " M=%u _=%u A=%u ]=%u [=%u `=%u b=%u last_sample=%u\n",
              s.frames_sent, s.samples_sent, s.corrupt_stream, s.corrupt_samples, s.corrupt_replies,
              s.replies_sent, s.replies_dropped, s.commands, s.bad_commands, s.garbage_chars,
              Asked(s, Code::kVersion), Asked(s, Code::kSettings), Asked(s, Code::kStatus),
              Asked(s, Code::kThreshold), Asked(s, Code::kModeFlags), Asked(s, Code::kAddressWrite),
              Asked(s, Code::kAddressRead), sample_counter_);
  std::fflush(stdout);
}

void Simulator::ReadStdin(double now) {
  char buffer[256];
  const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
  if (got <= 0) {
    stdin_open_ = false;  // no more commands; the sensor plays on
    return;
  }
  for (ssize_t i = 0; i < got; ++i) {
    const char c = buffer[i];
    if (c != '\n') {
      if (stdin_len_ + 1 < sizeof stdin_line_) stdin_line_[stdin_len_++] = c;
      continue;
    }
    stdin_line_[stdin_len_] = '\0';
    stdin_len_ = 0;
    Command command;
    std::string error;
    if (ParseCommand(stdin_line_, &command, &error)) {
      if (!Apply(command, now)) return;
    } else if (!error.empty()) {
      std::fprintf(stderr, "tarvin_sim: %s\n", error.c_str());
      log_.Note(now, "refused: %s", error.c_str());
    }
  }
}

}  // namespace tarvin::sim
