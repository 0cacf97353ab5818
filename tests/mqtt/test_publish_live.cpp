// The recorder against a real mosquitto and the simulated sensor: what a
// control room sees of a sensor.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "tests/mqtt/broker_rig.h"
#include "tests/support/recorder_process.h"
#include "tests/support/sim_process.h"
#include "tests/support/temp_folder.h"

namespace tarvin::testing {
namespace {

bool IsState(const Received& r, const std::string& link) {
  return Subscriber::EndsWith(r.topic, "/state") && r.Json().value("link", "") == link;
}

bool IsStatus(const Received& r, const std::string& alarm) {
  return Subscriber::EndsWith(r.topic, "/status") && r.Json().value("alarm", "") == alarm;
}

class LiveRig : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(broker_.Start()) << broker_.Log();
    ASSERT_TRUE(sim_.Start(folder_.Folder(), {})) << "the simulator did not start";
  }
  void TearDown() override {
    if (HasFailure()) std::cerr << "recorder said:\n" << recorder_.Stderr() << "broker:\n" << broker_.Log();
  }

  TempFolder folder_;
  Broker broker_{folder_.Folder(), "allow_anonymous true\npersistence false"};
  SimProcess sim_;
  RecorderProcess recorder_;
};

TEST_F(LiveRig, RetainedStateForLateSubscribersAndLastWillAfterSigkill) {
  ASSERT_TRUE(recorder_.StartPublishing(folder_.Folder(), broker_.Url(), {"--sensor", "line1"}));
  {
    // The broker holds the state and the status of a link that is up (the
    // status once the alarm is known) before the late subscriber comes: what
    // that one gets is then retained, whatever the machine's load.
    Subscriber early(broker_.Port());
    ASSERT_TRUE(early.WaitFor([](const Received& r) { return IsState(r, "up"); }));
    ASSERT_TRUE(early.WaitFor([](const Received& r) { return IsStatus(r, "off"); }));
  }
  Subscriber late(broker_.Port());
  Received state;
  ASSERT_TRUE(late.WaitFor([](const Received& r) { return IsState(r, "up"); }, &state));
  EXPECT_EQ(state.topic, "tarvin9/test/line1/state");
  EXPECT_TRUE(state.retained);
  EXPECT_EQ(state.Json()["firmware"], "2.0");
  EXPECT_TRUE(state.Json()["since"].is_string());
  Received status;
  ASSERT_TRUE(
      late.WaitFor([](const Received& r) { return Subscriber::EndsWith(r.topic, "/status"); }, &status));
  EXPECT_TRUE(status.retained);
  EXPECT_EQ(status.Json()["alarm_bits"], 0);
  EXPECT_EQ(status.Json()["alarm"], "off");

  // A dead recorder cannot say goodbye: the broker says it with the last will.
  EXPECT_EQ(recorder_.End(SIGKILL), -1);
  Received will;
  ASSERT_TRUE(late.WaitFor([](const Received& r) { return IsState(r, "offline"); }, &will));
  EXPECT_EQ(will.payload, R"({"link":"offline"})");
  Subscriber after(broker_.Port());
  ASSERT_TRUE(after.WaitFor([](const Received& r) { return IsState(r, "offline") && r.retained; }));
}

TEST_F(LiveRig, IntrusionReachesTheSubscriberAsEventStatusAndOscillogram) {
  Subscriber watcher(broker_.Port());
  ASSERT_TRUE(watcher.WaitSubscribed());
  ASSERT_TRUE(recorder_.StartPublishing(folder_.Folder(), broker_.Url(),
                                        {"--sensor", "line1", "--mqtt-samples", "2"}));
  ASSERT_TRUE(watcher.WaitForEvent("link_up"));
  sim_.Send("intrusion 3");

  Received begin, file;
  ASSERT_TRUE(watcher.WaitForEvent("alarm_begin", &begin));
  EXPECT_EQ(begin.topic, "tarvin9/test/line1/event");
  EXPECT_FALSE(begin.retained);
  EXPECT_NE(begin.Json()["alarm_bits"], 0);
  ASSERT_TRUE(watcher.WaitFor([](const Received& r) { return IsStatus(r, "on"); }));
  ASSERT_TRUE(watcher.WaitFor([](const Received& r) { return Subscriber::EndsWith(r.topic, "/oscillogram"); },
                              &file));
  ASSERT_TRUE(watcher.WaitForEvent("saved"));
  // A summary during the alarm shows the useful signal's peak.
  ASSERT_TRUE(watcher.WaitFor([](const Received& r) {
    return Subscriber::EndsWith(r.topic, "/samples") && r.Json()["useful"][1].get<int>() > 30;
  }));
  EXPECT_EQ(recorder_.End(SIGTERM), 0);
  ASSERT_TRUE(watcher.WaitForEvent("stop"));
  ASSERT_TRUE(watcher.WaitFor([](const Received& r) { return IsState(r, "offline"); }));

  // The file's bytes, under its name; every event exactly as its journal line.
  const auto journal = JournalEvents(recorder_.Journal());
  std::string saved_path;
  for (const auto& e : journal)
    if (e["event"] == "saved") saved_path = e["path"];
  ASSERT_FALSE(saved_path.empty());
  EXPECT_EQ(file.name, std::filesystem::u8path(saved_path).filename().u8string());
  const std::vector<uint8_t> bytes = ReadBytes(saved_path);
  EXPECT_EQ(file.payload, std::string(bytes.begin(), bytes.end()));

  std::ifstream lines(recorder_.Journal());
  std::vector<std::string> published;
  for (const Received& r : watcher.Messages())
    if (Subscriber::EndsWith(r.topic, "/event")) published.push_back(r.payload);
  std::vector<std::string> written;
  for (std::string line; std::getline(lines, line);) written.push_back(line);
  EXPECT_EQ(published, written);
}

