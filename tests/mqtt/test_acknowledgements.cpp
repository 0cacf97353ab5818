// Two operators acknowledge one alarm through a broker under the shipped ACL:
// the first stands, the second is refused with who came first, and the
// alarm's retained history slot keeps it and its acknowledgement over a
// restart of the recorder and of the broker; the single history topic of
// old is cleared. Under that ACL each login writes only under its own name.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "tests/mqtt/broker_rig.h"
#include "tests/support/ack_body.h"
#include "tests/support/recorder_process.h"
#include "tests/support/sim_process.h"
#include "tests/support/temp_folder.h"

namespace tarvin::testing {
namespace {

// Publishes one message at QoS 1 as `user` over MQTT 5; the PUBACK's reason
// code (135: not authorised), or -1 when none came.
int PublishAs(int port, const std::string& user, const std::string& password, const std::string& topic,
              const std::string& payload, bool retain = false) {
  struct Done {
    int reason = -1;
  } done;
  mosquitto* m = mosquitto_new(nullptr, true, &done);
  mosquitto_int_option(m, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V5);
  mosquitto_username_pw_set(m, user.c_str(), password.c_str());
  mosquitto_publish_v5_callback_set(m,
                                    [](mosquitto*, void* self, int, int reason, const mosquitto_property*) {
                                      static_cast<Done*>(self)->reason = reason;
                                    });
  if (mosquitto_connect(m, "127.0.0.1", port, 20) == MOSQ_ERR_SUCCESS &&
      mosquitto_publish_v5(m, nullptr, topic.c_str(), static_cast<int>(payload.size()), payload.data(), 1,
                           retain, nullptr) == MOSQ_ERR_SUCCESS) {
    const auto until = std::chrono::steady_clock::now() + kGenerous;
    while (done.reason < 0 && std::chrono::steady_clock::now() < until)
      if (mosquitto_loop(m, 50, 1) != MOSQ_ERR_SUCCESS) break;
    mosquitto_disconnect(m);
  }
  mosquitto_destroy(m);
  return done.reason;
}

// The shipped ACL, with a block for each operator as its commented example
// (#user ivanov ...) tells a site to add.
std::string ShippedAcl(const std::vector<std::string>& operators) {
  const std::string shipped = ReadText(std::string(TARVIN_MOSQUITTO_EXAMPLES) + "/tarvin9.acl");
  const std::size_t begin = shipped.find("#user ivanov\n");
  if (begin == std::string::npos) {
    ADD_FAILURE() << "tarvin9.acl shows no operator's block (#user ivanov)";
    return shipped;
  }
  std::istringstream example(shipped.substr(begin, shipped.find("\n\n", begin) - begin));
  std::vector<std::string> lines;
  for (std::string line; std::getline(example, line);) lines.push_back(line.substr(1));
  std::string acl = shipped;
  for (const std::string& login : operators) {
    acl += "\n";
    for (std::string line : lines) {
      for (std::size_t at = line.find("ivanov"); at != std::string::npos;
           at = line.find("ivanov", at + login.size()))
        line.replace(at, 6, login);
      acl += line + "\n";
    }
  }
  return acl;
}

// An alarm's history slot that holds its begin and the acknowledgement by `who`.
bool HistoryHolds(const Received& r, const nlohmann::json& alarm, const std::string& who) {
  if (r.topic.find("/history/alarm/") == std::string::npos || r.payload.empty()) return false;
  bool begun = false, acked = false;
  for (const auto& e : r.Json().value("events", nlohmann::json::array())) {
    begun = begun || (e["event"] == "alarm_begin" && e["seq"] == alarm["seq"] && e["time"] == alarm["time"]);
    acked = acked || (e["event"] == "ack" && e["alarm"] == alarm["seq"] && e["operator"] == who);
  }
  return begun && acked;
}

const nlohmann::json* Find(const std::vector<nlohmann::json>& events, const std::string& name) {
  for (const auto& e : events)
    if (e.value("event", "") == name) return &e;
  return nullptr;
}

TEST(Acknowledgements, TheFirstOperatorStandsAndTheHistoryOutlivesARestart) {
  TempFolder folder;
  const std::string dir = folder.Folder();
  const std::string passwords = dir + "passwords";
  // The recorders' login is their site's name (--site test).
  ASSERT_TRUE(AddLogin(passwords, "test", "rpw") && AddLogin(passwords, "ivanov", "ipw") &&
              AddLogin(passwords, "petrov", "ppw"));
  const std::string acl = dir + "tarvin9.acl";
  std::ofstream(acl) << ShippedAcl({"ivanov", "petrov"});
  Broker broker(dir,
                "allow_anonymous false\npersistence false\npassword_file " + passwords + "\nacl_file " + acl);
  ASSERT_TRUE(broker.Start()) << broker.Log();
  const std::string base = "tarvin9/test/line1/";
  // A stale history of the single topic of old, which the recorder clears.
  const int stale = PublishAs(broker.Port(), "test", "rpw", base + "history", R"({"events":[]})", true);
  EXPECT_TRUE(stale == 0 || stale == MQTT_RC_NO_MATCHING_SUBSCRIBERS) << stale;
  Subscriber old(broker.Port(), false, {"ivanov", "ipw"}, base + "history");
  ASSERT_TRUE(old.WaitFor([](const Received& r) { return r.retained && !r.payload.empty(); }));
  SimProcess sim;
  ASSERT_TRUE(sim.Start(dir, {}));
  RecorderProcess recorder;
  const std::vector<std::string> args = {"--sensor", "line1"};
  const std::vector<std::string> env = {"TARVIN_MQTT_PASSWORD=rpw"};
  ASSERT_TRUE(recorder.StartPublishing(dir, broker.Url("test"), args, env));

  Subscriber watcher(broker.Port(), false, {"ivanov", "ipw"});
  ASSERT_TRUE(watcher.WaitForEvent("link_up")) << recorder.Stderr();
  EXPECT_TRUE(old.WaitFor([](const Received& r) { return r.payload.empty(); }));
  sim.Send("intrusion 2");
  Received begun;
  ASSERT_TRUE(watcher.WaitForEvent("alarm_begin", &begun));
  const nlohmann::json alarm = begun.Json();
  const std::string topic = base + "ack/";

  EXPECT_EQ(PublishAs(broker.Port(), "ivanov", "ipw", topic + "ivanov",
                      AckBody(alarm, "ложная: ветер", "press-iv1")),
            0);
  ASSERT_TRUE(watcher.WaitForEvent("ack")) << recorder.Stderr();
  EXPECT_EQ(
      PublishAs(broker.Port(), "petrov", "ppw", topic + "petrov", AckBody(alarm, "проверено", "press-pe1")),
      0);
  ASSERT_TRUE(watcher.WaitForEvent("ack_refused"));
  Received history;
  ASSERT_TRUE(watcher.WaitFor([&](const Received& r) { return HistoryHolds(r, alarm, "ivanov"); }, &history));
  EXPECT_EQ(history.topic, base + "history/alarm/00");
  EXPECT_EQ(recorder.End(SIGTERM), 0);
  const auto small = [](const Received& r) { return r.payload.size() <= 4096; };
  {
    Subscriber fresh(broker.Port(), false, {"petrov", "ppw"}, base + "history/#");
    ASSERT_TRUE(
        fresh.WaitFor([&](const Received& r) { return r.retained && HistoryHolds(r, alarm, "ivanov"); }));
    for (const Received& r : fresh.Messages()) EXPECT_TRUE(small(r)) << r.topic;
  }

  const auto journal = JournalEvents(recorder.Journal());
  const nlohmann::json* ack = Find(journal, "ack");
  ASSERT_NE(ack, nullptr);
  EXPECT_EQ((*ack)["operator"], "ivanov");
  EXPECT_EQ((*ack)["comment"], "ложная: ветер");
  EXPECT_EQ((*ack)["alarm"], alarm["seq"]);
  EXPECT_GE((*ack)["seconds_to_ack"].get<double>(), 0.0);
  const nlohmann::json* refused = Find(journal, "ack_refused");
  ASSERT_NE(refused, nullptr);
  EXPECT_EQ((*refused)["operator"], "petrov");
  EXPECT_EQ((*refused)["reason"], "already_acknowledged");
  EXPECT_EQ((*refused)["by"], "ivanov");

  // A broker without persistence forgets the retained history: what the
  // next run publishes it has read back from its journal.
  broker.Stop();
  ASSERT_TRUE(broker.Start()) << broker.Log();
  ASSERT_TRUE(recorder.StartPublishing(dir, broker.Url("test"), args, env));
  Subscriber late(broker.Port(), false, {"petrov", "ppw"}, base + "history/#");
  ASSERT_TRUE(late.WaitFor([&](const Received& r) { return HistoryHolds(r, alarm, "ivanov"); }))
      << recorder.Stderr();
  EXPECT_EQ(recorder.End(SIGTERM), 0);
  for (const Received& r : late.Messages()) EXPECT_TRUE(small(r)) << r.topic;
}

// Every login but the operator the topic names (and the central broker's
// bridge, which passes on what that broker's ACL vouched for) is refused an
// acknowledgement; a site's login writes what its recorders publish, for its
// own site only; the sites' patterns give a login that is no site's nothing.
TEST(Acknowledgements, EachLoginWritesOnlyUnderItsOwnName) {
  TempFolder folder;
  const std::string dir = folder.Folder();
  const std::string passwords = dir + "passwords";
  for (const char* login : {"north", "south", "ivanov", "petrov", "room", "central"})
    ASSERT_TRUE(AddLogin(passwords, login, login));
  const std::string acl = dir + "tarvin9.acl";
  std::ofstream(acl) << ShippedAcl({"ivanov", "petrov"});
  Broker broker(dir, "allow_anonymous false\npassword_file " + passwords + "\nacl_file " + acl);
  ASSERT_TRUE(broker.Start()) << broker.Log();

  const std::string ack = "tarvin9/north/gate/ack/";
  const std::string ha = "homeassistant/binary_sensor/tarvin9_north_gate_1/alarm/config";
  const struct {
    const char* login;
    std::string topic;
    bool accepted;
  } cases[] = {
      {"petrov", ack + "petrov", true},
      {"central", ack + "petrov", true},
      {"ivanov", ack + "petrov", false},
      {"north", ack + "petrov", false},
      {"south", ack + "petrov", false},
      {"room", ack + "petrov", false},
      {"north", ack + "north", false},
      {"room", ack + "room", false},
      {"north", "tarvin9/north/gate/status", true},
      {"north", "tarvin9/north/gate/history/alarm/00", true},
      {"north", ha, true},
      {"north", "tarvin9/south/gate/status", false},
      {"north", "tarvin9/south/gate/event", false},
      {"north", "tarvin9/north/gate/command", false},
      {"ivanov", "tarvin9/north/gate/status", false},
      {"room", "tarvin9/north/gate/status", false},
      {"central", "tarvin9/north/gate/status", false},
      {"room", "tarvin9/room/gate/status", false},
      {"ivanov", "tarvin9/ivanov/gate/status", false},
      {"central", "tarvin9/central/gate/status", false},
      {"room", ha, false},
      {"ivanov", ha, false},
  };
  for (const auto& c : cases) {
    const int reason = PublishAs(broker.Port(), c.login, c.login, c.topic, "{}");
    if (c.accepted)
      EXPECT_TRUE(reason == 0 || reason == MQTT_RC_NO_MATCHING_SUBSCRIBERS)
          << c.login << " " << c.topic << ": " << reason;
    else
      EXPECT_EQ(reason, MQTT_RC_NOT_AUTHORIZED) << c.login << " " << c.topic;
  }
}

}  // namespace
}  // namespace tarvin::testing
