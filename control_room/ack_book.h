// Acknowledgements of alarms from the control room: which alarms this
// recorder knows (this run's and those read back from its journal), which
// are acknowledged and by whom, and what an incoming acknowledgement gets:
// accepted, refused with its reason, or ignored as a replay of an accepted
// one. It learns only from the journal's events, so what it holds after a
// restart is what the journal says.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <unordered_map>

#include "control_room/event_history.h"
#include "journal/journal_events.h"

namespace tarvin {

struct AckDecision {
  enum class Kind { Ignore, Accept, Refuse };
  Kind kind = Kind::Ignore;
  // The journal event to write (Ack or AckRefused) and its fields.
  Event event = Event::AckRefused;
  nlohmann::ordered_json fields = nlohmann::ordered_json::object();
};

class AckBook {
 public:
  // Comments longer than this, in characters (code points), are refused.
  static constexpr std::size_t kCommentMax = 500;
  // A body longer than this is not read at all.
  static constexpr std::size_t kBodyMax = 16 * 1024;
  // Alarms answered to; the oldest are forgotten past it.
  static constexpr std::size_t kRemembered = 1000;
  // How much of the journal's end is read back at start.
  static constexpr uint64_t kReadBack = 4 * 1024 * 1024;

  // Every event as journalled, oldest first. True when the history changed.
  bool Follow(const nlohmann::ordered_json& event);
  // Follows the events the journal at `path` holds before byte `end` (where
  // this run's lines begin), from its last kReadBack bytes.
  void ReadBack(const std::string& path, uint64_t end);

  // What to do with `body` published by `login` (the topic's last level,
  // vouched for by the broker), received at `receipt`. Nothing changes until
  // the accepted `ack` comes back through Follow().
  AckDecision Decide(const std::string& login, const std::string& body,
                     std::chrono::system_clock::time_point receipt) const;

  const EventHistory& History() const { return history_; }

 private:
  struct Alarm {
    bool walk_test = false;
    std::string operator_;  // who acknowledged it; empty: nobody yet
    std::string ack_id;
  };

  void Remember(const AlarmKey& key, bool walk_test);

  std::map<AlarmKey, Alarm> alarms_;
  std::deque<AlarmKey> order_;  // oldest first, for forgetting
  std::unordered_map<std::string, AlarmKey> accepted_ids_;
  EventHistory history_;
};

}  // namespace tarvin