TEST_F(LiveRig, AnAlarmIsUnknownUntilTheStatusIsReadAfterEachLinkUpNeverOff) {
  Subscriber watcher(broker_.Port());
  ASSERT_TRUE(watcher.WaitSubscribed());
  sim_.Send("intrusion 120");
  ASSERT_TRUE(recorder_.StartPublishing(folder_.Folder(), broker_.Url(), {"--sensor", "line1"}));
  ASSERT_TRUE(watcher.WaitFor([](const Received& r) { return IsStatus(r, "on"); }));
  // The link lost and back, the alarm still on: said by alarm_known.
  sim_.Send("silence 8");
  Received known;
  ASSERT_TRUE(watcher.WaitForEvent("alarm_known", &known));
  EXPECT_NE(known.Json()["alarm_bits"], 0);
  const auto at = known.Json()["time"];
  ASSERT_TRUE(
      watcher.WaitFor([&](const Received& r) { return IsStatus(r, "on") && r.Json()["since"] == at; }));
  EXPECT_EQ(recorder_.End(SIGTERM), 0);

  // Never "off"; "unknown", without bits, from the return's link_up until then.
  std::set<std::string> link_ups, unknown_at;
  for (const Received& r : watcher.Messages()) {
    const auto m = r.Json();
    if (Subscriber::EndsWith(r.topic, "/event") && m["event"] == "link_up") link_ups.insert(m["time"]);
    if (!Subscriber::EndsWith(r.topic, "/status")) continue;
    EXPECT_NE(m["alarm"], "off") << r.payload;
    EXPECT_EQ(m["alarm"] == "unknown", m["alarm_bits"].is_null()) << r.payload;
    if (m["alarm"] == "unknown") unknown_at.insert(m["since"]);
  }
  ASSERT_EQ(link_ups.size(), 2u);
  EXPECT_EQ(unknown_at.count(*link_ups.rbegin()), 1u);
}

TEST_F(LiveRig, DiscoveryMessagesAreRetainedForHomeAssistant) {
  ASSERT_TRUE(
      recorder_.StartPublishing(folder_.Folder(), broker_.Url(), {"--sensor", "line 1", "--ha-discovery"}));
  Subscriber watcher(broker_.Port());
  ASSERT_TRUE(watcher.WaitFor([](const Received& r) { return IsState(r, "up"); }));
  std::vector<Received> configs;
  {
    Subscriber all(broker_.Port(), false, {}, "homeassistant/#");
    ASSERT_TRUE(
        all.WaitFor([](const Received& r) { return Subscriber::EndsWith(r.topic, "/balance/config"); }));
    ASSERT_TRUE(all.WaitFor([](const Received& r) { return Subscriber::EndsWith(r.topic, "/link/config"); }));
    ASSERT_TRUE(
        all.WaitFor([](const Received& r) { return Subscriber::EndsWith(r.topic, "/alarm/config"); }));
    configs = all.Messages();
  }
  for (const Received& r : configs) {
    EXPECT_TRUE(r.retained) << r.topic;
    EXPECT_EQ(r.topic.rfind("homeassistant/", 0), 0u) << r.topic;
    EXPECT_NE(r.topic.find("tarvin9_test_line_1_"), std::string::npos) << r.topic;
    const auto config = r.Json();
    // The alarm and the balance ask the status too: the state comes first.
    EXPECT_EQ(
        config.contains("availability") ? config["availability"][0]["topic"] : config["availability_topic"],
        "tarvin9/test/line 1/state");
    EXPECT_TRUE(config["state_topic"] == "tarvin9/test/line 1/state" ||
                config["state_topic"] == "tarvin9/test/line 1/status");
  }
  EXPECT_EQ(recorder_.End(SIGTERM), 0);
}

}  // namespace
}  // namespace tarvin::testing
