#include "sim/simulator.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "link/frame_codec.h"
#include "link/sensor_protocol.h"

namespace tarvin::sim {

namespace {

constexpr double kPeerRecheck = 0.02;    // seconds between looks for a program on the slave side
constexpr double kReplyLatency = 0.002;  // the sensor's own turnaround
constexpr std::size_t kGarbageChunk = 64;

double SteadySeconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

uint32_t FloatBits(float f) {
  uint32_t bits = 0;
  std::memcpy(&bits, &f, sizeof bits);
  return bits;
}

}  // namespace

Simulator::Simulator(const SimOptions& options, FrameLog& log)
    : opt_(options),
      log_(log),
      pty_(options.link_path),
      sensor_(options.sensor),
      signals_(options.seed),
      rng_(options.seed ^ 0x9E3779B9u) {
  start_ = SteadySeconds();
  pacer_.SetPace(opt_.pace, 0.0);
}

double Simulator::Now() const { return SteadySeconds() - start_; }

bool Simulator::Chance(double percent) {
  if (percent <= 0) return false;
  std::uniform_real_distribution<double> d(0.0, 100.0);
  return d(rng_) < percent;
}

SensorMoment Simulator::Moment(double now) {
  SensorMoment m;
  m.busy = now < busy_until_;
  m.alarm = signals_.Alarm(now);
  return m;
}

bool Simulator::Start(std::string* error) {
  if (!pty_.Open(error)) return false;
  const double now = Now();
  log_.Note(now, "line %s -> %s, %.0f characters/s", opt_.link_path.c_str(), pty_.SlaveName().c_str(),
            pacer_.CharsPerSecond());
  signals_.SetRandomIntrusions(now, opt_.random_intrusions);
  for (const std::string& line : opt_.start_commands) {
    Command c;
    if (!ParseCommand(line, &c, error)) return false;
    Apply(c, now);
  }
  std::printf("ready\n");
  std::fflush(stdout);
  return true;
}

void Simulator::SetStreaming(bool on, double from) {
  if (on && !streaming_) {
    sample_due_ = from;
    status_due_ = from + opt_.stream_status_every;
  }
  streaming_ = on;
}

void Simulator::OnCommand(const char* body, std::size_t length, double now) {
  ++stats_.commands;
  if (Check_KS(body) != 0) {
    ++stats_.bad_commands;
    log_.Frame(now, '<', body, length, "(bad LRC: ignored)");
    return;
  }
  const uint16_t code = protocol::CodeOf(Get_Word(body, 0));
  ++stats_.by_code[code];
  if (now < silence_until_ || now < garbage_until_) {
    log_.Frame(now, '<', body, length, "(not answered: silent)");
    return;
  }
  if (Chance(drop_percent_)) {
    ++stats_.replies_dropped;
    log_.Frame(now, '<', body, length, "(reply dropped)");
    return;
  }
  uint16_t words[kMaxReplyWords];
  const uint16_t n = sensor_.Answer(body, length, Moment(now), words);
  if (n == 0) {
    log_.Frame(now, '<', body, length, "(not answered: unknown or short)");
    return;
  }
  log_.Frame(now, '<', body, length);
  const double due = now + kReplyLatency + delay_ms_ / 1000.0;
  replies_.Push(due, words, n);
  // The stream starts after the reply that started it, as the sensor's own loop does.
  if (protocol::Is(code, protocol::Code::kModeFlags)) SetStreaming(sensor_.Streaming(), due);
}

void Simulator::Receive(double now) {
  if (hung_ || !pty_.IsOpen()) return;
  if (peer_absent_ && now < peer_check_) return;
  char buffer[256];
  for (;;) {
    const long got = pty_.Read(buffer, sizeof buffer);
    if (got < 0) {
      if (!peer_absent_) log_.Note(now, "nobody on the line");
      peer_absent_ = true;
      peer_check_ = now + kPeerRecheck;
      return;
    }
    if (peer_absent_) log_.Note(now, "the program is on the line");
    peer_absent_ = false;
    if (got == 0) return;
    for (long i = 0; i < got; ++i)
      if (reader_.Feed(static_cast<char>(buffer[i] & 0x7F))) OnCommand(reader_.Body(), reader_.Length(), now);
  }
}

bool Simulator::LoadFrame(char start, uint16_t* words, uint16_t n, bool stream, double now) {
  const bool corrupt = Chance(corrupt_percent_);
  if (corrupt) {
    words[n - 1] ^= 0x5A;  // the LRC digits go wrong, the data stays as it was
    ++(stream ? stats_.corrupt_stream : stats_.corrupt_replies);
  }
  out_len_ = Write_Frame(start, words, n, out_, sizeof out_);
  out_pos_ = 0;
  ++stats_.frames_sent;
  if (!stream) ++stats_.replies_sent;
  log_.Frame(now, '>', out_, out_len_, corrupt ? "(LRC corrupted)" : "");
  return corrupt;
}

bool Simulator::LoadNextFrame(double now) {
  if (hung_) return false;
  if (now < garbage_until_) {
    // Hex digits only: no start character and no CR LF, so the program's
    // receive buffer fills up without ever seeing a frame end.
    static const char kDigits[] = "0123456789ABCDEF";
    for (std::size_t i = 0; i < kGarbageChunk; ++i) out_[i] = kDigits[(stats_.garbage_chars + i) % 16];
    stats_.garbage_chars += kGarbageChunk;
    out_len_ = kGarbageChunk;
    out_pos_ = 0;
    replies_.Clear();
    return true;
  }
  if (now < silence_until_) {
    replies_.Clear();
    return false;
  }
  uint16_t words[kMaxReplyWords];
  if (const PendingReply* r = replies_.Due(now)) {
    std::memcpy(words, r->words, sizeof(uint16_t) * r->count);
    const uint16_t n = r->count;
    replies_.Pop();
    LoadFrame(kReplyStart, words, n, false, now);
    return true;
  }
  if (!streaming_) return false;
  const uint16_t direct = sensor_.Settings().direct;
  if (now >= status_due_) {
    status_due_ = now + opt_.stream_status_every;
    words[0] = protocol::HeadWord(protocol::Code::kStatus);
    words[protocol::status::kWord] = 0;
    words[protocol::status::kConstantWord] = direct;
    LoadFrame(kStreamStart, words, Seal(words, protocol::status::kConstantWord + 1), true, now);
    return true;
  }
  if (now < sample_due_) return false;
  if (opt_.rate > 0) sample_due_ = std::max(sample_due_ + 1.0 / opt_.rate, now - 1.0 / opt_.rate);
  const SignalSample s = signals_.At(now, direct);
  namespace chart = protocol::chart;
  words[0] = protocol::HeadWord(protocol::Code::kChart);
  const auto pair = [&words](int first, uint32_t value) {
    words[first] = static_cast<uint16_t>(value & 0xFFFF);
    words[first + 1] = static_cast<uint16_t>(value >> 16);
  };
  pair(chart::kUsefulPair, s.useful);
  pair(chart::kNoisePair, s.ekNoise);
  pair(chart::kClimatePair, sample_counter_);
  pair(chart::kInputPair, s.input);
  pair(chart::kThresholdPair, FloatBits(s.threshold));
  ++sample_counter_;
  ++stats_.samples_sent;
  if (LoadFrame(kStreamStart, words, Seal(words, chart::kLastWord + 1), true, now)) ++stats_.corrupt_samples;
  return true;
}

void Simulator::Pump(double now) {
  write_blocked_ = false;
  for (;;) {
    if (out_pos_ == out_len_ && !LoadNextFrame(now)) return;
    const std::size_t n = std::min(pacer_.Allowed(now), out_len_ - out_pos_);
    if (n == 0) return;
    long put = static_cast<long>(n);
    if (!peer_absent_) {
      put = pty_.Write(out_ + out_pos_, n);
      if (put < 0) {
        peer_absent_ = true;  // the bytes go nowhere, as on a line nobody listens to
        peer_check_ = now + kPeerRecheck;
        put = static_cast<long>(n);
      } else if (put == 0) {
        write_blocked_ = true;  // the program is not reading: wait for room
        return;
      }
    }
    pacer_.Spend(static_cast<std::size_t>(put));
    out_pos_ += static_cast<std::size_t>(put);
  }
}

double Simulator::NextWake(double now) const {
  double wake = now + 0.1;
  auto consider = [&](double t) {
    if (t >= 0) wake = std::min(wake, std::max(t, now));
  };
  if (out_pos_ < out_len_ && !write_blocked_) {
    consider(const_cast<Pacer&>(pacer_).When(now, out_len_ - out_pos_));
    return wake;
  }
  if (peer_absent_) consider(peer_check_);
  if (return_at_ >= 0) consider(return_at_);
  if (hung_) return wake;
  if (replies_.Size() > 0) consider(replies_.NextDue());
  if (garbage_until_ > now) consider(now + 0.005);
  if (streaming_) {
    consider(status_due_);
    consider(sample_due_);
  }
  if (silence_until_ > now) consider(silence_until_);
  return wake;
}

int Simulator::Run(const volatile std::sig_atomic_t* stop) {
  sigset_t blocked, unblocked;
  sigemptyset(&blocked);
  sigaddset(&blocked, SIGINT);
  sigaddset(&blocked, SIGTERM);
  // Signals arrive only inside ppoll, so a stop is never missed between checks.
  sigprocmask(SIG_BLOCK, &blocked, &unblocked);
  sigdelset(&unblocked, SIGINT);
  sigdelset(&unblocked, SIGTERM);
  while (!quit_ && *stop == 0) {
    double now = Now();
    if (hung_ && return_at_ >= 0 && now >= return_at_) Apply(Command{CommandKind::Return, 0, 0}, now);
    Receive(now);
    Pump(now);
    const double wake = NextWake(now);
    pollfd fds[2];
    nfds_t count = 0;
    if (stdin_open_) fds[count++] = {STDIN_FILENO, POLLIN, 0};
    const nfds_t line = count;
    if (pty_.IsOpen() && !hung_ && !peer_absent_)
      fds[count++] = {pty_.Fd(), static_cast<short>(POLLIN | (write_blocked_ ? POLLOUT : 0)), 0};
    const double wait = std::max(0.0, wake - now);
    timespec timeout{static_cast<time_t>(wait), static_cast<long>((wait - static_cast<long>(wait)) * 1e9)};
    const int ready = ::ppoll(fds, count, &timeout, &unblocked);
    if (ready <= 0) continue;
    now = Now();
    if (stdin_open_ && line > 0 && (fds[0].revents & (POLLIN | POLLHUP)) != 0) ReadStdin(now);
    if (count > line && (fds[line].revents & (POLLHUP | POLLERR)) != 0 && !(fds[line].revents & POLLIN)) {
      peer_absent_ = true;
      peer_check_ = now + kPeerRecheck;
    }
  }
  log_.Note(Now(), "end");
  pty_.Hangup();
  pty_.Unlink();
  return 0;
}

}  // namespace tarvin::sim
