// The Windows recorder under Wine, against the simulator on COM7, publishing
// to a real mosquitto on loopback that the test starts, plain or over TLS.
// scripts/windows.sh sets TARVIN_WINDOWS_MQTT when it was built with libmosquitto.
#include <gtest/gtest.h>
#include <signal.h>

#include <climits>
#include <set>

#include "tests/integration/sim_process.h"
#include "tests/mqtt/broker_rig.h"
#include "tests/mqtt/test_certificates.h"
#include "tests/support/temp_folder.h"
#include "tests/wine/wine_rig.h"

namespace tarvin::testing {
namespace {

bool IsState(const Received& r, const std::string& link) {
  return Subscriber::EndsWith(r.topic, "/state") && r.Json().value("link", "") == link;
}

class WineMqtt : public ::testing::Test {
 protected:
  void TearDown() override {
    if (recorder_ > 0) EndChild(recorder_, SIGKILL);
    if (HasFailure())
      std::cerr << "--- recorder\n"
                << ReadText(d_ + "recorder.log") << "--- journal\n"
                << ReadText(d_ + "journal.jsonl");
  }

  // Logged in with a password from the environment, discovery on: the
  // retained state, an intrusion while the broker restarts delivered from the
  // backlog with no event lost, and the last will when the recorder is killed.
  // The watcher logs in on the plain listener; `tls` puts the recorder on one
  // that wants the site's CA and a client certificate.
  void PublishesThroughARestartAndDies(bool tls) {
    if (Env("TARVIN_WINDOWS_MQTT").empty()) GTEST_SKIP() << "this Windows recorder was built without MQTT";
    ASSERT_TRUE(sim_.Start(d_, {"--seed", "9"}));
    char pty[PATH_MAX];
    ASSERT_NE(::realpath((d_ + "COM1").c_str(), pty), nullptr);
    ASSERT_TRUE(MapWinePort(kWinePort, pty, d_ + "wine-reg.log"));
    ASSERT_TRUE(MakeCertificates(d_, "siteca"));
    ASSERT_EQ(std::system(("mosquitto_passwd -b -c '" + d_ + "pw' site7 'pea 42' >/dev/null").c_str()), 0);
    const int tls_port = Broker(d_).Port();  // a free port of its own
    Broker broker(d_, "allow_anonymous false\npassword_file " + d_ +
                          "pw\npersistence true\npersistence_location " + d_ +
                          "\nautosave_interval 1\nlistener " + std::to_string(tls_port) +
                          " 127.0.0.1\ncafile " + d_ + "siteca.crt\ncertfile " + d_ + "server.crt\nkeyfile " +
                          d_ + "server.key\nrequire_certificate true");
    ASSERT_TRUE(broker.Start()) << broker.Log();
    Subscriber watcher(broker.Port(), true, {"site7", "pea 42"}, "#");
    ASSERT_TRUE(watcher.WaitSubscribed());
    std::vector<std::string> args = {Env("WINE", "wine"),
                                     Env("TARVIN_WINDOWS_RECORDER"),
                                     "--port",
                                     kWinePort,
                                     "--window",
                                     "200",
                                     "--site",
                                     "test",
                                     "--sensor",
                                     "win",
                                     "--ha-discovery",
                                     "--mqtt",
                                     broker.Url("site7")};
    if (tls) {
      args.back() = "mqtts://site7@127.0.0.1:" + std::to_string(tls_port);
      args.insert(args.end(), {"--mqtt-ca", "Z:" + d_ + "siteca.crt", "--mqtt-cert", "Z:" + d_ + "client.crt",
                               "--mqtt-key", "Z:" + d_ + "client.key"});
    }
    ::setenv("TARVIN_MQTT_PASSWORD", "pea 42", 1);
    recorder_ = Spawn(args, d_, d_ + "recorder.log");
    ::unsetenv("TARVIN_MQTT_PASSWORD");
    Received state;
    ASSERT_TRUE(watcher.WaitFor([](const Received& r) { return IsState(r, "up"); }, &state)) << broker.Log();
    EXPECT_EQ(state.topic, "tarvin9/test/win/state");
    EXPECT_EQ(state.Json()["firmware"], "2.0");
    ASSERT_TRUE(
        watcher.WaitFor([](const Received& r) { return Subscriber::EndsWith(r.topic, "/alarm/config"); }));

    broker.Stop();
    sim_.Send("intrusion 3");
    const auto until = std::chrono::steady_clock::now() + kGenerous;
    while (Find(ReadJournal(d_ + "journal.jsonl"), "saved") == nullptr &&
           std::chrono::steady_clock::now() < until)
      ::usleep(100 * 1000);
    ASSERT_TRUE(broker.Start()) << broker.Log();
    ASSERT_TRUE(watcher.WaitForEvent("saved"));
    ASSERT_TRUE(
        watcher.WaitFor([](const Received& r) { return Subscriber::EndsWith(r.topic, "/oscillogram"); }));
    std::set<int64_t> seqs;
    for (const Received& r : watcher.Messages())
      if (Subscriber::EndsWith(r.topic, "/event")) seqs.insert(r.Json()["seq"].get<int64_t>());
    EXPECT_EQ(static_cast<std::size_t>(*seqs.rbegin()), seqs.size()) << "an event lost to the outage";

    ::kill(recorder_, SIGKILL);
    WaitExit(recorder_);
    recorder_ = -1;
    Received will;
    ASSERT_TRUE(watcher.WaitFor([](const Received& r) { return IsState(r, "offline"); }, &will));
    EXPECT_EQ(will.payload, R"({"link":"offline"})");
  }

  TempFolder dir_;
  const std::string d_ = dir_.Folder();
  SimProcess sim_;
  pid_t recorder_ = -1;
};

TEST_F(WineMqtt, PlainPublishesThroughABrokerRestartAndItsWillSaysOffline) {
  PublishesThroughARestartAndDies(false);
}

TEST_F(WineMqtt, TlsWithTheSitesCaAndAClientCertificatePublishesThroughARestart) {
  PublishesThroughARestartAndDies(true);
}

}  // namespace
}  // namespace tarvin::testing
