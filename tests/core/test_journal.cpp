// The event journal: its lines, and the events the tracker makes of what the
// engine and the automatic save report, driven tick by tick over the fake port.
#include <gtest/gtest.h>

#include <fstream>
#include <numeric>
#include <regex>

#include "journal/event_tracker.h"
#include "journal/journal.h"
#include "journal/journal_time.h"
#include "scope/scope_model.h"
#include "session/sensor_session.h"
#include "tests/support/link_frames.h"
#include "tests/support/session_parts.h"
#include "tests/support/temp_folder.h"

namespace tarvin {
namespace {

using testing::EngineRig;
using testing::Reply;
using testing::TempFolder;
using testing::VersionReply;

std::vector<std::string> Lines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(Journal, EachLineIsOneObjectWithTimeSeqAndEventFirst) {
  TempFolder dir;
  const std::string path = dir.Folder() + "journal.jsonl";
  std::vector<nlohmann::ordered_json> seen;
  {
    Journal journal;
    ASSERT_TRUE(journal.Open(path));
    journal.AddObserver([&seen](const nlohmann::ordered_json& e) { seen.push_back(e); });
    journal.Write(Event::Start, {{"port", "COM1"}});
    journal.Write(Event::LinkLost);
    // Bytes that are not UTF-8 are replaced, never a lost line.
    journal.Write(Event::Balance, {{"text", std::string("a\xff") + "b"}});
  }
  const std::vector<std::string> lines = Lines(path);
  ASSERT_EQ(lines.size(), 3u);
  const std::regex time(
      R"(^\{"time":"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d","seq":1,"event":"start","port":"COM1"\}$)");
  EXPECT_TRUE(std::regex_match(lines[0], time)) << lines[0];
  EXPECT_NE(lines[1].find(R"("seq":2,"event":"link_lost"})"), std::string::npos) << lines[1];
  EXPECT_NE(lines[2].find("a\xEF\xBF\xBD"
                          "b"),
            std::string::npos)
      << lines[2];
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0].dump(), lines[0]);

  // A second run appends and counts from 1 again.
  Journal again;
  ASSERT_TRUE(again.Open(path));
  EXPECT_EQ(again.Write(Event::Start).value("seq", 0), 1);
  EXPECT_EQ(Lines(path).size(), 4u);
}

TEST(Journal, LocalTimeCarriesMillisecondsAndTheOffset) {
  using namespace std::chrono;
  const auto when = system_clock::from_time_t(0) + milliseconds(7);
  const std::string text = LocalIsoTime(when);
  EXPECT_TRUE(std::regex_match(text, std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.007[+-]\d\d:\d\d)")))
      << text;
  // Read back by every reader of the journal to the same instant, in any zone.
  EXPECT_EQ(ParseJournalTime(text), 7);
  const int64_t later = 1796680741123;  // 2026-12-07T21:59:01.123Z
  for (const int zone : {0, 3 * 3600, -5 * 3600, 5 * 3600 + 45 * 60})
    EXPECT_EQ(ParseJournalTime(JournalTimeText(later, zone)), later) << zone;
  EXPECT_EQ(JournalTimeText(later, 3 * 3600), "2026-12-08T00:59:01.123+03:00");
}

TEST(Journal, AlarmsAndSavesAreSyncedAfterTheTickNotDuringIt) {
  TempFolder dir;
  Journal journal;
  ASSERT_TRUE(journal.Open(dir.Folder() + "j.jsonl"));
  journal.Write(Event::Balance, {{"text", "x"}});
  EXPECT_FALSE(journal.SyncPending());
  for (const Event event :
       {Event::AlarmBegin, Event::AlarmEnd, Event::Saved, Event::SaveFailed, Event::Stop}) {
    journal.Write(event);
    EXPECT_TRUE(journal.SyncPending()) << EventName(event);
    journal.Settle();
    EXPECT_FALSE(journal.SyncPending());
  }
}

TEST(Journal, AFolderThatCannotBeWrittenStillFeedsTheObservers) {
  TempFolder dir;
  Journal journal;
  std::string reason;
  EXPECT_FALSE(journal.Open(dir.Folder() + "missing/j.jsonl", &reason));
  EXPECT_FALSE(reason.empty());
  int seen = 0;
  journal.AddObserver([&seen](const nlohmann::ordered_json&) { ++seen; });
  journal.Write(Event::Start);
  EXPECT_EQ(seen, 1);
}

// A sensor's session over the fake port, with its journal in memory: what
// the engine reports reaches the tracker through the session, and each tick's
// notices are handled after it, as the recorder handles them.
struct TrackerRig {
  FakePort port;
  testing::RecorderSink sink;
  Journal journal;
  SensorSession session;
  LinkEngine& engine = SessionParts::Engine(session);
  EventTracker& tracker = *SessionParts::Tracker(session);
  std::vector<nlohmann::ordered_json> events;

  explicit TrackerRig(SessionOptions options = {SessionOptions::Notices::JournalledOnly,
                                                SessionOptions::Chart::AsOperatorLeavesIt})
      : session(port, sink, &journal, options) {
    journal.AddObserver([this](const nlohmann::ordered_json& e) { events.push_back(e); });
    engine.OpenPort(1);
  }
  // One tick with `bytes` arriving, then its notices.
  void Tick(const std::string& bytes = "") {
    port.Deliver(bytes);
    session.Tick();
    session.HandleRaised();
  }
  // A command in flight and its reply.
  void Exchange(uint16_t command, const std::string& reply) {
    engine.QueueCommand(command);
    Tick();
    Tick(reply);
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& e : events) names.push_back(e.value("event", ""));
    return names;
  }
};

