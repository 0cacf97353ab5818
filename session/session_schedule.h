// When each of the session's three cadences falls due: the receive tick every
// 40 ms while the engine is ticking, the periodic request every second and the
// repeat guard's countdown every half second. The session runs what is due in
// one order (poll, countdown, tick), so a request queued at the moment of a
// tick goes out with that tick, whichever program drives the session.
#pragma once

#include <algorithm>
#include <chrono>

namespace tarvin {

class SessionSchedule {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::milliseconds kTick{40};
  static constexpr std::chrono::milliseconds kPoll{1000};
  static constexpr std::chrono::milliseconds kCountdown{500};

  enum class Cadence { Tick, Poll, Countdown };
  // How the poll and the tick start: at once (a loop that begins with a
  // request), or one period after the start, as timers started then fire.
  enum class FirstRun { AtOnce, AfterOnePeriod };

  struct Due {
    bool poll = false, countdown = false, tick = false;
    // One cadence alone, out of the schedule's turn.
    static constexpr Due Only(Cadence cadence) {
      Due due;
      due.poll = cadence == Cadence::Poll;
      due.countdown = cadence == Cadence::Countdown;
      due.tick = cadence == Cadence::Tick;
      return due;
    }
  };

  // The poll and the countdown begin; the first countdown is always half a
  // period away. With AtOnce a running tick is due at `now` too.
  void Start(Clock::time_point now, FirstRun first) {
    polling_ = counting_down_ = true;
    next_poll_ = first == FirstRun::AtOnce ? now : now + kPoll;
    next_countdown_ = now + kCountdown;
    if (first == FirstRun::AtOnce) next_tick_ = now;
  }

  // The tick runs while the engine ticks; switched on, its first is one
  // period later. Switching on what already runs keeps its phase.
  void SetTicking(bool on, Clock::time_point now) {
    if (on && !ticking_) next_tick_ = now + kTick;
    ticking_ = on;
  }

  // A cadence left out from now on (a benchmark that wants no requests).
  void Halt(Cadence cadence) {
    switch (cadence) {
      case Cadence::Tick:
        ticking_ = false;
        break;
      case Cadence::Poll:
        polling_ = false;
        break;
      case Cadence::Countdown:
        counting_down_ = false;
        break;
    }
  }

  bool Running(Cadence cadence) const {
    switch (cadence) {
      case Cadence::Tick:
        return ticking_;
      case Cadence::Poll:
        return polling_;
      case Cadence::Countdown:
        return counting_down_;
    }
    return false;
  }

  // What is due at `now`, each then set to its next time. After a stall the
  // next time counts from now: no burst of catching up.
  Due Take(Clock::time_point now) {
    Due due;
    due.poll = polling_ && Advance(next_poll_, kPoll, now);
    due.countdown = counting_down_ && Advance(next_countdown_, kCountdown, now);
    due.tick = ticking_ && Advance(next_tick_, kTick, now);
    return due;
  }

  // The earliest time anything is due; Clock::time_point::max() when nothing runs.
  Clock::time_point Next() const {
    Clock::time_point next = Clock::time_point::max();
    if (polling_) next = std::min(next, next_poll_);
    if (counting_down_) next = std::min(next, next_countdown_);
    if (ticking_) next = std::min(next, next_tick_);
    return next;
  }

 private:
  static bool Advance(Clock::time_point& next, Clock::duration period, Clock::time_point now) {
    if (now < next) return false;
    next += period;
    if (next <= now) next = now + period;
    return true;
  }

  bool ticking_ = false, polling_ = false, counting_down_ = false;
  Clock::time_point next_tick_{}, next_poll_{}, next_countdown_{};
};

}  // namespace tarvin
