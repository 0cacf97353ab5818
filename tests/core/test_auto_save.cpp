// The automatic save: a threshold above the level or an alarm edge arms it,
// and half a window later the window is written to a file of its own.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "engine/link_engine.h"
#include "link/frame_codec.h"
#include "link/port_fake.h"
#include "scope/oscillogram_file.h"
#include "scope/scope_model.h"
#include "tests/support/engine_probe.h"
#include "tests/support/recorder_sink.h"
#include "tests/support/temp_folder.h"

#ifndef _WIN32
#include <sys/resource.h>

#include <csignal>
#endif

namespace tarvin {
namespace {

using testing::RecorderSink;
using testing::TempFolder;

LocalTime FixedMinute() { return LocalTime{2019, 6, 18, 14, 5}; }

constexpr float kLow = 10.0f;
constexpr float kHigh = 50.0f;

class AutoSaveTest : public ::testing::Test {
 protected:
  AutoSaveTest() : model(sink, sink) {
    model.SetScopeFolder(dir.Folder());
    model.SetLocalTime(FixedMinute);
    model.SetSaveLevel(40.0f);
  }

  // Sample n carries n in `useful`, so a file tells which samples it holds.
  void Sample(float threshold) {
    ScopeSample s;
    s.threshold = threshold;
    s.useful = ++sent;
    model.AppendScopeSample(s);
  }
  void Samples(int n, float threshold) {
    for (int i = 0; i < n; ++i) Sample(threshold);
  }
  std::size_t FileCount() const { return dir.Files().size(); }
  Oscillogram Read(const std::string& path) const {
    Oscillogram o;
    EXPECT_EQ(ReadOscillogram(path, &o), FileStatus::Ok) << path;
    return o;
  }
  std::string AutoPath() const { return AutoFileName(dir.Folder(), FixedMinute()); }

  TempFolder dir;
  RecorderSink sink;
  ScopeModel model;
  uint32_t sent = 0;
};

TEST_F(AutoSaveTest, CrossingAtSample101SavesAtSample601WithTheCrossingInTheMiddle) {
  Samples(100, kLow);
  Sample(kHigh);
  EXPECT_EQ(model.LevelExceeded(), 1);
  EXPECT_EQ(model.PostTriggerCount(), 1);
  Samples(499, kLow);
  EXPECT_EQ(FileCount(), 0u) << "sample 600 is the 500th counted: not yet";
  Sample(kLow);
  ASSERT_EQ(FileCount(), 1u);
  EXPECT_EQ(model.LastAutoSavePath(), AutoPath());
  EXPECT_EQ(model.LevelExceeded(), 0);
  EXPECT_EQ(model.PostTriggerCount(), 0);

  // Only the 601 samples received: nothing before the first is made up.
  const Oscillogram o = Read(AutoPath());
  ASSERT_EQ(o.count, 601);
  EXPECT_EQ(o.useful[0], 1u);
  EXPECT_EQ(o.useful[100], 101u);
  EXPECT_EQ(o.threshold[100], kHigh);
  EXPECT_EQ(o.useful[600], 601u);
  EXPECT_TRUE(sink.boxes.empty());

  Samples(2000, kLow);
  EXPECT_EQ(FileCount(), 1u);
}

TEST_F(AutoSaveTest, WindowOf11SavesAtTheSixthCountedSample) {
  ASSERT_EQ(model.SetWindowLength("11"), FieldResult::Accepted);
  Sample(kHigh);
  Samples(4, kLow);
  EXPECT_EQ(FileCount(), 0u);
  Sample(kLow);
  ASSERT_EQ(FileCount(), 1u);
  const Oscillogram o = Read(AutoPath());
  ASSERT_EQ(o.count, 6);
  EXPECT_EQ(o.useful[0], 1u);
  EXPECT_EQ(o.useful[5], 6u);
}

TEST_F(AutoSaveTest, TheSaveRunsBeforeTheSampleIsDrawn) {
  struct Probe : RecorderSink {
    const TempFolder* dir = nullptr;
    std::vector<std::size_t> files_when_drawn;
    void ScopeAddPoints(uint16_t x, const ScopeSample& s) override {
      files_when_drawn.push_back(dir->Files().size());
      RecorderSink::ScopeAddPoints(x, s);
    }
  } probe;
  probe.dir = &dir;
  ScopeModel m(probe, probe);
  m.SetScopeFolder(dir.Folder());
  m.SetLocalTime(FixedMinute);
  m.SetSaveLevel(40.0f);
  m.SetWindowLength("10");
  for (int i = 0; i < 6; ++i) m.AppendScopeSample(ScopeSample{kHigh, 0, 0, 0, 0});
  EXPECT_EQ(probe.files_when_drawn, (std::vector<std::size_t>{0, 0, 0, 0, 0, 1}));
}

TEST_F(AutoSaveTest, ThresholdEqualToTheLevelArmsNothing) {
  Samples(3000, 40.0f);
  EXPECT_EQ(model.LevelExceeded(), 0);
  EXPECT_EQ(model.PostTriggerCount(), 0);
  EXPECT_EQ(FileCount(), 0u);
  Sample(std::nextafter(40.0f, 100.0f));
  EXPECT_EQ(model.LevelExceeded(), 1);
}

TEST_F(AutoSaveTest, LongRiseWritesOneNewFilePerHalfWindowInTheSameMinute) {
  Samples(2505, kHigh);  // saves at the 501st, 1002nd, 1503rd, 2004th and 2505th
  const std::string stem = dir.Folder() + kSep + "2019.06.18  14 час. 05 мин. ";
  const std::vector<std::string> paths = {stem + ".bin", stem + " (2).bin", stem + " (3).bin",
                                          stem + " (4).bin", stem + " (5).bin"};
  ASSERT_EQ(FileCount(), paths.size());
  const uint32_t saved_at[] = {501, 1002, 1503, 2004, 2505};
  for (std::size_t i = 0; i < paths.size(); ++i) {
    SCOPED_TRACE(paths[i]);
    const Oscillogram o = Read(paths[i]);
    ASSERT_EQ(o.count, i == 0 ? 501 : 1000);  // the first before a whole window had come
    EXPECT_EQ(o.useful[o.count - 1], saved_at[i]);
  }
  EXPECT_EQ(model.LastAutoSavePath(), paths.back());
  EXPECT_EQ(model.PostTriggerCount(), 0);
}

TEST_F(AutoSaveTest, AlarmArmingCountsFromTheNextSample) {
  model.SetWindowLength("11");
  Samples(3, kLow);
  model.ArmSaveOnAlarm();
  model.ArmSaveOnAlarm();  // armed again while armed: the count goes on
  Samples(5, kLow);
  EXPECT_EQ(FileCount(), 0u);
  model.ArmSaveOnAlarm();
  Sample(kLow);
  ASSERT_EQ(FileCount(), 1u);
  const Oscillogram o = Read(AutoPath());
  ASSERT_EQ(o.count, 9);
  EXPECT_EQ(o.useful[8], 9u);
  EXPECT_EQ(model.SaveOnAlarm(), 0);
}

TEST_F(AutoSaveTest, FailureInAMissingFolderIsReportedAndNotRetried) {
  model.SetWindowLength("10");
  model.SetScopeFolder(dir.Folder() + "Chart4pF" + kSep);
  Samples(4, kLow);
  Sample(kHigh);
  Samples(4, kLow);
  const ScopeHistoryArrays before = model.ScopeHistory();
  sink.Clear();
  Sample(kLow);  // the 6th counted
  ASSERT_EQ(sink.boxes.size(), 1u);
  EXPECT_EQ(sink.boxes[0].icon, BoxIcon::None);
  EXPECT_EQ(sink.boxes[0].caption, kAppTitle);
  EXPECT_EQ(sink.boxes[0].text, "Файл не удается открыть");
  EXPECT_EQ(model.LevelExceeded(), 0);
  EXPECT_EQ(model.PostTriggerCount(), 0);
  EXPECT_EQ(std::memcmp(before.useful + 1, model.ScopeHistory().useful, 9 * sizeof(uint32_t)), 0);
  EXPECT_FALSE(std::filesystem::exists(dir.Path() / "Chart4pF"));
  Samples(50, kLow);
  EXPECT_EQ(sink.boxes.size(), 1u);
  EXPECT_TRUE(model.LastAutoSavePath().empty());
}

#ifndef _WIN32
TEST_F(AutoSaveTest, WriteErrorNamesTheFileAndLeavesNoPartialFile) {
  Sample(kHigh);
  Samples(499, kLow);
  sink.Clear();
  {
    // A file-size limit stands in for a full disk.
    const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit limited = old;
    limited.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &limited);
    Sample(kLow);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, old_handler);
  }
  ASSERT_EQ(sink.boxes.size(), 1u);
  EXPECT_EQ(sink.boxes[0].icon, BoxIcon::None);
  EXPECT_EQ(sink.boxes[0].text, "Файл не удается записать: " + AutoPath());
  EXPECT_EQ(FileCount(), 0u);
}
#endif

