#include "control_room/ack_book.h"

#include <algorithm>
#include <cmath>

#include "journal/journal.h"
#include "journal/journal_reader.h"
#include "journal/journal_time.h"

namespace tarvin {
namespace {

constexpr std::size_t kIdMin = 8, kIdMax = 64;
// Longer than any time the journal writes: no more is copied into a refusal.
constexpr std::size_t kTimeMax = 40;

bool GoodId(const std::string& id) {
  if (id.size() < kIdMin || id.size() > kIdMax) return false;
  return std::all_of(id.begin(), id.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
  });
}

// Characters, not bytes: the parser has made sure it is UTF-8.
std::size_t CodePoints(const std::string& text) {
  return static_cast<std::size_t>(std::count_if(
      text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

bool Blank(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
  });
}

// What the body says, each field only when it has the contract's type.
struct Body {
  bool object = false;
  nlohmann::ordered_json alarm, alarm_time, id, comment, time;
  bool Whole() const {
    return object && !alarm.is_null() && !alarm_time.is_null() && !id.is_null() && !comment.is_discarded() &&
           !time.is_discarded();
  }
};

Body Read(const std::string& text) {
  Body b;
  b.comment = b.time = nlohmann::ordered_json(nlohmann::ordered_json::value_t::discarded);
  if (text.size() > AckBook::kBodyMax) return b;
  const nlohmann::ordered_json j = nlohmann::ordered_json::parse(text, nullptr, false);
  if (!j.is_object()) return b;
  b.object = true;
  const auto alarm = j.find("alarm");
  if (alarm != j.end() && alarm->is_number_unsigned() && alarm->get<uint64_t>() > 0) b.alarm = *alarm;
  const auto time = j.find("alarm_time");
  if (time != j.end() && time->is_string() && time->get<std::string>().size() <= kTimeMax &&
      ParseJournalTime(time->get<std::string>()) && JournalTimeZone(time->get<std::string>()))
    b.alarm_time = *time;
  const auto id = j.find("id");
  if (id != j.end() && id->is_string() && GoodId(id->get<std::string>())) b.id = *id;
  // No comment is an empty one; anything but text is not a comment.
  const auto comment = j.find("comment");
  if (comment == j.end() || comment->is_null())
    b.comment = "";
  else if (comment->is_string())
    b.comment = *comment;
  const auto pressed = j.find("time");
  if (pressed == j.end() || pressed->is_null())
    b.time = nullptr;
  else if (pressed->is_string() && pressed->get<std::string>().size() <= kTimeMax)
    b.time = *pressed;
  return b;
}

AckDecision Refusal(const std::string& login, const Body& b, const char* reason) {
  AckDecision d{AckDecision::Kind::Refuse, Event::AckRefused, {}};
  d.fields = {{"operator", login},
              {"alarm", b.alarm},
              {"alarm_time", b.alarm_time},
              {"id", b.id},
              {"reason", reason}};
  return d;
}

}  // namespace

bool AckBook::Follow(const nlohmann::ordered_json& event) {
  const JournalEvent e(event);
  AlarmKey key;
  if (e.Kind() == Event::AlarmBegin) {
    if (AlarmKeyOf(e, "time", "seq", &key)) Remember(key, e.Has("walk_test"));
  } else if (e.Kind() == Event::Ack && AlarmKeyOf(e, "alarm_time", "alarm", &key)) {
    const auto alarm = alarms_.find(key);
    if (alarm != alarms_.end() && alarm->second.operator_.empty()) {
      alarm->second.operator_ = e.Text("operator");
      alarm->second.ack_id = e.Text("id");
      accepted_ids_[alarm->second.ack_id] = key;
    }
  }
  return history_.Add(event);
}

void AckBook::Remember(const AlarmKey& key, bool walk_test) {
  if (!alarms_.emplace(key, Alarm{walk_test, "", ""}).second) return;
  order_.push_back(key);
  if (order_.size() <= kRemembered) return;
  const auto oldest = alarms_.find(order_.front());
  if (oldest != alarms_.end()) {
    accepted_ids_.erase(oldest->second.ack_id);
    alarms_.erase(oldest);
  }
  order_.pop_front();
}

void AckBook::ReadBack(const std::string& path, uint64_t end) {
  for (const nlohmann::ordered_json& event : ReadJournalEvents(path, end, kReadBack)) Follow(event);
}

AckDecision AckBook::Decide(const std::string& login, const std::string& text,
                            std::chrono::system_clock::time_point receipt) const {
  const Body b = Read(text);
  if (!b.Whole() || login.empty()) return Refusal(login, b, "malformed");
  // A redelivery, or a press sent twice: applied once already.
  if (accepted_ids_.count(b.id.get<std::string>()) != 0) return {};
  const AlarmKey key{b.alarm_time.get<std::string>(), b.alarm.get<uint64_t>()};
  const auto alarm = alarms_.find(key);
  if (alarm == alarms_.end()) return Refusal(login, b, "unknown_alarm");
  if (!alarm->second.operator_.empty()) {
    AckDecision d = Refusal(login, b, "already_acknowledged");
    d.fields["by"] = alarm->second.operator_;
    return d;
  }
  const std::string comment = b.comment.get<std::string>();
  if (CodePoints(comment) > kCommentMax) return Refusal(login, b, "comment_too_long");
  if (!alarm->second.walk_test && Blank(comment)) return Refusal(login, b, "comment_required");

  const int64_t begun = *ParseJournalTime(key.time);
  const int64_t now =
      std::chrono::duration_cast<std::chrono::milliseconds>(receipt.time_since_epoch()).count();
  AckDecision d{AckDecision::Kind::Accept, Event::Ack, {}};
  d.fields = {
      {"alarm", b.alarm},  {"alarm_time", b.alarm_time},
      {"operator", login}, {"comment", comment},
      {"pressed", b.time}, {"seconds_to_ack", std::round(static_cast<double>(now - begun) / 100.0) / 10.0},
      {"id", b.id}};
  return d;
}

}  // namespace tarvin
