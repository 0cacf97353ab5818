// The engine's three cadences, for programs that run it from one loop: the
// receive tick every 40 ms, the periodic request every second and the repeat
// guard's countdown every half second. The window keeps a Qt timer for each
// at the same periods.
#pragma once

#include <algorithm>
#include <chrono>

namespace tarvin {

class LinkSchedule {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::milliseconds kTick{40};
  static constexpr std::chrono::milliseconds kPoll{1000};
  static constexpr std::chrono::milliseconds kCountdown{500};

  struct Due {
    bool poll = false, countdown = false, tick = false;
  };

  // The tick and the poll are due at `now`, the first countdown half a period later.
  void Start(Clock::time_point now) {
    next_tick_ = next_poll_ = now;
    next_countdown_ = now + kCountdown;
  }

  // What is due at `now`, each then set to its next time. After a stall the
  // next time counts from now: no burst of catching up.
  Due Take(Clock::time_point now) {
    Due due;
    due.poll = Advance(next_poll_, kPoll, now);
    due.countdown = Advance(next_countdown_, kCountdown, now);
    due.tick = Advance(next_tick_, kTick, now);
    return due;
  }

  Clock::time_point Next() const { return std::min({next_tick_, next_poll_, next_countdown_}); }

 private:
  static bool Advance(Clock::time_point& next, Clock::duration period, Clock::time_point now) {
    if (now < next) return false;
    next += period;
    if (next <= now) next = now + period;
    return true;
  }

  Clock::time_point next_tick_{}, next_poll_{}, next_countdown_{};
};

}  // namespace tarvin
