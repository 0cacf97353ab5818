#include "journal/journal_event.h"

#include <climits>

#include "journal/journal_time.h"

namespace tarvin {
namespace {

const nlohmann::ordered_json kAbsent;

}  // namespace

JournalEvent::JournalEvent(const nlohmann::ordered_json& object) : json_(object), kind_(Event::Unknown) {
  const nlohmann::ordered_json& name = Field("event");
  if (name.is_string()) kind_ = EventNamed(name.get_ref<const std::string&>());
}

const nlohmann::ordered_json& JournalEvent::Field(const char* key) const {
  if (!json_.is_object()) return kAbsent;
  const auto it = json_.find(key);
  return it == json_.end() ? kAbsent : *it;
}

std::string JournalEvent::Text(const char* key) const {
  const nlohmann::ordered_json& field = Field(key);
  return field.is_string() ? field.get<std::string>() : std::string();
}

std::string JournalEvent::Shown(const char* key) const {
  const nlohmann::ordered_json& field = Field(key);
  if (field.is_null()) return std::string();
  return field.is_string() ? field.get<std::string>() : field.dump();
}

std::optional<double> JournalEvent::Figure(const char* key) const {
  const nlohmann::ordered_json& field = Field(key);
  return field.is_number() ? std::optional<double>(field.get<double>()) : std::nullopt;
}

std::optional<int64_t> JournalEvent::Whole(const char* key) const {
  const nlohmann::ordered_json& field = Field(key);
  if (field.is_number_unsigned()) {
    const auto value = field.get<uint64_t>();
    if (value > static_cast<uint64_t>(INT64_MAX)) return std::nullopt;
    return static_cast<int64_t>(value);
  }
  return field.is_number_integer() ? std::optional<int64_t>(field.get<int64_t>()) : std::nullopt;
}

std::optional<int> JournalEvent::Int(const char* key) const {
  const std::optional<int64_t> value = Whole(key);
  if (!value || *value < INT_MIN || *value > INT_MAX) return std::nullopt;
  return static_cast<int>(*value);
}

std::optional<uint64_t> JournalEvent::Count(const char* key) const {
  const std::optional<int64_t> value = Whole(key);
  return value && *value >= 0 ? std::optional<uint64_t>(static_cast<uint64_t>(*value)) : std::nullopt;
}

std::optional<int64_t> JournalEvent::Time(std::optional<int> zone) const {
  const std::string time = Text("time");
  if (time.empty()) return std::nullopt;
  return ParseJournalTime(time, zone);
}

}  // namespace tarvin