// The engine arms the save on alarm edges from the sensor's status replies.
class AlarmEdgeTest : public AutoSaveTest {
 protected:
  AlarmEdgeTest() : engine(port, sink, model) {
    EXPECT_TRUE(engine.OpenPort(1));
    model.SetWindowLength("11");
  }

  void StatusReply(uint16_t status) {
    LinkEngineProbe::State(engine).poll = PollStage::Status;
    engine.Poll();
    engine.LinkTick();  // the request goes out when nothing is awaited
    uint16_t words[3] = {0x0041, status, 0};
    words[2] = Calc_KS(words, 2);
    char frame[32];
    const std::size_t n = Write_Frame(':', words, 3, frame, sizeof frame);
    port.Deliver(std::string_view(frame, n));
    engine.LinkTick();
    ASSERT_EQ(sink.reply_code, 65u) << "the status reply was not taken";
  }

  FakePort port;
  LinkEngine engine;
};

TEST_F(AlarmEdgeTest, OnlyTheStartOfAnAlarmArmsTheSave) {
  LinkEngineProbe::SetSaveAlarmTag(engine, 1);
  const struct {
    uint16_t status;
    std::size_t files_after;
  } steps[] = {{0x00, 0}, {0x02, 1}, {0x06, 1}, {0x04, 1}, {0x00, 1}, {0x04, 2}};
  for (const auto& step : steps) {
    SCOPED_TRACE(step.status);
    StatusReply(step.status);
    Samples(6, kLow);  // long enough for an armed save to be written
    EXPECT_EQ(FileCount(), step.files_after);
    EXPECT_EQ(model.SaveOnAlarm(), 0);
  }
}

TEST_F(AlarmEdgeTest, WithSavingOnAlarmDisabledOnlyTheLevelSaves) {
  LinkEngineProbe::SetSaveAlarmTag(engine, 0);
  StatusReply(0x02);
  EXPECT_EQ(model.SaveOnAlarm(), 0);
  Samples(20, kLow);
  EXPECT_EQ(FileCount(), 0u);
  Sample(kHigh);
  Samples(5, kLow);
  EXPECT_EQ(FileCount(), 1u);
}

}  // namespace
}  // namespace tarvin
