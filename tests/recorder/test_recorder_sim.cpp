// tarvin9-recorder against the simulator over a real pseudo-terminal: what it
// journals and saves while the line does what lines do.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "link/line_record.h"
#include "recorder/recorder.h"
#include "scope/oscillogram_file.h"
#include "tests/support/recorder_process.h"
#include "tests/support/sim_process.h"
#include "tests/support/temp_folder.h"

namespace tarvin::testing {
namespace {

int64_t Seq(const std::optional<nlohmann::json>& e) { return e ? e->value("seq", int64_t{0}) : -1; }

// The first sample of the intrusion in a file: the useful signal rises from
// about 10 to about 45.
int Onset(const Oscillogram& file) {
  int onset = 0;
  while (onset < file.count && file.useful[onset] <= 30u) ++onset;
  return onset;
}

class RecorderWithSimulator : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = work_.Folder(); }

  // The simulator, then the recorder on its COM1 with `args`.
  void Begin(const std::vector<std::string>& sim_args, std::vector<std::string> args) {
    ASSERT_TRUE(sim_.Start(dir_, sim_args));
    args.insert(args.begin(), {"--port", "COM1"});
    ASSERT_TRUE(recorder_.Start(dir_, args));
  }

  void TearDown() override {
    if (HasFailure()) {
      std::cerr << "recorder's standard error:\n"
                << recorder_.Stderr() << "\nsimulator's log:\n"
                << sim_.LogTail(40);
    }
  }

  TempFolder work_;
  std::string dir_;
  SimProcess sim_;
  RecorderProcess recorder_;
};

TEST_F(RecorderWithSimulator, IntrusionGivesAlarmThenSaveThenEndWithTheEventInTheMiddle) {
  Begin({}, {"--window", "200"});
  ASSERT_TRUE(recorder_.WaitForEvent("link_up"));
  // A whole window of the stream before the intrusion: 200 samples.
  ASSERT_TRUE(sim_.WaitForStat("samples", 230));
  sim_.Send("intrusion 5");
  const auto begin = recorder_.WaitForEvent("alarm_begin");
  const auto saved = recorder_.WaitForEvent("saved");
  const auto end = recorder_.WaitForEvent("alarm_end");
  ASSERT_TRUE(begin && saved && end);
  EXPECT_LT(Seq(begin), Seq(saved));
  EXPECT_LT(Seq(saved), Seq(end));
  EXPECT_NE(begin->value("alarm_bits", 0), 0);
  EXPECT_EQ(saved->value("trigger", ""), "alarm");
  EXPECT_EQ(saved->value("samples", 0), 200);

  const std::string path = dir_ + saved->value("path", "");
  EXPECT_EQ(std::filesystem::file_size(path), 3u + 20u * 200u);
  Oscillogram file;
  ASSERT_EQ(ReadOscillogram(path, &file), FileStatus::Ok);
  // The save comes 101 samples after the status reply that reported the
  // alarm, which follows the alarm's start within a second (78 samples).
  const int onset = Onset(file);
  EXPECT_GE(onset, 99 - 80);
  EXPECT_LE(onset, 99 + 15);
  for (int i = 1; i < file.count; ++i)
    ASSERT_EQ(file.ekClimate[i], file.ekClimate[i - 1] + 1) << "entry " << i;
}

TEST_F(RecorderWithSimulator, SilenceLosesTheLinkAndItsReturnIsJournalled) {
  Begin({}, {});
  const auto up = recorder_.WaitForEvent("link_up");
  ASSERT_TRUE(up);
  EXPECT_EQ(up->value("firmware", ""), "2.0");
  sim_.Send("silence 8");
  const auto lost = recorder_.WaitForEvent("link_lost", Seq(up));
  ASSERT_TRUE(lost);
  const auto again = recorder_.WaitForEvent("link_up", Seq(lost));
  ASSERT_TRUE(again);
  // Chart transmission is started again after the return: samples flow.
  const long before = sim_.Stats()["samples"];
  EXPECT_TRUE(sim_.WaitForStat("samples", before + 50));
}

TEST_F(RecorderWithSimulator, HangupClosesThePortWhichIsReopenedWhenTheLineReturns) {
  Begin({}, {});
  const auto up = recorder_.WaitForEvent("link_up");
  ASSERT_TRUE(up);
  sim_.Send("hangup");
  const auto closed = recorder_.WaitForEvent("port_closed", Seq(up));
  ASSERT_TRUE(closed);
  sim_.Send("return");
  ASSERT_TRUE(sim_.WaitFor("ready"));
  const auto reopened = recorder_.WaitForEvent("port_reopened", Seq(closed));
  ASSERT_TRUE(reopened);
  EXPECT_EQ(reopened->value("port", ""), "COM1");
  EXPECT_TRUE(recorder_.WaitForEvent("link_up", Seq(reopened)));
}