// The session's scope data with a window of ten, its saves journalled in memory.
struct SavesRig {
  TempFolder dir;
  FakePort port;
  testing::RecorderSink sink;
  Journal journal;
  SensorSession session{port, sink, &journal};
  ScopeModel& model = SessionParts::Scope(session);
  EventTracker& tracker = *SessionParts::Tracker(session);
  std::vector<nlohmann::ordered_json> events;

  SavesRig() {
    journal.AddObserver([this](const nlohmann::ordered_json& e) { events.push_back(e); });
    model.ChooseWindowLength(10);
    model.SetScopeFolder(dir.Folder());
  }
};

TEST(EventTracker, TheLinkComesUpWithItsFirmwareAndGoesDownOnSilence) {
  TrackerRig rig;
  rig.Exchange(0x014D, VersionReply(0x0002, 0));
  ASSERT_EQ(rig.Names(), std::vector<std::string>{"link_up"});
  EXPECT_EQ(rig.events[0].value("firmware", ""), "2.0");
  EXPECT_TRUE(rig.tracker.LinkUp());

  // Six time-outs of a command nobody answers lose the link.
  rig.engine.QueueCommand(0x0141);
  for (int i = 0; i < 6 * 21 + 2; ++i) rig.Tick();
  EXPECT_EQ(rig.Names(), (std::vector<std::string>{"link_up", "link_lost"}));
  EXPECT_FALSE(rig.tracker.LinkUp());

  // The next return is journalled again, with the firmware of its own reply.
  rig.Exchange(0x014D, VersionReply(0x0002, 0));
  EXPECT_EQ(rig.Names().back(), "link_up");
}

TEST(EventTracker, AWrongFirmwareIsNamed) {
  TrackerRig rig;
  rig.Exchange(0x014D, VersionReply(0x0102, 0));
  EXPECT_EQ(rig.Names(), (std::vector<std::string>{"link_up", "wrong_firmware"}));
  EXPECT_EQ(rig.events[1].value("firmware", ""), "2.1");
}

TEST(EventTracker, AlarmEdgesAndBalanceChangesOnly) {
  TrackerRig rig;
  rig.Exchange(0x014D, VersionReply(0x0002, 0));
  rig.events.clear();
  // Status words: balanced (the first since the link came up: the alarm is
  // known to be off), then the alarm (bit 0x02, then both bits: the same
  // alarm), balanced again twice (no second balance event), then the first
  // flank low.
  for (const uint16_t status : {0x0000, 0x0002, 0x0006, 0x0000, 0x0000, 0x0010})
    rig.Exchange(0x0141, Reply(0x41, {status}));
  ASSERT_EQ(rig.Names(),
            (std::vector<std::string>{"balance", "alarm_known", "alarm_begin", "alarm_end", "balance"}));
  EXPECT_EQ(rig.events[0].value("value", ""), "balanced");
  EXPECT_EQ(rig.events[1].value("alarm_bits", -1), 0);
  EXPECT_EQ(rig.events[2].value("alarm_bits", 0), 2);
  EXPECT_EQ(rig.events[3].value("alarm_bits", 0), 6);
  EXPECT_EQ(rig.events[4].value("value", ""), "first_flank_low");
  EXPECT_EQ(rig.tracker.Alarms(), 1u);
}

