// The broker's faults: away at start, gone for ten seconds mid-stream, a
// login from the environment and one refused. The recorder records on.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "tests/mqtt/broker_rig.h"
#include "tests/support/recorder_process.h"
#include "tests/support/sim_process.h"
#include "tests/support/temp_folder.h"

namespace tarvin::testing {
namespace {

// The `seq` of every event that arrived, each once (QoS 1 may repeat one).
std::set<int64_t> Seqs(Subscriber& s) {
  std::set<int64_t> seqs;
  for (const Received& r : s.Messages())
    if (Subscriber::EndsWith(r.topic, "/event")) seqs.insert(r.Json()["seq"].get<int64_t>());
  return seqs;
}

bool JournalHas(const std::string& path, const std::string& event) {
  const auto events = JournalEvents(path);
  return std::any_of(events.begin(), events.end(),
                     [&](const nlohmann::json& e) { return e["event"] == event; });
}

// Waits for `event` in the journal as long as a busy machine may need.
bool WaitForJournal(const std::string& path, const std::string& event, int seconds = 60) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (!JournalHas(path, event)) {
    if (std::chrono::steady_clock::now() >= until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

class FaultRig : public ::testing::Test {
 protected:
  void TearDown() override {
    if (HasFailure()) std::cerr << "recorder said:\n" << recorder_.Stderr() << "broker:\n" << broker_.Log();
  }
  TempFolder folder_;
  Broker broker_{folder_.Folder(), "allow_anonymous true\npersistence true\npersistence_location " +
                                       folder_.Folder() + "\nautosave_interval 1"};
  SimProcess sim_;
  RecorderProcess recorder_;
};

TEST_F(FaultRig, BrokerAwayAtStartThenStoppedTenSecondsMidStreamLosesNoEvent) {
  ASSERT_TRUE(sim_.Start(folder_.Folder(), {}));
  // No broker yet: the recorder records and keeps what it would publish.
  ASSERT_TRUE(recorder_.StartPublishing(folder_.Folder(), broker_.Url(),
                                        {"--sensor", "line1", "--mqtt-samples", "5"}));
  const auto journal = recorder_.Journal();
  ASSERT_TRUE(WaitForJournal(journal, "link_up"));

  ASSERT_TRUE(broker_.Start()) << broker_.Log();
  // A persistent session: what arrives at the broker while this subscriber
  // reconnects after the broker's restart waits for it there.
  Subscriber watcher(broker_.Port(), true);
  ASSERT_TRUE(watcher.WaitSubscribed());
  ASSERT_TRUE(watcher.WaitForEvent("start"));
  ASSERT_TRUE(watcher.WaitForEvent("link_up"));

  // Ten seconds at least without a broker, with an intrusion and its save in them.
  broker_.Stop();
  const auto outage_ends = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  sim_.Send("intrusion 3");
  EXPECT_TRUE(WaitForJournal(journal, "alarm_begin"));
  EXPECT_TRUE(WaitForJournal(journal, "saved"));
  std::this_thread::sleep_until(outage_ends);
  ASSERT_TRUE(broker_.Start()) << broker_.Log();

  ASSERT_TRUE(watcher.WaitForEvent("saved"));
  ASSERT_TRUE(
      watcher.WaitFor([](const Received& r) { return Subscriber::EndsWith(r.topic, "/oscillogram"); }));
  EXPECT_EQ(recorder_.End(SIGTERM), 0);
  ASSERT_TRUE(watcher.WaitForEvent("stop"));

  // Every event of the journal, by seq, with no gap.
  const auto events = JournalEvents(journal);
  const std::set<int64_t> seqs = Seqs(watcher);
  ASSERT_FALSE(seqs.empty());
  EXPECT_EQ(*seqs.begin(), 1);
  EXPECT_EQ(static_cast<std::size_t>(*seqs.rbegin()), seqs.size()) << "a gap in the seq sequence";
  EXPECT_EQ(*seqs.rbegin(), events.back()["seq"].get<int64_t>());
  EXPECT_FALSE(JournalHas(journal, "mqtt_dropped"));
  // And in order: each seq first arrives after the one before it.
  int64_t last = 0;
  std::set<int64_t> seen;
  for (const Received& r : watcher.Messages()) {
    if (!Subscriber::EndsWith(r.topic, "/event")) continue;
    const int64_t seq = r.Json()["seq"].get<int64_t>();
    if (seen.insert(seq).second) {
      EXPECT_EQ(seq, last + 1);
      last = seq;
    }
  }
}

class LoginRig : public FaultRig {
 protected:
  void SetUp() override {
    const std::string passwords = folder_.Folder() + "passwords";
    ASSERT_TRUE(AddLogin(passwords, "site7", "горох 42"));
    secured_ = std::make_unique<Broker>(
        folder_.Folder(), "allow_anonymous false\npersistence false\npassword_file " + passwords);
    ASSERT_TRUE(secured_->Start()) << secured_->Log();
  }
  std::unique_ptr<Broker> secured_;
};

TEST_F(LoginRig, PasswordFromTheEnvironmentIsTakenAndAWrongOneRefused) {
  Subscriber watcher(secured_->Port(), false, {"site7", "горох 42"});
  ASSERT_TRUE(watcher.WaitSubscribed());

  ASSERT_TRUE(sim_.Start(folder_.Folder(), {}));
  ASSERT_TRUE(recorder_.StartPublishing(folder_.Folder(), secured_->Url("site7"), {"--sensor", "line1"},
                                        {"TARVIN_MQTT_PASSWORD=горох 42"}));
  ASSERT_TRUE(watcher.WaitForEvent("link_up"));
  EXPECT_EQ(recorder_.End(SIGTERM), 0);

  // The same recorder with a wrong password: one line, one journal event,
  // and the recording goes on.
  TempFolder other;
  SimProcess other_sim;
  ASSERT_TRUE(other_sim.Start(other.Folder(), {}));
  RecorderProcess refused;
  ASSERT_TRUE(refused.StartPublishing(other.Folder(), secured_->Url("site7"), {"--sensor", "line2"},
                                      {"TARVIN_MQTT_PASSWORD=бобы"}));
  const auto journal = refused.Journal();
  EXPECT_TRUE(WaitForJournal(journal, "link_up"));
  ASSERT_TRUE(WaitForJournal(journal, "mqtt_refused")) << refused.Stderr();
  for (const auto& e : JournalEvents(journal))
    if (e["event"] == "mqtt_refused") {
      EXPECT_EQ(e["broker"], "127.0.0.1:" + std::to_string(secured_->Port()));
      EXPECT_FALSE(e["reason"].get<std::string>().empty());
    }
  EXPECT_EQ(refused.End(SIGTERM), 0);
  const std::string said = refused.Stderr();
  std::size_t lines = 0;
  for (std::size_t at = said.find("refused this recorder"); at != std::string::npos;
       at = said.find("refused this recorder", at + 1))
    ++lines;
  EXPECT_EQ(lines, 1u) << said;
  EXPECT_EQ(said.find("бобы"), std::string::npos) << "the password must never be shown";
  EXPECT_TRUE(JournalHas(journal, "stop"));
  // Nothing of line2 reached the broker.
  for (const Received& r : watcher.Messages()) EXPECT_EQ(r.topic.find("line2"), std::string::npos) << r.topic;
}

}  // namespace
}  // namespace tarvin::testing