// COM1 was the simulator's link when the recorder started: while the simulator
// is away the recorder says the link is missing and opens nothing else (not
// /dev/ttyS0), and it comes back to the simulator started again.
TEST_F(RecorderWithSimulator, RestartedSimulatorIsFoundAgainAndNoOtherPortIsOpenedMeanwhile) {
  Begin({}, {});
  const auto up = recorder_.WaitForEvent("link_up");
  ASSERT_TRUE(up);
  sim_.Stop();
  const auto failed = recorder_.WaitForEvent("port_reopen_failed", Seq(up));
  ASSERT_TRUE(failed);
  EXPECT_EQ(failed->value("device", ""), dir_ + "COM1");
  EXPECT_FALSE(failed->value("error", "").empty());
  ASSERT_TRUE(sim_.Start(dir_, {}));
  const auto reopened = recorder_.WaitForEvent("port_reopened", Seq(up));
  ASSERT_TRUE(reopened);
  EXPECT_GT(Seq(reopened), Seq(failed)) << "a port was reopened while COM1 was missing";
  const auto again = recorder_.WaitForEvent("link_up", Seq(reopened));
  ASSERT_TRUE(again);
  EXPECT_EQ(again->value("firmware", ""), "2.0");
}

// A device that is not a serial port is a port that did not open.
TEST_F(RecorderWithSimulator, DeviceThatIsNotASerialPortFailsToOpenWithTheSystemsReason) {
  ASSERT_TRUE(recorder_.Start(dir_, {"--port", "/dev/null", "--duration", "5"}));
  EXPECT_EQ(recorder_.Wait(), kExitPortNotOpened);
  const auto stop = recorder_.WaitForEvent("stop", 0, 1);
  ASSERT_TRUE(stop);
  EXPECT_EQ(stop->value("reason", ""), "port_not_opened");
  EXPECT_EQ(stop->value("device", ""), "/dev/null");
  EXPECT_NE(stop->value("error", "").find("ioctl"), std::string::npos) << stop->dump();
  // The start says every option the run was given, a broker's included.
  const nlohmann::json options = recorder_.Events().front()["options"];
  EXPECT_EQ(options.value("summary_every", 0), 60);
  for (const char* name : {"mqtt", "site", "sensor"}) EXPECT_TRUE(options.contains(name)) << name;
}

TEST_F(RecorderWithSimulator, WrongFirmwareIsJournalledAndEndsWithCode3) {
  Begin({"--version", "0x0102"}, {});
  EXPECT_EQ(recorder_.Wait(), kExitWrongFirmware);
  const auto wrong = recorder_.WaitForEvent("wrong_firmware", 0, 1);
  ASSERT_TRUE(wrong);
  EXPECT_EQ(wrong->value("firmware", ""), "2.1");
  EXPECT_NE(recorder_.Stderr().find("2.1"), std::string::npos) << recorder_.Stderr();
}

TEST_F(RecorderWithSimulator, SigtermStopsChartTransmissionAndEndsTheJournalWithStop) {
  Begin({}, {});
  ASSERT_TRUE(recorder_.WaitForEvent("link_up"));
  ASSERT_TRUE(sim_.WaitForStat("samples", 100)) << "chart transmission never started";
  recorder_.Signal(SIGTERM);
  EXPECT_EQ(recorder_.Wait(), 0);
  const std::vector<nlohmann::json> events = recorder_.Events();
  ASSERT_FALSE(events.empty());
  const nlohmann::json& last = events.back();
  EXPECT_EQ(last.value("event", ""), "stop");
  EXPECT_EQ(last.value("reason", ""), "signal");
  EXPECT_GT(last["counters"].value("frames_received", 0), 100);
  // The sensor was told to stop streaming: its sample count stands still.
  const long after_stop = sim_.Stats()["samples"];
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_EQ(sim_.Stats()["samples"], after_stop);
  // seq counts from 1 without a gap.
  for (std::size_t i = 0; i < events.size(); ++i)
    EXPECT_EQ(events[i].value("seq", 0), static_cast<int>(i + 1));
}

