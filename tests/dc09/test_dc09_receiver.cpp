// The recorder reporting the simulated sensor's events to an alarm receiving
// centre's receiver written by others, over SIA DC-09: what a centre sees,
// plain and encrypted, over TCP and UDP, and what it still sees when the
// receiver, the recorder or the clocks let the path down.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <optional>
#include <regex>

#include "tests/dc09/receiver_rig.h"
#include "tests/support/recorder_process.h"
#include "tests/support/sim_process.h"
#include "tests/support/temp_folder.h"

namespace tarvin::testing {
namespace {

constexpr char kAccount[] = "ABC123";
constexpr int kZone = 7;

// One writer a command, gone again after it: as `echo ... > FIFO` does.
void Say(const std::string& fifo, const std::string& line) { std::ofstream(fifo) << line << "\n"; }

bool Reports(const nlohmann::json& message, const std::string& code) {
  const auto report = ReportedIn(message);
  return report && report->code == code;
}

// The events of `name` in the journal, in order.
std::vector<nlohmann::json> Named(const std::vector<nlohmann::json>& events, const std::string& name) {
  std::vector<nlohmann::json> found;
  for (const nlohmann::json& e : events)
    if (e.value("event", "") == name) found.push_back(e);
  return found;
}

ReceiverOptions Receiving(std::string protocol, std::string key_hex = "", std::string key_text = "",
                          bool sockend = false) {
  ReceiverOptions options;
  options.protocol = std::move(protocol);
  options.account = kAccount;
  options.key_hex = std::move(key_hex);
  options.key_text = std::move(key_text);
  options.sockend = sockend;
  return options;
}

// How the recorder reaches the receiver: its transport and its format, and
// the key both hold.
struct PathCase {
  const char* name;
  ReceiverOptions receiver;
  std::string format;    // "sia" or "cid"
  std::string key_file;  // what the recorder's key file holds; empty: plain
};

void PrintTo(const PathCase& path, std::ostream* out) { *out << path.name; }

class Dc09Path : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(sim_.Start(dir_, {})) << "the simulator did not start"; }
  void TearDown() override {
    if (HasFailure() && receiver_)
      std::cerr << "recorder said:\n" << recorder_.Stderr() << "receiver said:\n" << receiver_->Said();
  }

  void StartReceiver(const PathCase& path) {
    receiver_.emplace(dir_, path.receiver);
    ASSERT_TRUE(receiver_->Start()) << receiver_->Said();
  }
  // The recorder against the simulator, reporting to the receiver, its
  // walk tests through `control`; waits until the alarm is known.
  // `main`: a path of its own instead of the receiver's; `extra`: more options.
  void StartRecorder(const PathCase& path, const std::string& main = "",
                     std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"--port",         dir_ + "COM1",
                                     "--folder",       dir_ + "Chart4pF",
                                     "--journal",      dir_ + "journal.jsonl",
                                     "--window",       "200",
                                     "--control",      "control",
                                     "--dc09",         main.empty() ? receiver_->Url() : main,
                                     "--dc09-account", kAccount,
                                     "--dc09-zone",    std::to_string(kZone),
                                     "--dc09-format",  path.format};
    args.insert(args.end(), extra.begin(), extra.end());
    if (!path.key_file.empty()) {
      std::ofstream(dir_ + "centre.key") << path.key_file;
      args.insert(args.end(), {"--dc09-key", dir_ + "centre.key"});
    }
    ASSERT_TRUE(recorder_.Start(dir_, args));
    ASSERT_TRUE(WaitForEvent("alarm_known")) << recorder_.Stderr();
  }

  // The recorder's latest run: the journal from its last `start` on (each
  // run counts its seq from 1 again in the same journal).
  std::vector<nlohmann::json> ThisRun() const {
    std::vector<nlohmann::json> events = recorder_.Events();
    auto start = events.begin();
    for (auto e = events.begin(); e != events.end(); ++e)
      if (e->value("event", "") == "start") start = e;
    return {start, events.end()};
  }
  // The first event `name` of this run with a seq above `after`, waited for
  // while the recorder runs.
  std::optional<nlohmann::json> WaitForEvent(const std::string& name, int64_t after = 0) {
    const auto until = std::chrono::steady_clock::now() + kReceiverPatience;
    do {
      const bool ended = recorder_.Ended();
      for (const nlohmann::json& e : ThisRun())
        if (e.value("event", "") == name && e.value("seq", int64_t{0}) > after) return e;
      if (ended) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    } while (std::chrono::steady_clock::now() < until);
    return std::nullopt;
  }
  // An intrusion of `seconds`, waited for until its end is journalled.
  std::optional<nlohmann::json> Intrusion(int seconds = 2) {
    const auto events = ThisRun();
    const int64_t after = events.empty() ? 0 : events.back().value("seq", int64_t{0});
    sim_.Send("intrusion " + std::to_string(seconds));
    return WaitForEvent("alarm_end", after);
  }
  // The codes the receiver acknowledged, in order, and those among them
  // that are one of `kept`.
  std::vector<Reported> Received(const std::vector<std::string>& kept) const {
    std::vector<Reported> reports;
    for (const nlohmann::json& m : receiver_->All("message")) {
      const auto report = ReportedIn(m);
      if (report && std::find(kept.begin(), kept.end(), report->code) != kept.end())
        reports.push_back(*report);
    }
    return reports;
  }

  TempFolder folder_;
  const std::string dir_ = folder_.Folder();
  SimProcess sim_;
  RecorderProcess recorder_;
  std::optional<Receiver> receiver_;
};