TEST(EventTracker, AnAlarmInsideARiseNamesItsSaveAndAStopSavesWhatThereIs) {
  SavesRig rig;
  ScopeModel& model = rig.model;
  const auto& events = rig.events;
  uint32_t n = 0;
  const auto run = [&](float threshold, int samples) {
    for (int i = 0; i < samples; ++i) {
      ScopeSample s;
      s.threshold = threshold;
      s.useful = ++n;
      model.AppendScopeSample(s);
    }
  };
  EXPECT_FALSE(model.SavePendingAtStop());  // nothing armed: nothing said
  run(10, 3);
  // The threshold rises first; the alarm inside the rise still names the save.
  run(50, 2);
  model.ArmSaveOnAlarm();
  run(50, 4);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].value("trigger", ""), "alarm");
  EXPECT_TRUE(events[0].value("level_exceeded", false));
  EXPECT_FALSE(events[0].contains("at_stop"));

  // An alarm two samples before a stop: the window's first half and the two.
  run(10, 10);
  model.ArmSaveOnAlarm();
  run(10, 2);
  EXPECT_TRUE(model.SavePendingAtStop());
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[1].value("event", ""), "saved");
  EXPECT_EQ(events[1].value("trigger", ""), "alarm");
  EXPECT_FALSE(events[1].value("level_exceeded", true));
  EXPECT_TRUE(events[1].value("at_stop", false));
  EXPECT_EQ(events[1].value("samples", 0), 10 - (10 / 2 + 1 - 2));
  Oscillogram file;
  ASSERT_EQ(ReadOscillogram(events[1].value("path", ""), &file), FileStatus::Ok);
  ASSERT_EQ(file.count, 6);
  EXPECT_EQ(file.useful[5], n);
  EXPECT_EQ(file.useful[0], n - 5);
  EXPECT_FALSE(model.SavePendingAtStop());  // disarmed by it

  // Before any sample: said unsaved, with the reason.
  ScopeModel fresh(rig.sink, rig.sink);
  fresh.SetSaveListener(&rig.tracker);
  fresh.SetScopeFolder(rig.dir.Folder());
  fresh.ArmSaveOnAlarm();
  EXPECT_TRUE(fresh.SavePendingAtStop());
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[2].value("event", ""), "save_failed");
  EXPECT_TRUE(events[2].value("at_stop", false));
  EXPECT_FALSE(events[2].value("reason", "").empty());
}

// As the recorder runs it, the chart kept running: a save names the alarm
// that armed it, holds only samples that came, and one armed before a loss of
// the link is written with the samples before it when the chart starts again.
TEST(EventTracker, SavesNameTheirAlarmHoldWhatCameAndOutliveALossOfTheLink) {
  TrackerRig rig(SessionOptions{SessionOptions::Notices::JournalledOnly, SessionOptions::Chart::KeptRunning});
  TempFolder dir;
  SessionParts::Scope(rig.session).SetScopeFolder(dir.Folder());
  SessionParts::Scope(rig.session).ChooseWindowLength(20);
  rig.engine.SetSaveOnAlarm(true);
  const auto up = [&rig] {  // the link up, and the two commands that start the chart answered
    rig.Exchange(0x014D, VersionReply(0x0002, 0));
    for (int i = 0; i < 4; ++i) rig.Tick(i % 2 == 1 ? Reply(0x5B, {0}) : "");
  };
  uint16_t sent = 0;  // each sample numbered in its useful signal
  const auto samples = [&](int n) {
    while (n-- > 0) rig.Tick(testing::Stream(0x42, {++sent, 0, 0, 0, 0, 0, 60, 0, 0, 0}));
  };
  const auto status = [&rig](uint16_t bits) {
    rig.Exchange(0x0141, Reply(0x41, {bits}));
    return rig.events.back();
  };
  const auto useful = [](const nlohmann::ordered_json& saved) {
    Oscillogram o;
    EXPECT_EQ(ReadOscillogram(saved.value("path", ""), &o), FileStatus::Ok);
    std::vector<uint32_t> numbers(o.useful.size());
    std::iota(numbers.begin(), numbers.end(), o.useful.empty() ? 0u : o.useful[0]);
    EXPECT_EQ(o.useful, numbers);
    return std::make_pair(o.useful.front(), o.useful.back());
  };
  up();
  samples(4);
  const auto first = status(0x06);  // arms the save
  samples(3);
  status(0x00);
  status(0x02);  // begins while the save waits: arms nothing
  samples(8);
  // Half a window after the first: the 15 samples there are, no zeros before them.
  const auto saved = rig.events.back();
  EXPECT_EQ(saved["alarm_seq"], first["seq"]);
  EXPECT_EQ(saved["alarm_begin"], first["time"]);
  EXPECT_EQ(useful(saved), std::make_pair(1u, 15u));

  status(0x00);
  const auto third = status(0x04);
  samples(2);
  rig.engine.QueueCommand(0x0141);
  for (int i = 0; i < 6 * 21 + 2; ++i) rig.Tick();  // lost
  up();
  // Written before the history is cleared: from where its window would have begun.
  const auto kept = rig.events.back();
  EXPECT_EQ(kept["alarm_seq"], third["seq"]);
  EXPECT_TRUE(kept.value("at_stop", false));
  EXPECT_EQ(useful(kept), std::make_pair(7u, 17u));
}

