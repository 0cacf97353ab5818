// The sensor's recent events a control room is shown on opening: alarms with
// their ends and acknowledgements, link changes and walk tests, oldest first,
// bounded in count and in size so that one retained message holds it all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <nlohmann/json.hpp>
#include <string>

namespace tarvin {

// An alarm is its `alarm_begin`'s time and seq: seq restarts with every run,
// the time does not repeat.
struct AlarmKey {
  std::string time;
  uint64_t seq = 0;
  bool operator==(const AlarmKey& o) const { return seq == o.seq && time == o.time; }
  bool operator<(const AlarmKey& o) const { return seq != o.seq ? seq < o.seq : time < o.time; }
};

class EventHistory {
 public:
  static constexpr std::size_t kAlarms = 100;
  // Link changes, and walk tests' begins and ends, each kept as many.
  static constexpr std::size_t kOthers = 100;
  static constexpr std::size_t kMaxBytes = 64 * 1024;

  // Takes one journal event, as journalled. An `ack` is kept only with its
  // alarm. True when what Body() says has changed.
  bool Add(const nlohmann::ordered_json& event);

  // {"events":[...]}, each event exactly as journalled; never over kMaxBytes.
  std::string Body() const;
  std::size_t Bytes() const;
  std::size_t Size() const { return entries_.size(); }
  std::size_t Alarms() const { return alarms_; }

  // One event as the journal writes its line.
  static std::string Text(const nlohmann::ordered_json& event);

 private:
  enum class Kind { Alarm, AlarmEnd, Ack, Link, WalkTest };
  struct Entry {
    Kind kind;
    AlarmKey alarm;  // of an alarm's begin, end or acknowledgement
    nlohmann::ordered_json event;
    std::size_t bytes;
  };

  void Push(Kind kind, AlarmKey alarm, const nlohmann::ordered_json& event);
  // The oldest alarm with its end and acknowledgement.
  void DropOldestAlarm();
  void DropOldest(Kind kind);
  std::deque<Entry>::iterator Erase(std::deque<Entry>::iterator at);

  std::deque<Entry> entries_;
  std::size_t bytes_ = 0;  // the entries' texts, without the commas and the wrapper
  std::size_t alarms_ = 0, links_ = 0, walk_tests_ = 0;
  bool alarm_open_ = false;  // its end will follow
  AlarmKey open_alarm_;
};

}  // namespace tarvin
