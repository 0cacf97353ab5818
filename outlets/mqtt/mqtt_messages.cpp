#include "outlets/mqtt/mqtt_messages.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "journal/journal.h"
#include "words/sensor_words.h"

namespace tarvin {
namespace {

// Home Assistant's object ids take ASCII letters, digits, '_' and '-' only.
// A site named in Cyrillic keeps its ASCII part, and a hash of the whole
// names keeps two such sites apart.
std::string Slug(const std::string& name) {
  std::string slug;
  for (const unsigned char c : name) {
    const bool kept = c < 0x80 && (std::isalnum(c) != 0 || c == '-');
    if (kept) {
      slug += static_cast<char>(c);
    } else if (!slug.empty() && slug.back() != '_') {
      slug += '_';
    }
  }
  while (!slug.empty() && slug.back() == '_') slug.pop_back();
  return slug;
}

std::string NodeId(const std::string& site, const std::string& sensor) {
  uint32_t hash = 2166136261u;  // FNV-1a
  for (const unsigned char c : site + '\0' + sensor) hash = (hash ^ c) * 16777619u;
  char hex[9];
  std::snprintf(hex, sizeof hex, "%08x", hash);
  return "tarvin9_" + Slug(site) + "_" + Slug(sensor) + "_" + hex;
}

// A float as its shortest text would show it, not with the digits of its
// exact double value: 28.02463 rather than 28.024631500244141.
double Shown(float value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.7g", static_cast<double>(value));
  return std::strtod(text, nullptr);
}

// Null when not known: no centre configured, or no answer either way yet in this run.
nlohmann::ordered_json CentreName(SensorFold::Centre centre) {
  switch (centre) {
    case SensorFold::Centre::Up:
      return "up";
    case SensorFold::Centre::Down:
      return "down";
    default:
      return nullptr;
  }
}

}  // namespace

SensorTopics::SensorTopics(const std::string& site, const std::string& sensor)
    : base("tarvin9/" + site + "/" + sensor) {}

unsigned SensorState::Apply(const nlohmann::ordered_json& event) {
  const JournalEvent e(event);
  const bool was_up = fold_.LinkUp();
  const unsigned changed = fold_.Apply(e);
  const nlohmann::ordered_json& time = e.Field("time");
  if ((changed & SensorFold::kRunBegan) != 0) {
    link_since_ = status_since_ = time;
    return kState | kStatus;
  }
  if ((changed & SensorFold::kRunEnded) != 0) {
    // The state topic turns offline as the recorder leaves (its will), and
    // the alarm becomes unknown from then.
    if (was_up) status_since_ = time;
    return was_up || (changed & SensorFold::kWalkTest) != 0 ? kStatus : kNone;
  }
  if ((changed & SensorFold::kLink) != 0) {
    link_since_ = status_since_ = time;
    return kState | kStatus;
  }
  // A walk test and the centre's path leave `since` alone: it stays the time
  // of the alarm's, the balance's or the link's last change, so that a page can match a status to
  // the `alarm_begin` it follows and tell a detection from an alarm.
  if ((changed & (SensorFold::kAlarm | SensorFold::kBalance)) != 0) status_since_ = time;
  if ((changed & SensorFold::kBalance) != 0) {
    // Journals written before the value held the sentence alone.
    balance_ = words::BalanceOfEvent(fold_.BalanceValue(), fold_.BalanceText());
    balance_words_ = words::BalanceEventWords(fold_.BalanceValue(), fold_.BalanceText());
  }
  return changed == SensorFold::kNothing ? kNone : kStatus;
}

nlohmann::ordered_json SensorState::StateJson() const {
  return {{"link", fold_.LinkUp() ? "up" : "down"}, {"firmware", fold_.Firmware()}, {"since", link_since_}};
}

nlohmann::ordered_json SensorState::StatusJson() const {
  const bool known = fold_.AlarmKnown();
  const char* alarm = !known ? "unknown" : fold_.AlarmBits() != 0 ? "on" : "off";
  const nlohmann::ordered_json detections =
      fold_.WalkTest().is_null() ? nlohmann::ordered_json() : nlohmann::ordered_json(fold_.Detections());
  return {
      {"alarm_bits", known ? nlohmann::ordered_json(fold_.AlarmBits()) : nlohmann::ordered_json()},
      {"balance", balance_words_.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(balance_words_)},
      {"balance_value",
       balance_ ? nlohmann::ordered_json(std::string(BalanceName(*balance_))) : nlohmann::ordered_json()},
      {"since", status_since_},
      {"alarm", alarm},
      {"walk_test", fold_.WalkTest()},
      {"detections", detections},
      {"centre", CentreName(fold_.CentrePath())}};
}

void SampleSummary::Widen(const ScopeSample& s) {
  low_.threshold = std::min(low_.threshold, s.threshold);
  high_.threshold = std::max(high_.threshold, s.threshold);
  low_.useful = std::min(low_.useful, s.useful);
  high_.useful = std::max(high_.useful, s.useful);
  low_.ekNoise = std::min(low_.ekNoise, s.ekNoise);
  high_.ekNoise = std::max(high_.ekNoise, s.ekNoise);
  low_.ekClimate = std::min(low_.ekClimate, s.ekClimate);
  high_.ekClimate = std::max(high_.ekClimate, s.ekClimate);
  low_.input = std::min(low_.input, s.input);
  high_.input = std::max(high_.input, s.input);
}

nlohmann::ordered_json SampleSummary::Take(const std::string& time) {
  nlohmann::ordered_json summary = {{"time", time},
                                    {"samples", count_},
                                    {"threshold", {Shown(low_.threshold), Shown(high_.threshold)}},
                                    {"useful", {low_.useful, high_.useful}},
                                    {"ekNoise", {low_.ekNoise, high_.ekNoise}},
                                    {"ekClimate", {low_.ekClimate, high_.ekClimate}},
                                    {"input", {low_.input, high_.input}}};
  count_ = 0;
  return summary;
}

std::vector<RetainedMessage> DiscoveryMessages(const std::string& prefix, const std::string& site,
                                               const std::string& sensor, const SensorTopics& topics) {
  const std::string node = NodeId(site, sensor);
  const nlohmann::ordered_json device = {
      {"identifiers", {node}}, {"name", "Тарвин-9 " + site + " " + sensor}, {"model", "Тарвин-9"}};
  // The recorder's last will marks the sensor unavailable. What the sensor
  // reports (alarm, balance) is unavailable too while its link is not up, and
  // after the link came up until its status has been read: a cut line, or
  // one just back, must never read as a quiet zone. The status alone cannot
  // say it for a recorder killed outright: both topics must agree.
  const std::string recorder_online = "{{ 'offline' if value_json.link == 'offline' else 'online' }}";
  const std::string link_up = "{{ 'online' if value_json.link == 'up' else 'offline' }}";
  const std::string status_read = "{{ 'offline' if value_json.alarm == 'unknown' else 'online' }}";
  // "None" is Home Assistant's word for a state not known.
  const std::string alarm_state =
      "{{ 'None' if value_json.alarm_bits is none else 'ON' if value_json.alarm_bits else 'OFF' }}";
  auto config = [&](const std::string& component, const std::string& what, nlohmann::ordered_json fields) {
    nlohmann::ordered_json c = {
        {"name", fields["name"]}, {"unique_id", node + "_" + what}, {"object_id", node + "_" + what}};
    for (auto& item : fields.items())
      if (item.key() != "name") c[item.key()] = item.value();
    if (what == "link") {
      c["availability_topic"] = topics.State();
      c["availability_template"] = recorder_online;
    } else {
      c["availability"] = {{{"topic", topics.State()}, {"value_template", link_up}},
                           {{"topic", topics.Status()}, {"value_template", status_read}}};
      c["availability_mode"] = "all";
    }
    c["device"] = device;
    return RetainedMessage{prefix + "/" + component + "/" + node + "/" + what + "/config", EventText(c)};
  };
  return {
      config("binary_sensor", "alarm",
             {{"name", "Alarm"},
              {"device_class", "safety"},
              {"state_topic", topics.Status()},
              {"value_template", alarm_state}}),
      config("binary_sensor", "link",
             {{"name", "Link"},
              {"device_class", "connectivity"},
              {"state_topic", topics.State()},
              {"value_template", "{{ 'ON' if value_json.link == 'up' else 'OFF' }}"}}),
      config("sensor", "balance",
             {{"name", "Balance"},
              {"icon", "mdi:scale-balance"},
              {"state_topic", topics.Status()},
              {"value_template", "{{ value_json.balance }}"}}),
  };
}

std::string EventText(const nlohmann::ordered_json& event) {
  return event.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace tarvin

namespace tarvin {

std::string Base64(const std::string& bytes) {
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
    uint32_t group = 0;
    for (std::size_t k = 0; k < 3; ++k)
      group = (group << 8) | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0u);
    for (std::size_t k = 0; k < 4; ++k) out += k <= n ? kAlphabet[(group >> (18 - 6 * k)) & 0x3F] : '=';
  }
  return out;
}

std::string FileWrapper(const std::string& name, const std::string& bytes) {
  return EventText({{"name", name}, {"size", bytes.size()}, {"base64", Base64(bytes)}});
}

}  // namespace tarvin