class Dc09Paths : public Dc09Path, public ::testing::WithParamInterface<PathCase> {};

TEST_P(Dc09Paths, AnAlarmAndAWalkTestsDetectionArriveAsTheirCodesWithTheZone) {
  const PathCase& path = GetParam();
  ASSERT_NO_FATAL_FAILURE(StartReceiver(path));
  ASSERT_NO_FATAL_FAILURE(StartRecorder(path));
  const bool sia = path.format == "sia";
  const std::vector<std::string> want =
      sia ? std::vector<std::string>{"BA", "BH", "TS", "BX", "TE"}
          : std::vector<std::string>{"E131", "R131", "E607", "E613", "R607"};

  ASSERT_TRUE(Intrusion());
  ASSERT_TRUE(receiver_->WaitForMessage([&](const nlohmann::json& m) { return Reports(m, want[1]); }));
  Say(dir_ + "control", "walk-test start");
  ASSERT_TRUE(WaitForEvent("walk_test_begin")) << recorder_.Stderr();
  const auto detection = Intrusion();
  ASSERT_TRUE(detection);
  ASSERT_TRUE(detection->contains("walk_test"));
  Say(dir_ + "control", "walk-test end 1");
  ASSERT_TRUE(receiver_->WaitForMessage([&](const nlohmann::json& m) { return Reports(m, want[4]); }));

  std::vector<std::string> codes;
  for (const Reported& r : Received(want)) {
    codes.push_back(r.code);
    // The walk test's begin and end are the zone's too, but some formats put the user there.
    const bool alarm = r.code != want[2] && r.code != want[4];
    if (alarm) {
      EXPECT_EQ(r.zone, kZone) << r.code;
    }
  }
  EXPECT_EQ(codes, want);
  for (const nlohmann::json& m : receiver_->All("message")) {
    EXPECT_EQ(m["act"], kAccount);
    EXPECT_EQ(m["id"], std::string(path.key_file.empty() ? "" : "*") + (sia ? "SIA-DCS" : "ADM-CID")) << m;
  }
  // Every frame was taken: a pad, a CRC or a length wrong only sometimes shows here.
  EXPECT_TRUE(receiver_->All("error").empty()) << receiver_->Said();
  EXPECT_EQ(recorder_.End(SIGTERM), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Transports, Dc09Paths,
    ::testing::Values(PathCase{"TcpPlainSia", Receiving("tcp"), "sia", ""},
                      PathCase{"UdpAes128ContactId", Receiving("udp", "00112233445566778899AABBCCDDEEFF"),
                               "cid", "00112233445566778899AABBCCDDEEFF"},
                      PathCase{"TcpAes256SiaClosingEachConnection",
                               Receiving("tcp", "", "Centre key, 32 characters long!!", true), "sia",
                               "text:Centre key, 32 characters long!!"}),
    [](const ::testing::TestParamInfo<PathCase>& info) { return std::string(info.param.name); });

const PathCase kPlain{"TcpPlainSia", Receiving("tcp"), "sia", ""};

TEST_F(Dc09Path, AnAlarmWhileTheReceiverIsDownArrivesInOrderOnceItIsBackOnItsPort) {
  ASSERT_NO_FATAL_FAILURE(StartReceiver(kPlain));
  ASSERT_NO_FATAL_FAILURE(StartRecorder(kPlain));
  receiver_->Stop();
  const auto end = Intrusion(3);
  ASSERT_TRUE(end);
  ASSERT_TRUE(WaitForEvent("dc09_path_down")) << recorder_.Stderr();
  ASSERT_TRUE(receiver_->Restart()) << receiver_->Said();
  ASSERT_TRUE(receiver_->WaitForMessage([](const nlohmann::json& m) { return Reports(m, "BH"); }));
  ASSERT_TRUE(WaitForEvent("dc09_path_up"));
  EXPECT_EQ(recorder_.End(SIGTERM), 0);

  std::vector<std::string> codes;
  for (const Reported& r : Received({"BA", "BH"})) codes.push_back(r.code);
  EXPECT_EQ(codes, (std::vector<std::string>{"BA", "BH"}));
  const auto events = recorder_.Events();
  // The path came up at the start; from its loss on: down, then up again with the alarm waiting.
  std::vector<std::string> path = EventNames(events, {"dc09_path_down", "dc09_path_up"});
  path.erase(path.begin(), std::find(path.begin(), path.end(), "dc09_path_down"));
  EXPECT_EQ(path, (std::vector<std::string>{"dc09_path_down", "dc09_path_up"}));
  EXPECT_EQ(Named(events, "dc09_path_up").back().value("waiting", 0), 2);
  // Each acknowledgement names the event it settles.
  const auto begin = Named(events, "alarm_begin");
  ASSERT_EQ(begin.size(), 1u);
  std::vector<std::string> acked;
  for (const nlohmann::json& a : Named(events, "dc09_acked")) {
    if (a["code"] == "BA" || a["code"] == "BH") acked.push_back(a["code"]);
    const nlohmann::json& settles = a["code"] == "BA" ? begin[0] : *end;
    if (a["code"] == "BA" || a["code"] == "BH") {
      EXPECT_EQ(a["event_seq"], settles["seq"]) << a;
    }
  }
  EXPECT_EQ(acked, codes);
}

// The main path refused (a receiver gone from its port): every message is
// settled over the backup, and the centre was never out of reach.
TEST_F(Dc09Path, WhileTheMainPathIsRefusedTheBackupCarriesEveryMessage) {
  Receiver gone(dir_ + "gone-", Receiving("tcp"));
  ASSERT_TRUE(gone.Start()) << gone.Said();
  gone.Stop();
  ASSERT_NO_FATAL_FAILURE(StartReceiver(kPlain));
  ASSERT_NO_FATAL_FAILURE(StartRecorder(kPlain, gone.Url(), {"--dc09-backup", receiver_->Url()}));
  ASSERT_TRUE(Intrusion());
  ASSERT_TRUE(receiver_->WaitForMessage([](const nlohmann::json& m) { return Reports(m, "BH"); }));
  EXPECT_EQ(recorder_.End(SIGTERM), 0);
  const auto acked = Named(recorder_.Events(), "dc09_acked");
  ASSERT_GE(acked.size(), 4u) << "start, link_up, the alarm's begin and end";
  for (const nlohmann::json& a : acked) EXPECT_EQ(a["path"], "backup") << a;
  EXPECT_TRUE(Named(recorder_.Events(), "dc09_path_down").empty());
}

TEST_F(Dc09Path, EventsLeftWaitingWhenTheRecorderStoppedAreSentFirstByTheNextRun) {
  ASSERT_NO_FATAL_FAILURE(StartReceiver(kPlain));
  receiver_->Stop();
  ASSERT_NO_FATAL_FAILURE(StartRecorder(kPlain));
  ASSERT_TRUE(Intrusion());
  const nlohmann::json begin = Named(ThisRun(), "alarm_begin").at(0);
  EXPECT_EQ(recorder_.End(SIGTERM), 0);

  ASSERT_TRUE(receiver_->Restart()) << receiver_->Said();
  ASSERT_NO_FATAL_FAILURE(StartRecorder(kPlain));
  nlohmann::json end;
  ASSERT_TRUE(receiver_->WaitForMessage([](const nlohmann::json& m) { return Reports(m, "BH"); }, &end));
  std::vector<std::string> codes;
  for (const Reported& r : Received({"BA", "BH"})) codes.push_back(r.code);
  EXPECT_EQ(codes, (std::vector<std::string>{"BA", "BH"}));
  // Sent later than it happened: the event's own time goes with it.
  EXPECT_EQ(end["data_extended"].get<std::string>().rfind('H', 0), 0u) << end;
  ASSERT_TRUE(WaitForEvent("dc09_acked"));
  bool begin_acked = false;
  for (const nlohmann::json& a : Named(ThisRun(), "dc09_acked"))
    begin_acked = begin_acked || (a["code"] == "BA" && a["event_time"] == begin["time"]);
  EXPECT_TRUE(begin_acked) << "no dc09_acked for the alarm_begin at " << begin["time"];
  EXPECT_EQ(recorder_.End(SIGTERM), 0);
}

TEST_F(Dc09Path, AReceiverAheadOfOurClockRefusesOnceAndTheSameNumberIsSettled) {
  PathCase ahead = kPlain;
  ahead.receiver.ahead_s = 120;
  ASSERT_NO_FATAL_FAILURE(StartReceiver(ahead));
  ASSERT_NO_FATAL_FAILURE(StartRecorder(ahead));
  ASSERT_TRUE(Intrusion());
  ASSERT_TRUE(receiver_->WaitForMessage([](const nlohmann::json& m) { return Reports(m, "BH"); }));

  // The frame the receiver refused, and the message it took with its number.
  std::string refused_seq;
  for (const nlohmann::json& line : receiver_->Lines()) {
    if (line.contains("error")) break;
    static const std::regex seq(R"re("(?:\*?[A-Z-]+)"(\d{4}))re");
    std::smatch m;
    const std::string frame = line.value("frame", "");
    if (std::regex_search(frame, m, seq)) refused_seq = m[1];
  }
  ASSERT_FALSE(refused_seq.empty()) << receiver_->Said();
  EXPECT_EQ(receiver_->All("error").size(), 1u) << "the clock's offset was learnt once";
  ASSERT_TRUE(receiver_->WaitForMessage([&](const nlohmann::json& m) { return m["seq"] == refused_seq; }))
      << receiver_->Said();
  ASSERT_TRUE(WaitForEvent("dc09_acked"));
  bool journalled = false;
  for (const nlohmann::json& a : Named(ThisRun(), "dc09_acked")) {
    const nlohmann::json& seq = a["dc09_seq"];
    journalled = journalled || (seq.is_number() ? seq == std::stoi(refused_seq) : seq == refused_seq);
  }
  EXPECT_TRUE(journalled) << "no dc09_acked for the sequence number " << refused_seq;
  EXPECT_EQ(recorder_.End(SIGTERM), 0);
}

}  // namespace
}  // namespace tarvin::testing
