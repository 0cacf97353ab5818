// One journal event as every reader takes it: its kind and its fields, each
// read one way whichever program reads it. A field that is absent or of
// another type reads as absent, never as a made-up value and never as an
// exception: journals are read back from disk, written by older programs or
// cut by a power loss.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "journal/journal_events.h"

namespace tarvin {

class JournalEvent {
 public:
  // Any JSON value; anything but an object has no fields and the kind Unknown.
  explicit JournalEvent(const nlohmann::ordered_json& object);
  // It reads the object in place: a temporary would be gone before it is read.
  explicit JournalEvent(nlohmann::ordered_json&&) = delete;

  Event Kind() const { return kind_; }
  // The `event` field as written: also a name this program does not know.
  std::string Name() const { return Text("event"); }
  bool IsObject() const { return json_.is_object(); }
  const nlohmann::ordered_json& Json() const { return json_; }

  // The field, or null when the event has none.
  const nlohmann::ordered_json& Field(const char* key) const;
  bool Has(const char* key) const { return !Field(key).is_null(); }
  // A text field; "" when absent or not text.
  std::string Text(const char* key) const;
  // As a person reads it: text as it is, any other value as its JSON
  // ("12", "true"), "" when absent or null.
  std::string Shown(const char* key) const;
  // Any number.
  std::optional<double> Figure(const char* key) const;
  // A whole number.
  std::optional<int64_t> Whole(const char* key) const;
  // A whole number that fits an int: a test's, a detection's, the passes'.
  std::optional<int> Int(const char* key) const;
  // A whole number not below zero: a count, a number given to a test.
  std::optional<uint64_t> Count(const char* key) const;
  // A field that holds an object (`counters`, `options`), read the same way;
  // an empty one when there is none.
  JournalEvent Part(const char* key) const { return JournalEvent(Field(key)); }

  // `time` in milliseconds since 1970, at `zone` seconds east of UTC when it
  // was written without an offset.
  std::optional<int64_t> Time(std::optional<int> zone = std::nullopt) const;

 private:
  const nlohmann::ordered_json& json_;
  Event kind_;
};

}  // namespace tarvin
