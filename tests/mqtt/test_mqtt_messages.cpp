// The retained state and status as the journal's events change them, the
// chart summaries, and the discovery messages.
#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

#include "outlets/mqtt/mqtt_messages.h"

namespace tarvin {
namespace {

nlohmann::ordered_json Ev(const std::string& name, const std::string& time,
                          nlohmann::ordered_json fields = {}) {
  nlohmann::ordered_json e = {{"time", time}, {"seq", 1}, {"event", name}};
  if (fields.is_object())
    for (auto& item : fields.items()) e[item.key()] = item.value();
  return e;
}

TEST(SensorState, LinkAndAlarmFollowTheEvents) {
  SensorState s;
  struct Step {
    nlohmann::ordered_json event;
    unsigned change;
    const char* state;                 // expected StateJson() text
    const char* status;                // expected StatusJson() text but for the walk test
    const char* walk = "[null,null]";  // expected walk_test and detections
    const char* centre = "null";       // expected centre
  };
  const Step steps[] = {
      {Ev("start", "t0"), SensorState::kState | SensorState::kStatus,
       R"({"link":"down","firmware":null,"since":"t0"})",
       R"({"alarm_bits":null,"balance":null,"balance_value":null,"since":"t0","alarm":"unknown"})"},
      // Up, but no status read yet: the alarm is not known, never "off".
      {Ev("link_up", "t1", {{"firmware", "2.0"}}), SensorState::kState | SensorState::kStatus,
       R"({"link":"up","firmware":"2.0","since":"t1"})",
       R"({"alarm_bits":null,"balance":null,"balance_value":null,"since":"t1","alarm":"unknown"})"},
      {Ev("balance", "t2", {{"text", "Фланги СЗ сбалансированы"}}), SensorState::kStatus,
       R"({"link":"up","firmware":"2.0","since":"t1"})",
       R"({"alarm_bits":null,"balance":"Фланги СЗ сбалансированы","balance_value":"balanced","since":"t2","alarm":"unknown"})"},
      {Ev("alarm_begin", "t3", {{"alarm_bits", 6}}), SensorState::kStatus,
       R"({"link":"up","firmware":"2.0","since":"t1"})",
       R"({"alarm_bits":6,"balance":"Фланги СЗ сбалансированы","balance_value":"balanced","since":"t3","alarm":"on"})"},
      {Ev("saved", "t4", {{"path", "x.bin"}}), SensorState::kNone,
       R"({"link":"up","firmware":"2.0","since":"t1"})",
       R"({"alarm_bits":6,"balance":"Фланги СЗ сбалансированы","balance_value":"balanced","since":"t3","alarm":"on"})"},
      // A minute's summary goes out as an event only: the retained topics stay.
      {Ev("summary", "t4", {{"samples", 4668}, {"margin", {{"min", -5.0}, {"over_threshold", 12}}}}),
       SensorState::kNone, R"({"link":"up","firmware":"2.0","since":"t1"})",
       R"({"alarm_bits":6,"balance":"Фланги СЗ сбалансированы","balance_value":"balanced","since":"t3","alarm":"on"})"},
      {Ev("alarm_end", "t5", {{"alarm_bits", 6}}), SensorState::kStatus,
       R"({"link":"up","firmware":"2.0","since":"t1"})",
       R"({"alarm_bits":0,"balance":"Фланги СЗ сбалансированы","balance_value":"balanced","since":"t5","alarm":"off"})"},
      // A lost link is never a quiet zone: the alarm is unknown, not "off".
      {Ev("link_lost", "t6"), SensorState::kState | SensorState::kStatus,
       R"({"link":"down","firmware":null,"since":"t6"})",
       R"({"alarm_bits":null,"balance":"Фланги СЗ сбалансированы","balance_value":"balanced","since":"t6","alarm":"unknown"})"},
      // Down already: the port closing after the loss keeps the loss's time.
      {Ev("port_closed", "t7"), SensorState::kNone, R"({"link":"down","firmware":null,"since":"t6"})",
       R"({"alarm_bits":null,"balance":"Фланги СЗ сбалансированы","balance_value":"balanced","since":"t6","alarm":"unknown"})"},
      {Ev("link_up", "t8", {{"firmware", nullptr}}), SensorState::kState | SensorState::kStatus,
       R"({"link":"up","firmware":null,"since":"t8"})",
       R"({"alarm_bits":null,"balance":"Фланги СЗ сбалансированы","balance_value":"balanced","since":"t8","alarm":"unknown"})"},
      // The first status since the return, with no edge: the alarm as it is.
      {Ev("alarm_known", "t9", {{"alarm_bits", 0}}), SensorState::kStatus,
       R"({"link":"up","firmware":null,"since":"t8"})",
       R"({"alarm_bits":0,"balance":"Фланги СЗ сбалансированы","balance_value":"balanced","since":"t9","alarm":"off"})"},
      // A walk test joins the status; `since` stays the alarm's, and a stop ends the test.
      {Ev("walk_test_begin", "t9a", {{"walk_test", 1}, {"note", "ворота"}, {"limit_min", 30}}),
       SensorState::kStatus, R"({"link":"up","firmware":null,"since":"t8"})",
       R"({"alarm_bits":0,"balance":"Фланги СЗ сбалансированы","balance_value":"balanced","since":"t9","alarm":"off"})",
       "[1,0]"},
      {Ev("alarm_begin", "t9b", {{"alarm_bits", 6}, {"walk_test", 1}, {"detection", 1}}),
       SensorState::kStatus, R"({"link":"up","firmware":null,"since":"t8"})",
       R"({"alarm_bits":6,"balance":"Фланги СЗ сбалансированы","balance_value":"balanced","since":"t9b","alarm":"on"})",
       "[1,1]"},
      {Ev("walk_test_end", "t9d", {{"walk_test", 1}, {"passes", nullptr}, {"reason", "limit"}}),
       SensorState::kStatus, R"({"link":"up","firmware":null,"since":"t8"})",
       R"({"alarm_bits":6,"balance":"Фланги СЗ сбалансированы","balance_value":"balanced","since":"t9b","alarm":"on"})"},
      {Ev("port_closed", "t10"), SensorState::kState | SensorState::kStatus,
       R"({"link":"down","firmware":null,"since":"t10"})",
       R"({"alarm_bits":null,"balance":"Фланги СЗ сбалансированы","balance_value":"balanced","since":"t10","alarm":"unknown"})"},
      {Ev("link_up", "t11", {{"firmware", "2.0"}}), SensorState::kState | SensorState::kStatus,
       R"({"link":"up","firmware":"2.0","since":"t11"})",
       R"({"alarm_bits":null,"balance":"Фланги СЗ сбалансированы","balance_value":"balanced","since":"t11","alarm":"unknown"})"},
      {Ev("alarm_known", "t12", {{"alarm_bits", 4}}), SensorState::kStatus,
       R"({"link":"up","firmware":"2.0","since":"t11"})",
       R"({"alarm_bits":4,"balance":"Фланги СЗ сбалансированы","balance_value":"balanced","since":"t12","alarm":"on"})"},
      {Ev("walk_test_begin", "t12a", {{"walk_test", 2}, {"note", ""}, {"limit_min", 30}}),
       SensorState::kStatus, R"({"link":"up","firmware":"2.0","since":"t11"})",
       R"({"alarm_bits":4,"balance":"Фланги СЗ сбалансированы","balance_value":"balanced","since":"t12","alarm":"on"})",
       "[2,0]"},
      // The centre's path joins the status as it changes, `since` staying
      // the alarm's; a second path answering is no change.
      {Ev("dc09_path_up", "t12b", {{"path", "main"}, {"waiting", 0}}), SensorState::kStatus,
       R"({"link":"up","firmware":"2.0","since":"t11"})",
       R"({"alarm_bits":4,"balance":"Фланги СЗ сбалансированы","balance_value":"balanced","since":"t12","alarm":"on"})",
       "[2,0]", R"("up")"},
      {Ev("dc09_path_down", "t12c", {{"reason", "no answer"}, {"waiting", 1}}), SensorState::kStatus,
       R"({"link":"up","firmware":"2.0","since":"t11"})",
       R"({"alarm_bits":4,"balance":"Фланги СЗ сбалансированы","balance_value":"balanced","since":"t12","alarm":"on"})",
       "[2,0]", R"("down")"},
      {Ev("dc09_path_down", "t12d", {{"reason", "connection refused"}, {"waiting", 2}}), SensorState::kNone,
       R"({"link":"up","firmware":"2.0","since":"t11"})",
       R"({"alarm_bits":4,"balance":"Фланги СЗ сбалансированы","balance_value":"balanced","since":"t12","alarm":"on"})",
       "[2,0]", R"("down")"},
      {Ev("stop", "t13", {{"reason", "signal"}}), SensorState::kStatus,
       R"({"link":"down","firmware":null,"since":"t11"})",
       R"({"alarm_bits":null,"balance":"Фланги СЗ сбалансированы","balance_value":"balanced","since":"t13","alarm":"unknown"})",
       "[null,null]", R"("down")"},
      // A new run has not heard from the centre yet: not known, never "up".
      {Ev("start", "t14"), SensorState::kState | SensorState::kStatus,
       R"({"link":"down","firmware":null,"since":"t14"})",
       R"({"alarm_bits":null,"balance":"Фланги СЗ сбалансированы","balance_value":"balanced","since":"t14","alarm":"unknown"})"},
      {Ev("dc09_path_up", "t15", {{"path", "backup"}, {"waiting", 3}}), SensorState::kStatus,
       R"({"link":"down","firmware":null,"since":"t14"})",
       R"({"alarm_bits":null,"balance":"Фланги СЗ сбалансированы","balance_value":"balanced","since":"t14","alarm":"unknown"})",
       "[null,null]", R"("up")"},
  };
  for (const Step& step : steps) {
    const std::string name = step.event["event"];
    EXPECT_EQ(s.Apply(step.event), step.change) << name;
    EXPECT_EQ(EventText(s.StateJson()), step.state) << name;
    nlohmann::ordered_json status = s.StatusJson();
    EXPECT_EQ(EventText({status["walk_test"], status["detections"]}), step.walk) << name;
    EXPECT_EQ(EventText(status["centre"]), step.centre) << name;
    EXPECT_EQ(std::prev(status.end()).key(), "centre") << name;  // added last: the others' order stays
    status.erase("walk_test");
    status.erase("detections");
    status.erase("centre");
    EXPECT_EQ(EventText(status), step.status) << name;
  }
}

TEST(SampleSummary, MinimaAndMaximaSinceTheLastSummaryShowAShortSpike) {
  SampleSummary summary;
  EXPECT_EQ(summary.Count(), 0u);
  for (uint32_t i = 0; i < 78; ++i) {
    ScopeSample s;
    s.threshold = 28.0f + 0.001f * static_cast<float>(i);
    s.useful = i == 40 ? 47u : 10u + i % 3;  // one sample over the threshold
    s.ekNoise = 2;
    s.ekClimate = 1000 + i;
    s.input = 60 - i % 5;
    summary.Add(s);
  }
  const auto first = summary.Take("t1");
  EXPECT_EQ(first["time"], "t1");
  EXPECT_EQ(first["samples"], 78);
  EXPECT_EQ(first["useful"], nlohmann::ordered_json({10, 47}));
  EXPECT_EQ(first["ekNoise"], nlohmann::ordered_json({2, 2}));
  EXPECT_EQ(first["ekClimate"], nlohmann::ordered_json({1000, 1077}));
  EXPECT_EQ(first["input"], nlohmann::ordered_json({56, 60}));
  EXPECT_EQ(EventText(first["threshold"]), "[28.0,28.077]");
  EXPECT_EQ(summary.Count(), 0u);

  // The next summary starts afresh: the spike is not carried over.
  ScopeSample calm;
  calm.useful = 12;
  calm.ekClimate = 1078;
  summary.Add(calm);
  const auto second = summary.Take("t2");
  EXPECT_EQ(second["samples"], 1);
  EXPECT_EQ(second["useful"], nlohmann::ordered_json({12, 12}));
}

TEST(Discovery, AlarmLinkAndBalanceWithStableIdsAndTheirTopics) {
  const SensorTopics topics("Объект 3", "COM1");
  EXPECT_EQ(topics.State(), "tarvin9/Объект 3/COM1/state");
  EXPECT_EQ(topics.Event(), "tarvin9/Объект 3/COM1/event");
  const auto messages = DiscoveryMessages("homeassistant", "Объект 3", "COM1", topics);
  ASSERT_EQ(messages.size(), 3u);
  const std::string node = nlohmann::json::parse(messages[0].payload)["device"]["identifiers"][0];
  EXPECT_EQ(node.rfind("tarvin9_3_COM1_", 0), 0u) << node;
  const std::vector<std::string> want_topics = {"homeassistant/binary_sensor/" + node + "/alarm/config",
                                                "homeassistant/binary_sensor/" + node + "/link/config",
                                                "homeassistant/sensor/" + node + "/balance/config"};
  for (std::size_t i = 0; i < messages.size(); ++i) {
    EXPECT_EQ(messages[i].topic, want_topics[i]);
    const auto c = nlohmann::json::parse(messages[i].payload);
    EXPECT_EQ(c["device"]["identifiers"][0], node);
    EXPECT_EQ(c["device"]["name"], "Тарвин-9 Объект 3 COM1");
    EXPECT_EQ(c["unique_id"].get<std::string>().rfind(node + "_", 0), 0u);
  }
  // Names that differ only outside ASCII are still two devices; the same
  // names give the same ids on every run.
  const auto other = DiscoveryMessages("homeassistant", "Участ 3", "COM1", SensorTopics("Участ 3", "COM1"));
  EXPECT_NE(other[0].topic, messages[0].topic);
  EXPECT_EQ(DiscoveryMessages("homeassistant", "Объект 3", "COM1", topics)[0].topic, messages[0].topic);
  const auto alarm = nlohmann::json::parse(messages[0].payload);
  EXPECT_EQ(alarm["state_topic"], topics.Status());
  EXPECT_EQ(alarm["device_class"], "safety");
  // The alarm and the balance are unavailable unless the link is up and the
  // status has been read since; the link itself only when the recorder is
  // gone, and it is a primary entity.
  const auto link = nlohmann::json::parse(messages[1].payload);
  EXPECT_EQ(alarm["availability"],
            nlohmann::json::parse(
                R"([{"topic":"tarvin9/Объект 3/COM1/state",)"
                R"("value_template":"{{ 'online' if value_json.link == 'up' else 'offline' }}"},)"
                R"({"topic":"tarvin9/Объект 3/COM1/status",)"
                R"("value_template":"{{ 'offline' if value_json.alarm == 'unknown' else 'online' }}"}])"));
  EXPECT_EQ(alarm["availability_mode"], "all");
  EXPECT_FALSE(alarm.contains("availability_topic"));
  EXPECT_EQ(nlohmann::json::parse(messages[2].payload)["availability"], alarm["availability"]);
  EXPECT_EQ(link["availability_topic"], topics.State());
  EXPECT_EQ(link["availability_template"], "{{ 'offline' if value_json.link == 'offline' else 'online' }}");
  EXPECT_FALSE(link.contains("entity_category"));
  EXPECT_EQ(nlohmann::json::parse(messages[1].payload)["state_topic"], topics.State());
  EXPECT_EQ(nlohmann::json::parse(messages[2].payload)["state_topic"], topics.Status());
}

TEST(FileWrapper, Base64KnownAnswersAndTheWrapperOfAFile) {
  const std::vector<std::pair<std::string, std::string>> answers = {
      {"", ""},
      {"f", "Zg=="},
      {"fo", "Zm8="},
      {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="},
      {"fooba", "Zm9vYmE="},
      {"foobar", "Zm9vYmFy"},
      {std::string("\0\xff\xfe", 3), "AP/+"},
  };
  for (const auto& [bytes, text] : answers) EXPECT_EQ(Base64(bytes), text) << text;
  EXPECT_EQ(FileWrapper("2026.12.07  23 час. 49 мин. .bin", std::string("\x01\x00"
                                                                        "A",
                                                                        3)),
            R"({"name":"2026.12.07  23 час. 49 мин. .bin","size":3,"base64":"AQBB"})");
}

}  // namespace
}  // namespace tarvin
