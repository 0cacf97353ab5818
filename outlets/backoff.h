// When an outlet tries its peer again after a failure: at once the first time,
// then after a wait that doubles from 1 s up to 30 s, back to 1 s once the
// peer has answered. A refusal that will not mend itself in a second (a login,
// a certificate) waits the longest at once.
#pragma once

#include <algorithm>
#include <chrono>

namespace tarvin {

class Backoff {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr Clock::duration kFirst = std::chrono::seconds(1);
  static constexpr Clock::duration kLongest = std::chrono::seconds(30);

  // The peer answered: the next failure waits the shortest again.
  void Answered() { wait_ = kFirst; }
  // The peer refused for a reason that stays: the next wait is the longest.
  void Refused() { wait_ = kLongest; }
  // A failure at `now`: the next attempt is due after the current wait, and
  // the one after that waits twice as long.
  void Failed(Clock::time_point now) {
    next_ = now + wait_;
    wait_ = std::min<Clock::duration>(wait_ * 2, kLongest);
  }
  // An attempt may be made at `now`.
  bool Due(Clock::time_point now) const { return now >= next_; }
  Clock::time_point Next() const { return next_; }

 private:
  Clock::duration wait_ = kFirst;
  Clock::time_point next_{};
};

}  // namespace tarvin
