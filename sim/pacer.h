// The pace of the line: a token bucket filled at the character rate of
// 38400 baud 7O1 (ten bit times a character, 3840 characters a second) times
// the pace factor. The bucket holds 20 ms' worth, so a late wake-up on a busy
// machine loses no line time, and the simulator never runs ahead of the line by
// more than that; it writes in chunks of a few milliseconds' worth.
#pragma once

#include <algorithm>
#include <cstddef>

namespace tarvin::sim {

constexpr double kLineCharsPerSecond = 38400.0 / 10.0;

class Pacer {
 public:
  explicit Pacer(double pace = 1.0, double start = 0.0) { SetPace(pace, start); }

  void SetPace(double pace, double now) {
    rate_ = kLineCharsPerSecond * pace;
    burst_ = std::max(16.0, rate_ * 0.02);
    chunk_ = std::max(8.0, rate_ * 0.004);
    tokens_ = 0.0;
    last_ = now;
  }

  // Characters that may go out at `now`.
  std::size_t Allowed(double now) {
    if (now > last_) {
      tokens_ = std::min(burst_, tokens_ + (now - last_) * rate_);
      last_ = now;
    }
    return static_cast<std::size_t>(tokens_);
  }

  void Spend(std::size_t chars) { tokens_ -= static_cast<double>(chars); }

  // The time at which `chars` characters (at most a chunk) may go out.
  double When(double now, std::size_t chars) {
    Allowed(now);
    const double want = std::min(chunk_, static_cast<double>(chars));
    return tokens_ >= want ? now : now + (want - tokens_) / rate_;
  }

  double CharsPerSecond() const { return rate_; }
  std::size_t Burst() const { return static_cast<std::size_t>(burst_); }
  std::size_t Chunk() const { return static_cast<std::size_t>(chunk_); }

 private:
  double rate_ = kLineCharsPerSecond;
  double burst_ = 16.0;
  double chunk_ = 8.0;
  double tokens_ = 0.0;
  double last_ = 0.0;
};

}  // namespace tarvin::sim
