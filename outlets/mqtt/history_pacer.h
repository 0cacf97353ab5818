// Which of the history's retained messages go to the broker now: each one
// that differs from what was last sent on its topic, but none more often than
// once a second, so a busy night does not flood the pages with the same slot.
#pragma once

#include <chrono>
#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "control_room/event_history.h"

namespace tarvin {

class HistoryPacer {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr Clock::duration kEvery = std::chrono::seconds(1);

  // A new connection: the broker may hold none of it, so all of it goes again
  // (the empty ones too, clearing what an earlier run left).
  void Forget() { sent_.clear(); }
  // The messages of `wanted` to send at `now`; with `all`, those held back
  // by the pace too (the recorder stops).
  std::vector<const HistoryMessage*> Due(const std::vector<HistoryMessage>& wanted, Clock::time_point now,
                                         bool all = false);
  // The broker has `message`, sent at `now`.
  void Sent(const HistoryMessage& message, Clock::time_point now);
  // Some message differed at the last Due() but had to wait.
  bool Waiting() const { return waiting_; }

 private:
  struct Last {
    std::string payload;
    Clock::time_point at;
  };
  std::map<std::string, Last> sent_;
  bool waiting_ = false;
};

}  // namespace tarvin
