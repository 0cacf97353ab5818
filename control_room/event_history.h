// The sensor's recent events a control room is shown on opening, as the small
// retained messages it is kept in: one slot an alarm (its begin, its end and
// its acknowledgement) and a few chunks of link changes and walk tests. A
// broker's websockets hand a page large messages slowly, so no message is
// allowed over 4 KB, and all of them together stay within 64 KiB.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "journal/journal_event.h"
#include "journal/sensor_fold.h"

namespace tarvin {

// An alarm is its `alarm_begin`'s time and seq: seq restarts with every run,
// the time does not repeat.
struct AlarmKey {
  std::string time;
  uint64_t seq = 0;
  bool operator==(const AlarmKey& o) const { return seq == o.seq && time == o.time; }
  bool operator<(const AlarmKey& o) const { return seq != o.seq ? seq < o.seq : time < o.time; }
};

// The alarm an event names by its `time` and `seq` fields (an alarm's begin)
// or `alarm_time` and `alarm` (an acknowledgement); false when it names none.
bool AlarmKeyOf(const JournalEvent& event, const char* time, const char* seq, AlarmKey* key);

// One retained message: its topic under the sensor's base, and what it is to
// hold; an empty payload clears it.
struct HistoryMessage {
  std::string topic;
  std::string payload;
};

class EventHistory {
 public:
  static constexpr std::size_t kSlots = 100;
  // Link changes, the recorder's starts and stops, and walk tests' begins
  // and ends, together, in as many chunks.
  static constexpr std::size_t kChunks = 4;
  static constexpr std::size_t kChunkEvents = 25;
  static constexpr std::size_t kMessageMax = 4096;
  static constexpr std::size_t kMaxBytes = 64 * 1024;

  EventHistory();

  // Takes one journal event, as journalled. An `ack` is kept only with its
  // alarm. True when a message has changed.
  bool Add(const nlohmann::ordered_json& event);

  // Every alarm slot ("history/alarm/00".."99"), then every chunk
  // ("history/link/0".."3"): {"events":[...]}, each event exactly as
  // journalled, oldest first; empty where nothing is kept.
  const std::vector<HistoryMessage>& Messages() const { return messages_; }
  // The alarms a room still has to answer, apart ("history/open/00".."99",
  // the slot's number): each slot's message again while its alarm is not
  // acknowledged or not over, empty otherwise. A page of a large control room
  // reads these on opening, and the whole night only when asked for it.
  const std::vector<HistoryMessage>& OpenMessages() const { return open_; }
  // All the payloads of Messages() together; never over kMaxBytes.
  std::size_t Bytes() const { return bytes_; }
  std::size_t Alarms() const { return alarms_.size(); }
  std::size_t Others() const { return others_.size(); }

  // One event as the journal writes its line.
  static std::string Text(const nlohmann::ordered_json& event);

 private:
  struct Alarm {
    AlarmKey key;
    std::size_t slot;
    nlohmann::ordered_json begin, end, ack;  // null: none (yet)
  };
  struct Other {
    nlohmann::ordered_json event;
    std::size_t bytes;
  };

  void AddAlarm(const AlarmKey& key, const nlohmann::ordered_json& event);
  void AddOther(const nlohmann::ordered_json& event);
  // Writes the alarm's slot; false when even its begin and ack do not fit.
  bool Fill(const Alarm& alarm);
  // Clears the alarm's slot.
  void Forget(std::deque<Alarm>::iterator alarm);
  void FillChunks();
  void Set(std::size_t index, std::string payload);
  void SetOpen(std::size_t slot, std::string payload);

  std::deque<Alarm> alarms_;  // oldest first
  std::deque<Other> others_;  // oldest first
  std::vector<HistoryMessage> messages_;
  std::vector<HistoryMessage> open_;  // by slot
  std::size_t bytes_ = 0;
  bool changed_ = false;                // by the event being added
  std::size_t last_slot_ = kSlots - 1;  // the next alarm takes slot 00
  SensorFold fold_;                     // which alarm an end closes
};

}  // namespace tarvin
