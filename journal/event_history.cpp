#include "journal/event_history.h"

#include <algorithm>
#include <iterator>

namespace tarvin {
namespace {

// {"events":[ and ]}
constexpr std::size_t kWrapper = 13;

bool IsLinkChange(const std::string& name) {
  return name == "link_up" || name == "link_lost" || name == "port_closed" || name == "port_reopened";
}

// The key an `alarm_begin` is known by, or an `ack` names.
bool KeyOf(const nlohmann::ordered_json& event, const char* time, const char* seq, AlarmKey* key) {
  const auto t = event.find(time);
  const auto s = event.find(seq);
  if (t == event.end() || s == event.end() || !t->is_string() || !s->is_number_unsigned()) return false;
  *key = {t->get<std::string>(), s->get<uint64_t>()};
  return true;
}

}  // namespace

std::string EventHistory::Text(const nlohmann::ordered_json& event) {
  return event.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

bool EventHistory::Add(const nlohmann::ordered_json& event) {
  const std::string name = event.value("event", "");
  AlarmKey key;
  if (name == "start" || name == "stop") {
    // A run that ended left no end to come for its alarm.
    alarm_open_ = false;
    return false;
  }
  if (name == "alarm_begin") {
    if (!KeyOf(event, "time", "seq", &key)) return false;
    Push(Kind::Alarm, key, event);
    alarm_open_ = true;
    open_alarm_ = key;
  } else if (name == "alarm_end") {
    if (!alarm_open_) return false;
    alarm_open_ = false;
    const bool kept = std::any_of(entries_.begin(), entries_.end(), [this](const Entry& e) {
      return e.kind == Kind::Alarm && e.alarm == open_alarm_;
    });
    if (!kept) return false;
    Push(Kind::AlarmEnd, open_alarm_, event);
  } else if (name == "ack") {
    if (!KeyOf(event, "alarm_time", "alarm", &key)) return false;
    const bool kept = std::any_of(entries_.begin(), entries_.end(),
                                  [&](const Entry& e) { return e.kind == Kind::Alarm && e.alarm == key; });
    if (!kept) return false;
    Push(Kind::Ack, key, event);
  } else if (IsLinkChange(name)) {
    Push(Kind::Link, {}, event);
  } else if (name == "walk_test_begin" || name == "walk_test_end") {
    Push(Kind::WalkTest, {}, event);
  } else {
    return false;
  }
  if (alarms_ > kAlarms) DropOldestAlarm();
  if (links_ > kOthers) DropOldest(Kind::Link);
  if (walk_tests_ > kOthers) DropOldest(Kind::WalkTest);
  while (Bytes() > kMaxBytes) {
    if (alarms_ > 0) {
      DropOldestAlarm();
    } else {
      Erase(entries_.begin());
    }
  }
  return true;
}

void EventHistory::Push(Kind kind, AlarmKey alarm, const nlohmann::ordered_json& event) {
  const std::size_t bytes = Text(event).size();
  entries_.push_back({kind, std::move(alarm), event, bytes});
  bytes_ += bytes;
  if (kind == Kind::Alarm) ++alarms_;
  if (kind == Kind::Link) ++links_;
  if (kind == Kind::WalkTest) ++walk_tests_;
}

std::deque<EventHistory::Entry>::iterator EventHistory::Erase(std::deque<Entry>::iterator at) {
  bytes_ -= at->bytes;
  if (at->kind == Kind::Alarm) --alarms_;
  if (at->kind == Kind::Link) --links_;
  if (at->kind == Kind::WalkTest) --walk_tests_;
  return entries_.erase(at);
}

void EventHistory::DropOldestAlarm() {
  const auto oldest =
      std::find_if(entries_.begin(), entries_.end(), [](const Entry& e) { return e.kind == Kind::Alarm; });
  if (oldest == entries_.end()) return;
  const AlarmKey key = oldest->alarm;
  if (alarm_open_ && open_alarm_ == key) alarm_open_ = false;
  for (auto it = entries_.begin(); it != entries_.end();) {
    const bool its = it->kind != Kind::Link && it->kind != Kind::WalkTest && it->alarm == key;
    it = its ? Erase(it) : std::next(it);
  }
}

void EventHistory::DropOldest(Kind kind) {
  const auto oldest =
      std::find_if(entries_.begin(), entries_.end(), [kind](const Entry& e) { return e.kind == kind; });
  if (oldest != entries_.end()) Erase(oldest);
}

std::size_t EventHistory::Bytes() const {
  return kWrapper + bytes_ + (entries_.empty() ? 0 : entries_.size() - 1);
}

std::string EventHistory::Body() const {
  nlohmann::ordered_json events = nlohmann::ordered_json::array();
  for (const Entry& e : entries_) events.push_back(e.event);
  return Text({{"events", std::move(events)}});
}

}  // namespace tarvin
