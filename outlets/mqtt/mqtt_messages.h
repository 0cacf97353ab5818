// What the recorder tells a broker about its sensor: the topics, the retained
// link state and alarm status kept up to date from the journal's events, the
// chart summaries, and the Home Assistant discovery messages.
#pragma once

#include <cstdint>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "engine/engine_sink.h"
#include "engine/scope_sample.h"
#include "journal/sensor_fold.h"

namespace tarvin {

// tarvin9/<site>/<sensor>/...
struct SensorTopics {
  SensorTopics(const std::string& site, const std::string& sensor);

  std::string base;  // "tarvin9/<site>/<sensor>"
  std::string State() const { return base + "/state"; }
  std::string Status() const { return base + "/status"; }
  std::string Event() const { return base + "/event"; }
  std::string Oscillogram() const { return base + "/oscillogram"; }
  std::string Samples() const { return base + "/samples"; }
  // The history's slots and chunks are under it (history/alarm/07); the
  // topic itself is only ever cleared.
  std::string History() const { return base + "/history"; }
  // Acknowledgements, one topic a login: ack/<login>.
  std::string Acks() const { return base + "/ack/+"; }
  std::string AckPrefix() const { return base + "/ack/"; }
};

// The retained state a dead recorder leaves behind (its last will), and the
// one it leaves when it stops.
inline constexpr const char* kOfflineState = R"({"link":"offline"})";

// The link state, the alarm status, the walk test and the centre's path as
// the events tell them.
class SensorState {
 public:
  enum Change : unsigned { kNone = 0, kState = 1, kStatus = 2 };

  // Follows one journal event; says which retained message it changed.
  unsigned Apply(const nlohmann::ordered_json& event);

  // {"link":"up"|"down","firmware":"2.0"|null,"since":time}
  nlohmann::ordered_json StateJson() const;
  // {"alarm_bits":N|null,"balance":text|null,"balance_value":value|null,"since":time,
  // "alarm":"on"|"off"|"unknown"}: the balance as the window's label words it
  // (what pages and Home Assistant have shown from the start) and as a value
  // (balanced, first_flank_low, second_flank_low) for programs;
  // "unknown", with alarm_bits null, until a status reply has been read since
  // the link came up (the first alarm event after `link_up` says it), and
  // whenever the link is not up. Then "walk_test":N|null,"detections":N|null:
  // the walk test that runs and its detections so far, null when none runs.
  // Last "centre":"up"|"down"|null: the path to the alarm receiving centre,
  // null when not known (none configured, or no answer either way yet).
  nlohmann::ordered_json StatusJson() const;

 private:
  SensorFold fold_;
  nlohmann::ordered_json link_since_;
  std::optional<Balance> balance_;
  std::string balance_words_;
  nlohmann::ordered_json status_since_;
};

// The minimum and maximum of every chart signal over the samples since the
// last summary, so that a spike shorter than the summaries' period still shows.
class SampleSummary {
 public:
  void Add(const ScopeSample& s) {
    if (count_ == 0) {
      low_ = high_ = s;
    } else {
      Widen(s);
    }
    ++count_;
  }
  uint64_t Count() const { return count_; }
  // {"time":..,"samples":N,"threshold":[min,max],"useful":[..],"ekNoise":[..],"ekClimate":[..],"input":[..]};
  // starts the next summary.
  nlohmann::ordered_json Take(const std::string& time);

 private:
  void Widen(const ScopeSample& s);

  uint64_t count_ = 0;
  ScopeSample low_, high_;
};

struct RetainedMessage {
  std::string topic;
  std::string payload;
};

// The Home Assistant discovery configurations (under `prefix`, normally
// "homeassistant") that make the alarm, the link and the balance appear there.
std::vector<RetainedMessage> DiscoveryMessages(const std::string& prefix, const std::string& site,
                                               const std::string& sensor, const SensorTopics& topics);

// An oscillogram for a broker without MQTT 5 (no properties to carry the
// name): {"name":NAME,"size":N,"base64":BYTES}.
std::string FileWrapper(const std::string& name, const std::string& bytes);
std::string Base64(const std::string& bytes);

// A journal object as the journal writes its line, without the line feed.
std::string EventText(const nlohmann::ordered_json& event);

}  // namespace tarvin