TEST_F(RecorderWithSimulator, SummariesCoverEverySampleOfTheStreamAndTheStopWritesTheRest) {
  Begin({}, {"--summary-every", "10"});
  const auto first = recorder_.WaitForEvent("summary");
  ASSERT_TRUE(first);
  const auto second = recorder_.WaitForEvent("summary", Seq(first));
  ASSERT_TRUE(second);
  // Some samples after it, for the last summary.
  const long streamed = sim_.Stats()["samples"];
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (sim_.Stats()["samples"] < streamed + 20 && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  recorder_.Signal(SIGTERM);
  EXPECT_EQ(recorder_.Wait(), 0);

  // A whole period: about 78 samples a second, none lost, and the simulator's
  // running counter in ekClimate shows that none was left out.
  const nlohmann::json& s = *second;
  EXPECT_NEAR(s.value("seconds", 0.0), 10.0, 0.2);
  const int64_t samples = s.value("samples", int64_t{0});
  EXPECT_GT(samples, 600);
  EXPECT_EQ(s.value("lost", -1), 0);
  EXPECT_EQ(s["ekClimate"].value("max", 0.0) - s["ekClimate"].value("min", 0.0) + 1, samples);
  EXPECT_NEAR(s["ekClimate"].value("mean", 0.0),
              (s["ekClimate"].value("max", 0.0) + s["ekClimate"].value("min", 0.0)) / 2, 0.6);
  // A quiet zone: the threshold stays above the useful signal.
  EXPECT_GT(s["margin"].value("min", 0.0), 0.0);
  EXPECT_EQ(s["margin"].value("over_threshold", -1), 0);
  EXPECT_GE(s["margin"].value("min", 0.0) + 1e-3,
            s["threshold"].value("min", 0.0) - s["useful"].value("max", 0.0));
  EXPECT_TRUE(s["settings"]["direct_component"].is_number_integer()) << s.dump();
  EXPECT_EQ(s["settings"].value("save_level", 0.0), 40.0);

  // The samples after the last summary are in the one just before `stop`.
  const std::vector<nlohmann::json> events = recorder_.Events();
  ASSERT_GE(events.size(), 2u);
  EXPECT_EQ(events.back().value("event", ""), "stop");
  const nlohmann::json& last = events[events.size() - 2];
  ASSERT_EQ(last.value("event", ""), "summary");
  EXPECT_LT(last.value("seconds", 99.0), 10.0);
  EXPECT_EQ(last["ekClimate"].value("min", 0.0), s["ekClimate"].value("max", 0.0) + 1);
}

TEST_F(RecorderWithSimulator, SavesOfOneMinuteNeverOverwriteEachOther) {
  // A threshold held above the level saves every half window.
  Begin({}, {"--window", "100", "--no-save-on-alarm"});
  ASSERT_TRUE(recorder_.WaitForEvent("link_up"));
  ASSERT_TRUE(sim_.WaitForStat("samples", 130));
  sim_.Send("threshold-rise 50 4");
  const auto first = recorder_.WaitForEvent("saved");
  ASSERT_TRUE(first);
  const auto second = recorder_.WaitForEvent("saved", Seq(first));
  ASSERT_TRUE(second);
  EXPECT_EQ(first->value("trigger", ""), "level");
  EXPECT_NE(first->value("path", ""), second->value("path", ""));
  for (const auto* e : {&*first, &*second}) {
    Oscillogram file;
    EXPECT_EQ(ReadOscillogram(dir_ + e->value("path", ""), &file), FileStatus::Ok) << e->dump();
  }
}

TEST_F(RecorderWithSimulator, ARecordingReplayedIntoASecondRecorderGivesTheSameAlarmAndSave) {
  Begin({}, {"--window", "200", "--record-line", "line.txt"});
  ASSERT_TRUE(recorder_.WaitForEvent("link_up"));
  ASSERT_TRUE(sim_.WaitForStat("samples", 230));
  sim_.Send("intrusion 4");
  ASSERT_TRUE(recorder_.WaitForEvent("alarm_end", 0, 60));
  recorder_.Signal(SIGTERM);
  ASSERT_EQ(recorder_.Wait(), 0);
  sim_.Stop();
  const std::vector<std::string> kept = {"link_up", "alarm_begin", "saved", "alarm_end"};
  const std::vector<std::string> original = EventNames(recorder_.Events(), kept);
  ASSERT_EQ(original, (std::vector<std::string>{"link_up", "alarm_begin", "saved", "alarm_end"}));

  TempFolder second;
  std::filesystem::copy_file(dir_ + "line.txt", second.Folder() + "line.txt");
  SimProcess replay;
  ASSERT_TRUE(replay.Start(second.Folder(), {"--replay", second.Folder() + "line.txt"}));
  RecorderProcess again;
  ASSERT_TRUE(again.Start(second.Folder(), {"--port", "COM1", "--window", "200"}));
  ASSERT_TRUE(replay.WaitFor("done")) << replay.LogTail(20);
  ASSERT_TRUE(again.WaitForEvent("alarm_end", 0, 20)) << again.Stderr();
  again.Signal(SIGTERM);
  again.Wait();
  EXPECT_EQ(EventNames(again.Events(), kept), original) << again.Stderr();
}

TEST_F(RecorderWithSimulator, AnAlarmJustBeforeAStopIsSavedWithTheSamplesThereAre) {
  // Half a window is 2500 samples, half a minute: the stop comes first.
  Begin({}, {"--window", "5000"});
  ASSERT_TRUE(recorder_.WaitForEvent("link_up"));
  sim_.Send("intrusion 3");
  ASSERT_TRUE(recorder_.WaitForEvent("alarm_begin"));
  recorder_.Signal(SIGTERM);
  ASSERT_EQ(recorder_.Wait(), 0);
  const auto saved = recorder_.WaitForEvent("saved", 0, 1);
  const auto stop = recorder_.WaitForEvent("stop", 0, 1);
  ASSERT_TRUE(saved && stop);
  EXPECT_LT(Seq(saved), Seq(stop));
  EXPECT_EQ(saved->value("trigger", ""), "alarm");
  EXPECT_TRUE(saved->value("at_stop", false));
  const int samples = saved->value("samples", 0);
  EXPECT_GT(samples, 0);
  EXPECT_LT(samples, 5000);
  Oscillogram file;
  ASSERT_EQ(ReadOscillogram(dir_ + saved->value("path", ""), &file), FileStatus::Ok);
  EXPECT_EQ(file.count, samples);
  EXPECT_GT(file.useful[file.count - 1u], 30u) << "the file ends in the intrusion";
}

TEST_F(RecorderWithSimulator, ARecordingIsAppendedToRunByRunAndAFailedStartTouchesNothing) {
  const std::string earlier = "# tarvin9 line recording 1\n# start earlier\n0.500000 < :old\\r\\n\n";
  std::ofstream(dir_ + "line.txt") << earlier;
  const auto text = [this] {
    std::ifstream in(dir_ + "line.txt");
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  };
  {
    // No such port: the recording, the folder and the journal are as they were.
    RecorderProcess failed;
    ASSERT_TRUE(failed.Start(dir_, {"--port", dir_ + "nothing", "--record-line", "line.txt", "--journal",
                                    "missing/journal.jsonl"}));
    EXPECT_EQ(failed.Wait(), kExitUsage);
    EXPECT_NE(failed.Stderr().find("--journal"), std::string::npos) << failed.Stderr();
    EXPECT_EQ(text(), earlier);
    EXPECT_FALSE(std::filesystem::exists(dir_ + "Chart4pF"));
    RecorderProcess no_port;
    ASSERT_TRUE(no_port.Start(dir_, {"--port", dir_ + "nothing", "--record-line", "line.txt"}));
    EXPECT_EQ(no_port.Wait(), kExitPortNotOpened);
    EXPECT_EQ(text(), earlier);
    EXPECT_FALSE(std::filesystem::exists(dir_ + "Chart4pF"));
    // Journalled as every stop is, and the reason is standard error's last line.
    const nlohmann::json stop = no_port.Events().back();
    EXPECT_EQ(stop.value("reason", ""), "port_not_opened");
    EXPECT_EQ(stop.value("samples", -1), 0);
    EXPECT_TRUE(stop.contains("counters"));
    const std::string err = no_port.Stderr();
    EXPECT_EQ(err.substr(err.rfind('\n', err.size() - 2) + 1).rfind("tarvin9-recorder: cannot open ", 0), 0u)
        << err;
  }
  ASSERT_TRUE(sim_.Start(dir_, {}));
  {
    // The port opens, the journal cannot: still nothing is made.
    RecorderProcess failed;
    ASSERT_TRUE(failed.Start(
        dir_, {"--port", "COM1", "--record-line", "line.txt", "--journal", "missing/journal.jsonl"}));
    EXPECT_EQ(failed.Wait(), kExitUsage);
    EXPECT_EQ(text(), earlier);
    EXPECT_FALSE(std::filesystem::exists(dir_ + "Chart4pF"));
  }
  ASSERT_TRUE(recorder_.Start(dir_, {"--port", "COM1", "--record-line", "line.txt"}));
  ASSERT_TRUE(recorder_.WaitForEvent("link_up"));
  recorder_.Signal(SIGTERM);
  ASSERT_EQ(recorder_.Wait(), 0);
  EXPECT_EQ(text().substr(0, earlier.size()), earlier);
  std::vector<LineRun> runs;
  std::string error;
  ASSERT_TRUE(ReadLineRuns(dir_ + "line.txt", &runs, &error)) << error;
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].start, "earlier");
  EXPECT_EQ(runs[0].chunks.size(), 1u);
  EXPECT_GT(runs[1].chunks.size(), 2u);
  EXPECT_EQ(runs[1].chunks.front().direction, LineDirection::ToSensor);
}

