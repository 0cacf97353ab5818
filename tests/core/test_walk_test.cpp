// Walk tests and the quiet figures, driven as a session runs them: status
// replies over the fake port, chart samples between them, time by hand.
#include <gtest/gtest.h>

#include <fstream>

#include "journal/event_tracker.h"
#include "journal/walk_test.h"
#include "session/sensor_session.h"
#include "tests/support/link_frames.h"
#include "tests/support/session_parts.h"
#include "tests/support/temp_folder.h"

namespace tarvin {
namespace {

using testing::Reply;
using testing::VersionReply;

struct WalkRig {
  FakePort port;
  testing::RecorderSink sink;
  Journal journal;
  SensorSession session{
      port, sink, &journal,
      SessionOptions{SessionOptions::Notices::JournalledOnly, SessionOptions::Chart::AsOperatorLeavesIt}};
  EventTracker& tracker = *SessionParts::Tracker(session);
  std::vector<nlohmann::ordered_json> events;
  SensorSession::Clock::time_point now = SensorSession::Clock::time_point{} + std::chrono::hours(1);

  // `path`: the journal's file, appended to as a program's would be.
  explicit WalkRig(const std::string& path = "") {
    if (!path.empty()) journal.Open(path);
    journal.AddObserver([this](const nlohmann::ordered_json& e) {
      if (e["event"] != "balance" && e["event"] != "alarm_known") events.push_back(e);
    });
    SessionParts::Engine(session).OpenPort(1);
    Exchange(0x014D, VersionReply(0x0002, 0));
    Status(0);
    events.clear();
  }
  void Tick(const std::string& bytes = "") {
    port.Deliver(bytes);
    now += std::chrono::milliseconds(40);
    session.Tick(now);
    session.HandleRaised();
  }
  void Exchange(uint16_t command, const std::string& reply) {
    SessionParts::Engine(session).QueueCommand(command);
    Tick();
    Tick(reply);
  }
  void Status(uint16_t word) { Exchange(0x0141, Reply(0x41, {word})); }
  void Samples(int count, float threshold, uint32_t useful) {
    for (int i = 0; i < count; ++i) {
      ScopeSample s;
      s.threshold = threshold;
      s.useful = useful + static_cast<uint32_t>(i % 2);
      tracker.Sample(s);
    }
  }
  const nlohmann::ordered_json& Last(const std::string& name) const {
    for (auto it = events.rbegin(); it != events.rend(); ++it)
      if ((*it)["event"] == name) return *it;
    static const nlohmann::ordered_json none;
    return none;
  }
};

TEST(WalkTest, DetectionsWithTheirMarginsAndQuietOnlyWhatNoAlarmFollowed) {
  WalkRig rig;
  EventTracker& t = rig.tracker;
  rig.Samples(100, 50.0f, 10);  // quiet: useful 10..11 under a threshold of 50
  rig.Status(0);

  // Refused, nothing written: a bad limit, a control character, a long note.
  EXPECT_EQ(t.BeginWalkTest("x", 0, rig.now), WalkTestRefusal::kLimitRange);
  EXPECT_EQ(t.BeginWalkTest("a\nb", 30, rig.now), WalkTestRefusal::kNoteControl);
  EXPECT_EQ(t.BeginWalkTest(std::string(201, 'a'), 30, rig.now), WalkTestRefusal::kNoteTooLong);
  EXPECT_EQ(t.EndWalkTest(3, rig.now), WalkTestRefusal::kNotRunning);
  EXPECT_TRUE(rig.events.empty());

  ASSERT_EQ(t.BeginWalkTest("ворота, в полный рост", 30, rig.now), WalkTestRefusal::kNone);
  EXPECT_EQ(t.BeginWalkTest("again", 30, rig.now), WalkTestRefusal::kRunning);
  EXPECT_EQ(rig.Last("walk_test_begin")["note"], "ворота, в полный рост");
  // A pass: the useful signal rises to 70 over a threshold of 50, then the
  // status reply raises the alarm a poll later; the peak is caught anyway.
  rig.Samples(10, 50.0f, 30);
  rig.Samples(10, 50.0f, 70);
  rig.Status(0x0002);
  rig.Samples(10, 52.0f, 40);
  rig.Status(0);
  const nlohmann::ordered_json& begun = rig.Last("alarm_begin");
  EXPECT_EQ(begun["walk_test"], 1);
  EXPECT_EQ(begun["detection"], 1);
  const nlohmann::ordered_json& ended = rig.Last("alarm_end");
  EXPECT_EQ(ended["walk_test"], 1);
  EXPECT_DOUBLE_EQ(ended["peak"].get<double>(), 71.0);
  EXPECT_DOUBLE_EQ(ended["threshold"].get<double>(), 50.0);
  EXPECT_DOUBLE_EQ(ended["margin"].get<double>(), 21.0);
  EXPECT_GT(ended["over_threshold_s"].get<double>(), 0.0);

  EXPECT_EQ(t.EndWalkTest(1000, rig.now), WalkTestRefusal::kPassesRange);
  ASSERT_EQ(t.EndWalkTest(2, rig.now), WalkTestRefusal::kNone);
  const nlohmann::ordered_json& end = rig.Last("walk_test_end");
  EXPECT_EQ(end["passes"], 2);
  EXPECT_EQ(end["detections"], 1);
  EXPECT_EQ(end["missed"], 1);
  EXPECT_EQ(end["reason"], "operator");

  // Settling for ten seconds, then quiet again; a real alarm outside a test
  // carries no test, and the samples that led up to it are not quiet.
  rig.Samples(50, 50.0f, 45);
  rig.Status(0);
  rig.now += std::chrono::seconds(10);
  rig.Status(0);
  rig.Samples(50, 50.0f, 12);
  rig.Status(0);
  rig.Samples(5, 50.0f, 60);
  rig.Status(0x0002);
  EXPECT_FALSE(rig.Last("alarm_begin").contains("walk_test"));
  rig.Status(0);

  // A test left running ends at its limit, another at the loss of the link,
  // another at the stop; none of them knows how many passes were made.
  ASSERT_EQ(t.BeginWalkTest("", 1, rig.now), WalkTestRefusal::kNone);
  rig.now += std::chrono::seconds(61);
  rig.Tick();
  EXPECT_EQ(rig.Last("walk_test_end")["reason"], "limit");
  EXPECT_TRUE(rig.Last("walk_test_end")["passes"].is_null());
  EXPECT_TRUE(rig.Last("walk_test_end")["missed"].is_null());
  ASSERT_EQ(t.BeginWalkTest("", 30, rig.now), WalkTestRefusal::kNone);
  SessionParts::Engine(rig.session).QueueCommand(0x0141);
  for (int i = 0; i < 6 * 21 + 2; ++i) rig.Tick();
  EXPECT_EQ(rig.Last("walk_test_end")["reason"], "link_lost");
  EXPECT_EQ(rig.Last("walk_test_end")["walk_test"], 3);
  EXPECT_EQ(t.BeginWalkTest("", 30, rig.now), WalkTestRefusal::kNoLink);
  rig.Exchange(0x014D, VersionReply(0x0002, 0));
  rig.Status(0);
  ASSERT_EQ(t.BeginWalkTest("", 30, rig.now), WalkTestRefusal::kNone);
  rig.session.EndRun("signal");
  EXPECT_EQ(rig.Last("walk_test_end")["reason"], "stop");
  EXPECT_EQ(rig.events.back()["event"], "stop");

  // Quiet: the first 100 samples and the 50 after the ten seconds.
  const nlohmann::ordered_json& quiet = rig.Last("summary")["quiet"];
  EXPECT_EQ(quiet["samples"], 150);
  EXPECT_DOUBLE_EQ(quiet["margin_min"].get<double>(), 37.0);
  EXPECT_DOUBLE_EQ(quiet["useful_max"].get<double>(), 13.0);
  EXPECT_GT(quiet["useful_sd"].get<double>(), 0.5);
}

TEST(WalkTest, NumbersGoOnFromTheJournalAndAPassThatRaisedTwoAlarmsIsOneDetectedPass) {
  testing::TempFolder dir;
  const std::string path = dir.Folder() + "journal.jsonl";
  std::ofstream(path)
      << R"({"time":"2026-12-08T10:00:00.000+03:00","seq":4,"event":"walk_test_begin","walk_test":6})"
         "\n"
      << R"({"time":"2026-12-08T10:01:00.000+03:00","seq":5,"event":"walk_test_end","walk_test":7})"
         "\n"
      << R"({"time":"2026-12-08T10:02:00.000+03:00","seq":6,"event":"alarm_begin","walk_test":99})"
         "\n"
      << R"({"time":"2026-12-08T10:03:00.000+03:00","seq":7,"event":"walk_test_begin","walk_te)";
  WalkRig rig(path);
  ASSERT_EQ(rig.tracker.BeginWalkTest("", 30, rig.now), WalkTestRefusal::kNone);
  EXPECT_EQ(rig.Last("walk_test_begin")["walk_test"], 8);
  for (int alarm = 0; alarm < 2; ++alarm) {
    rig.Status(0x0002);
    rig.Status(0);
  }
  ASSERT_EQ(rig.tracker.EndWalkTest(1, rig.now), WalkTestRefusal::kNone);
  const nlohmann::ordered_json& end = rig.Last("walk_test_end");
  EXPECT_EQ(end["passes"], 1);
  EXPECT_EQ(end["detections"], 2);
  EXPECT_EQ(end["detected"], 1);
  EXPECT_EQ(end["missed"], 0);
  ASSERT_EQ(rig.tracker.BeginWalkTest("", 30, rig.now), WalkTestRefusal::kNone);
  EXPECT_EQ(rig.Last("walk_test_begin")["walk_test"], 9);
  const WalkTestTally tally = TallyWalkTest(5, 3);
  EXPECT_EQ(tally.detected + tally.missed, 5);
  EXPECT_EQ(tally.extra, 0);
}

TEST(WalkTest, QuietFiguresMergeAsOneSetAndNotesAreCheckedAsText) {
  QuietFigures all, first, second;
  for (uint32_t v : {3u, 9u, 4u, 12u, 7u, 7u, 1u}) {
    ScopeSample s;
    s.threshold = 20.0f;
    s.useful = v;
    all.Add(s);
    (v % 2 == 0 ? first : second).Add(s);
  }
  first.Merge(second);
  EXPECT_EQ(first.Json().dump(), all.Json().dump());
  EXPECT_EQ(QuietFigures().Json().dump(),
            R"({"samples":0,"margin_min":null,"useful_max":null,"useful_mean":null,"useful_sd":null})");
  std::string cyrillic;  // 200 characters of two bytes each
  for (int i = 0; i < 200; ++i) cyrillic += "ы";
  EXPECT_EQ(CheckWalkTestNote(cyrillic), WalkTestRefusal::kNone);
  EXPECT_EQ(CheckWalkTestNote(cyrillic + "ы"), WalkTestRefusal::kNoteTooLong);
  EXPECT_EQ(CheckWalkTestNote("\xC2\x85"), WalkTestRefusal::kNoteControl);
  EXPECT_EQ(CheckWalkTestNote("a\xFF"), WalkTestRefusal::kNoteNotText);
}

}  // namespace
}  // namespace tarvin
