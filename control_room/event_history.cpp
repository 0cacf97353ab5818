#include "control_room/event_history.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <utility>

#include "journal/journal.h"
namespace tarvin {
namespace {

// {"events":[ and ]}
constexpr std::size_t kWrapper = 13;

bool IsLinkChange(Event kind) {
  return kind == Event::LinkUp || kind == Event::LinkLost || kind == Event::PortClosed ||
         kind == Event::PortReopened;
}

// The key an `alarm_begin` is known by, or an `ack` names.

std::string PieceText(nlohmann::ordered_json events) {
  return EventHistory::Text({{"events", std::move(events)}});
}

}  // namespace

EventHistory::EventHistory() {
  char name[32];
  for (std::size_t i = 0; i < kSlots; ++i) {
    std::snprintf(name, sizeof name, "history/alarm/%02zu", i);
    messages_.push_back({name, ""});
    std::snprintf(name, sizeof name, "history/open/%02zu", i);
    open_.push_back({name, ""});
  }
  for (std::size_t i = 0; i < kChunks; ++i) messages_.push_back({"history/link/" + std::to_string(i), ""});
}

std::string EventHistory::Text(const nlohmann::ordered_json& event) {
  return event.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

bool AlarmKeyOf(const JournalEvent& event, const char* time, const char* seq, AlarmKey* key) {
  const nlohmann::ordered_json& t = event.Field(time);
  const nlohmann::ordered_json& s = event.Field(seq);
  if (!t.is_string() || !s.is_number_unsigned()) return false;
  *key = {t.get<std::string>(), s.get<uint64_t>()};
  return true;
}

bool EventHistory::Add(const nlohmann::ordered_json& event) {
  const JournalEvent e(event);
  const Event kind = e.Kind();
  // The alarm an end would close, as it stood before this event. A run that
  // ended left no end to come for its alarm.
  const std::optional<SensorFold::OpenAlarm> open =
      fold_.AlarmOpen() ? fold_.OpenAlarmName() : std::optional<SensorFold::OpenAlarm>();
  fold_.Apply(e);
  changed_ = false;
  AlarmKey key;
  if (kind == Event::Start || kind == Event::Stop) {
    // The runs' bounds stay among the link changes: two `link_up` in a row
    // would read as one link that never went, where the recorder stopped (or
    // died) between.
    AddOther(event);
  } else if (kind == Event::AlarmBegin) {
    if (!AlarmKeyOf(e, "time", "seq", &key)) return false;
    AddAlarm(key, event);
  } else if (kind == Event::AlarmEnd || kind == Event::Ack) {
    if (kind == Event::AlarmEnd) {
      if (!open) return false;
      key = {open->time, open->seq};
    } else if (!AlarmKeyOf(e, "alarm_time", "alarm", &key)) {
      return false;
    }
    const auto alarm =
        std::find_if(alarms_.begin(), alarms_.end(), [&](const Alarm& a) { return a.key == key; });
    if (alarm == alarms_.end()) return false;
    nlohmann::ordered_json& field = kind == Event::AlarmEnd ? alarm->end : alarm->ack;
    if (!field.is_null()) return false;  // the first ack stands
    field = event;
    if (!Fill(*alarm)) Forget(alarm);
  } else if (IsLinkChange(kind) || kind == Event::WalkTestBegin || kind == Event::WalkTestEnd) {
    AddOther(event);
  } else {
    return false;
  }
  while (bytes_ > kMaxBytes && !alarms_.empty()) Forget(alarms_.begin());
  return changed_;
}

void EventHistory::AddAlarm(const AlarmKey& key, const nlohmann::ordered_json& event) {
  // Round robin: with every slot taken, the next one is the oldest alarm's.
  last_slot_ = (last_slot_ + 1) % kSlots;
  const auto taken =
      std::find_if(alarms_.begin(), alarms_.end(), [this](const Alarm& a) { return a.slot == last_slot_; });
  if (taken != alarms_.end()) Forget(taken);
  alarms_.push_back({key, last_slot_, event, nullptr, nullptr});
  if (!Fill(alarms_.back())) Forget(std::prev(alarms_.end()));
}

bool EventHistory::Fill(const Alarm& alarm) {
  nlohmann::ordered_json events = nlohmann::ordered_json::array({alarm.begin});
  if (!alarm.end.is_null()) events.push_back(alarm.end);
  if (!alarm.ack.is_null()) events.push_back(alarm.ack);
  std::string body = PieceText(events);
  if (body.size() > kMessageMax && !alarm.end.is_null()) {
    // Whether it was acknowledged matters more than when it ended.
    events.erase(1);
    body = PieceText(events);
  }
  // Shown without its ack, an acknowledged alarm would call for one again.
  if (body.size() > kMessageMax) return false;
  // An acknowledged alarm that still lasts stays open too: a page opened then
  // must read its beginning (a walk test's detection says so there) before
  // the status that says an alarm is on.
  const bool open = alarm.ack.is_null() || alarm.end.is_null();
  SetOpen(alarm.slot, open ? body : std::string());
  Set(alarm.slot, std::move(body));
  return true;
}

void EventHistory::Forget(std::deque<Alarm>::iterator alarm) {
  Set(alarm->slot, "");
  SetOpen(alarm->slot, "");
  alarms_.erase(alarm);
}

void EventHistory::AddOther(const nlohmann::ordered_json& event) {
  const std::size_t bytes = Text(event).size();
  if (kWrapper + bytes > kMessageMax) return;
  others_.push_back({event, bytes});
  while (others_.size() > kChunks * kChunkEvents) others_.pop_front();
  FillChunks();
}

void EventHistory::FillChunks() {
  // Oldest first, as many to a chunk as fit; what would need a fifth chunk
  // makes room by dropping the oldest.
  std::vector<std::size_t> firsts;
  for (;;) {
    firsts.clear();
    std::size_t size = 0, count = 0;
    for (std::size_t i = 0; i < others_.size(); ++i) {
      const std::size_t grown = count == 0 ? kWrapper + others_[i].bytes : size + 1 + others_[i].bytes;
      if (count == 0 || count == kChunkEvents || grown > kMessageMax) {
        firsts.push_back(i);
        size = kWrapper + others_[i].bytes;
        count = 1;
      } else {
        size = grown;
        ++count;
      }
    }
    if (firsts.size() <= kChunks) break;
    others_.pop_front();
  }
  firsts.push_back(others_.size());
  for (std::size_t c = 0; c < kChunks; ++c) {
    if (c + 1 >= firsts.size()) {
      Set(kSlots + c, "");
      continue;
    }
    nlohmann::ordered_json events = nlohmann::ordered_json::array();
    for (std::size_t i = firsts[c]; i < firsts[c + 1]; ++i) events.push_back(others_[i].event);
    Set(kSlots + c, PieceText(std::move(events)));
  }
}

void EventHistory::Set(std::size_t index, std::string payload) {
  if (messages_[index].payload == payload) return;
  changed_ = true;
  bytes_ = bytes_ - messages_[index].payload.size() + payload.size();
  messages_[index].payload = std::move(payload);
}

void EventHistory::SetOpen(std::size_t slot, std::string payload) {
  if (open_[slot].payload == payload) return;
  changed_ = true;
  open_[slot].payload = std::move(payload);
}

}  // namespace tarvin