TEST(RecorderStart, APortThatCannotBeOpenedNamesTheDeviceAndEndsWithCode4) {
  TempFolder work;
  RecorderProcess recorder;
  ASSERT_TRUE(recorder.Start(work.Folder(), {"--port", work.Folder() + "no-such-device"}));
  EXPECT_EQ(recorder.Wait(), kExitPortNotOpened);
  const std::string err = recorder.Stderr();
  EXPECT_NE(err.find(work.Folder() + "no-such-device"), std::string::npos) << err;
  EXPECT_NE(err.find("No such file"), std::string::npos) << err;
}

TEST(RecorderStart, BadOptionsAreToldAsAPersonWouldSayThem) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--bogus"}, "tarvin9-recorder: --bogus: no such option"},  // named before the missing --port
      {{"--port", "COM1", "--window", "abc"},
       "\"abc\" is not a number; expected a whole number from 10 to 5000"},
      {{"--port", "COM1", "--save-level", "3"}, "3 is out of range; expected a number from 4 to 4095"},
      {{"--port", "COM1", "--duration", "-1"}, "-1 is not above 0 seconds"},
      {{"--port", "COM1", "--port", "COM2"}, "tarvin9-recorder: --port: given more than once"},
      {{"--port", "COM1", "--journal", "/dev/null"},
       "tarvin9-recorder: --journal: /dev/null is not a regular file"},
      {{"--port", "COM1", "--record-line", "."}, "tarvin9-recorder: --record-line: . is not a regular file"},
  };
  for (const auto& [args, said] : cases) {
    TempFolder work;
    RecorderProcess recorder;
    ASSERT_TRUE(recorder.Start(work.Folder(), args));
    EXPECT_EQ(recorder.Wait(), kExitUsage);
    EXPECT_NE(recorder.Stderr().find(said), std::string::npos) << recorder.Stderr();
  }
}