TEST(EventTracker, AutomaticSavesNameTheirTriggerAndFailuresTheirReason) {
  SavesRig rig;
  ScopeModel& model = rig.model;
  const auto& events = rig.events;
  const auto run = [&model](float threshold, int samples) {
    for (int i = 0; i < samples; ++i) {
      ScopeSample s;
      s.threshold = threshold;
      model.AppendScopeSample(s);
    }
  };
  run(10, 10);
  // The alarm arms first; the threshold rising after it does not rename it.
  model.ArmSaveOnAlarm();
  run(50, 6);
  // Then the threshold alone.
  run(10, 2);
  run(50, 6);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].value("event", ""), "saved");
  EXPECT_EQ(events[0].value("trigger", ""), "alarm");
  EXPECT_EQ(events[0].value("samples", 0), 10);
  EXPECT_EQ(events[1].value("trigger", ""), "level");
  EXPECT_NE(events[0].value("path", ""), events[1].value("path", ""));

  model.SetScopeFolder(rig.dir.Folder() + "missing");
  run(50, 6);
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[2].value("event", ""), "save_failed");
  EXPECT_FALSE(events[2].value("reason", "").empty());
  EXPECT_EQ(rig.tracker.Saves(), 2u);
  EXPECT_EQ(rig.tracker.SaveFailures(), 1u);
}

TEST(EventTracker, SummariesComeOncePerPeriodWithTheMarginAndTheFramesLost) {
  Journal journal;
  std::vector<nlohmann::ordered_json> events;
  journal.AddObserver([&events](const nlohmann::ordered_json& e) { events.push_back(e); });
  EventTracker tracker(journal);
  tracker.SetSummaryPeriod(std::chrono::seconds(60));
  LinkCounters counters;
  const auto t0 = std::chrono::steady_clock::time_point{} + std::chrono::hours(1);
  const auto at = [t0](double seconds) {
    return t0 + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                    std::chrono::duration<double>(seconds));
  };
  const auto sample = [&tracker](float threshold, uint32_t useful, uint32_t climate) {
    ScopeSample s;
    s.threshold = threshold;
    s.useful = useful;
    s.ekClimate = climate;
    tracker.Sample(s);
  };

  tracker.Summarise(at(0), counters, 40.0f);
  tracker.DirectComponent(12);
  sample(50.5f, 10, 1);
  sample(50.5f, 20, 2);
  counters.ChecksumErrors = 2;
  counters.Overflow_buffer = 1;
  tracker.Summarise(at(30), counters, 40.0f);
  sample(50.0f, 55, 3);  // the alarm's samples: useful above the threshold
  sample(60.0f, 60, 4);
  EXPECT_TRUE(events.empty());
  tracker.Summarise(at(60.04), counters, 40.0f);
  ASSERT_EQ(events.size(), 1u);
  const nlohmann::ordered_json& e = events[0];
  EXPECT_EQ(e.value("event", ""), "summary");
  EXPECT_DOUBLE_EQ(e.value("seconds", 0.0), 60.04);
  EXPECT_EQ(e.value("samples", 0), 4);
  EXPECT_EQ(e.value("lost", 0), 3);
  EXPECT_EQ(e["threshold"].dump(), R"({"min":50.0,"max":60.0,"mean":52.75})");
  EXPECT_EQ(e["useful"].dump(), R"({"min":10.0,"max":60.0,"mean":36.25})");
  EXPECT_EQ(e["ekClimate"].value("mean", 0.0), 2.5);
  EXPECT_EQ(e["margin"].dump(), R"({"min":-5.0,"over_threshold":2})");
  EXPECT_EQ(e["settings"].dump(),
            R"({"direct_component":12,"buffer_length":null,"network_address":null,"save_level":40.0})");

  // A period without samples (the chart stopped) writes nothing, and counts
  // from the end of the last one; a stall restarts the count.
  tracker.Summarise(at(120.1), counters, 40.0f);
  sample(45.0f, 5, 5);
  tracker.Summarise(at(179.9), counters, 40.0f);
  EXPECT_EQ(events.size(), 1u);
  tracker.Summarise(at(400), counters, 40.0f);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[1].value("lost", -1), 0);
  EXPECT_EQ(events[1]["margin"].value("min", 0.0), 40.0);
  sample(45.0f, 5, 6);
  tracker.Summarise(at(459), counters, 40.0f);
  EXPECT_EQ(events.size(), 2u);

  // The end of a run writes what came since the last summary.
  tracker.FlushSummary(at(459.5), counters, 40.0f);
  ASSERT_EQ(events.size(), 3u);
  EXPECT_DOUBLE_EQ(events[2].value("seconds", 0.0), 59.5);
  EXPECT_EQ(events[2].value("samples", 0), 1);
}

}  // namespace
}  // namespace tarvin
