// The publisher in this process, driven step by step as the recorder's main
// loop drives it, against a real mosquitto: the bounded backlog and TLS.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "journal/journal.h"
#include "outlets/mqtt/mqtt_publisher.h"
#include "recorder/console.h"
#include "tests/mqtt/broker_rig.h"
#include "tests/mqtt/test_certificates.h"
#include "tests/support/temp_folder.h"

namespace tarvin::testing {
namespace {

class DirectRig : public ::testing::Test {
 protected:
  ~DirectRig() override {
    publisher_.reset();
    std::fclose(said_);
  }
  void Make(const std::string& url, const std::string& sensor) {
    options_.url = url;
    std::string error;
    ASSERT_TRUE(ParseBrokerUrl(url, &options_.broker, &error)) << error;
    options_.site = "test";
    options_.sensor = sensor;
    publisher_ = std::make_unique<MqttPublisher>(options_, journal_,
                                                 [this](const std::string& line) { console_.Line(line); });
    journal_.AddObserver([this](const nlohmann::ordered_json& e) { publisher_->TakeEvent(e); });
    journal_.AddObserver([this](const nlohmann::ordered_json& e) { events_.push_back(e); });
  }
  // Steps the publisher until `done` holds, within a generous bound.
  bool StepUntil(const std::function<bool()>& done) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(40);
    while (std::chrono::steady_clock::now() < until) {
      publisher_->Step(MqttPublisher::Clock::now());
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
  }
  const nlohmann::ordered_json* Journalled(const std::string& event) const {
    for (const auto& e : events_)
      if (e["event"] == event) return &e;
    return nullptr;
  }
  std::string Said() const {
    std::fflush(said_);
    return ReadText(said_path_);
  }