TEST(RecorderStart, BadOptionsAreNamedAndEndWithCode2TouchingNothing) {
  const std::vector<std::vector<std::string>> cases = {
      {},                                         // --port is required
      {"--port", "COM1", "--window", "9"},        // below 10
      {"--port", "COM1", "--window", "5001"},     // above 5000
      {"--port", "COM1", "--save-level", "3.5"},  // below 4
      {"--port", "COM1", "--save-level", "x"},    // not a number
      {"--port", "COM1", "--duration", "-1"},     // not positive
      {"--port", "COM1", "--no-such-option"},
      {"--port", "COM1", "--summary-every", "9"},     // below 10
      {"--port", "COM1", "--summary-every", "3601"},  // above an hour
      // Places that cannot be made are options too: refused before the journal.
      {"--port", "COM1", "--control", "/nonexistent/dir/ctl"},
      {"--port", "COM1", "--folder", "/dev/null/Chart4pF"},
  };
  for (const auto& args : cases) {
    TempFolder work;
    RecorderProcess recorder;
    ASSERT_TRUE(recorder.Start(work.Folder(), args));
    EXPECT_EQ(recorder.Wait(), kExitUsage) << ::testing::PrintToString(args);
    const std::string err = recorder.Stderr();
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    // Nothing but the captured standard error was made.
    std::size_t entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(work.Path()))
      entries += entry.path().filename() != "recorder.err";
    EXPECT_EQ(entries, 0u) << ::testing::PrintToString(args);
  }
}

}  // namespace
}  // namespace tarvin::testing