  TempFolder folder_;
  std::string said_path_ = folder_.Folder() + "said.txt";
  std::FILE* said_ = std::fopen(said_path_.c_str(), "w");
  Console console_{said_, false};
  Journal journal_;
  MqttOptions options_;
  std::unique_ptr<MqttPublisher> publisher_;
  std::vector<nlohmann::ordered_json> events_;
};

TEST_F(DirectRig, AnOverflowWhileTheBrokerIsAwayIsJournalledAndTheRestArrivesInOrder) {
  Broker broker(folder_.Folder(), "allow_anonymous true\npersistence false");
  Make(broker.Url(), "backlog");
  publisher_->Step(MqttPublisher::Clock::now());  // the broker is not there yet
  const int total = static_cast<int>(PublishQueue::kDefaultMessages) + 50;
  for (int i = 0; i < total; ++i) journal_.Write(Event::ControlRefused, {{"n", i}});
  EXPECT_EQ(publisher_->Queue().Size(), PublishQueue::kDefaultMessages);
  EXPECT_EQ(Journalled("mqtt_dropped"), nullptr)
      << "reported once the broker is back, not from inside a write";

  ASSERT_TRUE(broker.Start()) << broker.Log();
  Subscriber watcher(broker.Port());
  ASSERT_TRUE(watcher.WaitSubscribed());
  ASSERT_TRUE(StepUntil([&] { return publisher_->Connected() && publisher_->Queue().Empty(); })) << Said();
  const auto* dropped = Journalled("mqtt_dropped");
  ASSERT_NE(dropped, nullptr);
  EXPECT_EQ((*dropped)["events"], 50);
  EXPECT_EQ((*dropped)["files"], 0);
  EXPECT_EQ((*dropped)["samples"], 0);
  const int64_t dropped_seq = (*dropped)["seq"];
  ASSERT_TRUE(StepUntil([&] {
    return watcher.Has([&](const Received& r) {
      return Subscriber::EndsWith(r.topic, "/event") && r.Json().value("seq", 0) == dropped_seq;
    });
  }));
  // The oldest fifty went; the rest came in order, then the report.
  int64_t expect = 51;
  for (const Received& r : watcher.Messages()) {
    if (!Subscriber::EndsWith(r.topic, "/event")) continue;
    ASSERT_EQ(r.Json()["seq"], expect);
    ++expect;
  }
  EXPECT_EQ(expect, dropped_seq + 1);
  publisher_->Stop(std::chrono::seconds(5));
  ASSERT_TRUE(watcher.WaitFor([](const Received& r) { return r.payload == R"({"link":"offline"})"; }));
}

TEST_F(DirectRig, ALoginWithoutAPasswordIsRefusedWithHowToGiveOne) {
  const std::string passwords = folder_.Folder() + "passwords";
  ASSERT_TRUE(AddLogin(passwords, "site7", "pw"));
  Broker broker(folder_.Folder(), "allow_anonymous false\npersistence false\npassword_file " + passwords);
  ASSERT_TRUE(broker.Start()) << broker.Log();
  Make(broker.Url("site7"), "nopassword");
  ASSERT_TRUE(StepUntil([&] { return Journalled("mqtt_refused") != nullptr; })) << Said();
  EXPECT_NE(
      Said().find("no password was given for site7: set it in the environment variable TARVIN_MQTT_PASSWORD"),
      std::string::npos)
      << Said();
  EXPECT_EQ(Said().find(".;"), std::string::npos) << Said();
}

TEST_F(DirectRig, UnderMqtt311AnOscillogramComesInItsJsonWrapper) {
  Broker broker(folder_.Folder(), "allow_anonymous true\npersistence false");
  ASSERT_TRUE(broker.Start()) << broker.Log();
  Subscriber watcher(broker.Port());
  ASSERT_TRUE(watcher.WaitSubscribed());
  options_.v311 = true;
  Make(broker.Url(), "old");
  const std::string path = folder_.Folder() + "2026.12.08  00 час. 15 мин. .bin";
  WriteBytes(path, {0x00, 0x01, 0xFE, 0xFF});
  journal_.Write(Event::Start);
  journal_.Write(Event::Saved, {{"path", path}, {"trigger", "alarm"}, {"samples", 1}});
  ASSERT_TRUE(StepUntil([&] {
    return watcher.Has([](const Received& r) { return Subscriber::EndsWith(r.topic, "/oscillogram"); });
  })) << Said();
  for (const Received& r : watcher.Messages()) {
    if (!Subscriber::EndsWith(r.topic, "/oscillogram")) continue;
    EXPECT_EQ(r.payload, R"({"name":"2026.12.08  00 час. 15 мин. .bin","size":4,"base64":"AAH+/w=="})");
    EXPECT_EQ(r.name, "");  // no properties in 3.1.1
  }
  ASSERT_TRUE(StepUntil([&] {
    return watcher.Has([](const Received& r) {
      return Subscriber::EndsWith(r.topic, "/event") && r.Json().value("event", "") == "saved";
    });
  }));
  publisher_->Stop(std::chrono::seconds(2));
  ASSERT_TRUE(watcher.WaitFor([](const Received& r) { return r.payload == R"({"link":"offline"})"; }));
}

TEST_F(DirectRig, TlsWithTheRightCaConnectsAndAStrangeCertificateIsRefusedOnce) {
  const std::string dir = folder_.Folder();
  ASSERT_TRUE(MakeCertificates(dir, "siteca"));
  ChildOptions in_dir;
  in_dir.dir = dir;
  ASSERT_EQ(RunProgram({"openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                        "/CN=other", "-keyout", "other.key", "-out", "other.crt"},
                       in_dir)
                .exit_code,
            0);
  Broker broker(dir, "allow_anonymous true\npersistence false\ncafile " + dir + "siteca.crt\ncertfile " +
                         dir + "server.crt\nkeyfile " + dir + "server.key");
  ASSERT_TRUE(broker.Start()) << broker.Log();
  const std::string url = "mqtts://127.0.0.1:" + std::to_string(broker.Port());

  options_.ca = dir + "other.crt";
  Make(url, "strange");
  journal_.Write(Event::Start);
  ASSERT_TRUE(StepUntil([&] { return Journalled("mqtt_refused") != nullptr; })) << Said();
  const std::string reason = (*Journalled("mqtt_refused"))["reason"];
  EXPECT_NE(reason.find("TLS"), std::string::npos) << reason;
  EXPECT_NE(reason.find("certificate verify failed"), std::string::npos) << reason;
  EXPECT_FALSE(publisher_->Connected());
  publisher_->Stop(std::chrono::seconds(1));
  EXPECT_NE(Said().find("refused this recorder: TLS"), std::string::npos) << Said();
}

TEST_F(DirectRig, TlsWithTheSitesCaConnects) {
  const std::string dir = folder_.Folder();
  ASSERT_TRUE(MakeCertificates(dir, "siteca"));
  Broker broker(dir, "allow_anonymous true\npersistence false\ncafile " + dir + "siteca.crt\ncertfile " +
                         dir + "server.crt\nkeyfile " + dir + "server.key");
  ASSERT_TRUE(broker.Start()) << broker.Log();
  options_.ca = dir + "siteca.crt";
  Make("mqtts://127.0.0.1:" + std::to_string(broker.Port()), "trusted");
  journal_.Write(Event::Start);
  ASSERT_TRUE(StepUntil([&] { return publisher_->Connected() && publisher_->Queue().Empty(); })) << Said();
  EXPECT_EQ(Journalled("mqtt_refused"), nullptr);
  publisher_->Stop(std::chrono::seconds(2));
}

}  // namespace
}  // namespace tarvin::testing
