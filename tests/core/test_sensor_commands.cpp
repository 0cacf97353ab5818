// The operator's commands: their checks and messages, the commands they
// queue, the saving switches and the opening of a stored oscillogram.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "control/sensor_commands.h"
#include "engine/link_engine.h"
#include "link/frame_codec.h"
#include "link/port_fake.h"
#include "tests/support/engine_probe.h"
#include "tests/support/recorder_sink.h"
#include "tests/support/temp_folder.h"

namespace tarvin {
namespace {

using testing::RecorderSink;
using testing::TempFolder;
using testing::WriteBytes;
using Words = std::vector<uint16_t>;

constexpr const char* kNoLink = "Нет связи с датчиком!";
constexpr const char* kNotStandby = " Дождитесь перехода датчика в дежурный режим!";
constexpr const char* kBadFormat = " Неверный формат данных; повторите ввод";

// A command as the queue holds it: the words and their checksum word.
Words Cmd(Words words) {
  words.push_back(Calc_KS(words.data(), static_cast<uint16_t>(words.size())));
  return words;
}

class SensorCommandsTest : public ::testing::Test {
 protected:
  SensorCommandsTest() : model(sink, sink), engine(port, sink, model), commands(engine, model, sink, sink) {
    LinkEngineProbe::State(engine).link = LinkState::Up;
    LinkEngineProbe::State(engine).SensorBusy = 0;
  }

  std::vector<Words> Queued() const {
    std::vector<Words> out;
    for (int i = 0; i < engine.Exchange().Queue.Count; ++i) {
      const CommandSlot& slot = engine.Exchange().Queue.Slots[i];
      out.emplace_back(slot.usData, slot.usData + slot.usDataLen);
    }
    return out;
  }
  void Restart() {
    LinkEngineProbe::State(engine).Queue.Clear();
    LinkEngineProbe::SetRepeatGuard(engine, 0);
    sink.Clear();
  }
  void ExpectOnlyBox(BoxIcon icon, const std::string& caption, const std::string& text) {
    ASSERT_EQ(sink.boxes.size(), 1u);
    EXPECT_EQ(sink.boxes[0].icon, icon);
    EXPECT_EQ(sink.boxes[0].caption, caption);
    EXPECT_EQ(sink.boxes[0].text, text);
  }

  FakePort port;
  RecorderSink sink;
  ScopeModel model;
  LinkEngine engine;
  SensorCommands commands;
};

TEST_F(SensorCommandsTest, SensorChecksRefuseWithWarnings) {
  const struct {
    int16_t link;
    int16_t busy;
    const char* message;
  } states[] = {{0, 0, kNoLink}, {2, 0, kNoLink}, {0, 1, kNoLink}, {1, 1, kNotStandby}};
  const struct {
    const char* name;
    std::function<void(SensorCommands&)> act;
  } actions[] = {
      {"start", [](SensorCommands& c) { c.StartOrStopChart(); }},
      {"threshold",
       [](SensorCommands& c) { EXPECT_EQ(c.SetThreshold("4", "56"), ThresholdResult::Refused); }},
      {"re-read", [](SensorCommands& c) { c.ReadSettings(); }},
  };
  for (const auto& state : states) {
    for (const auto& action : actions) {
      SCOPED_TRACE(std::string(action.name) + " link " + std::to_string(state.link) + " busy " +
                   std::to_string(state.busy));
      Restart();
      LinkEngineProbe::State(engine).link = static_cast<LinkState>(state.link);
      LinkEngineProbe::State(engine).SensorBusy = state.busy;
      action.act(commands);
      ExpectOnlyBox(BoxIcon::Warning, "Внимание", state.message);
      EXPECT_TRUE(Queued().empty());
      EXPECT_EQ(engine.ChartTag(), 0);
      EXPECT_EQ(engine.RepeatGuard(), 0) << "a refused check must not start the hold-off";
    }
  }
}

TEST_F(SensorCommandsTest, StartQueuesTheFlagsTwiceAndStartsAFreshChart) {
  LinkEngineProbe::SetSensorFlags(engine, 0x0006);
  ScopeModelProbe::SetPointCount(model, 123);
  ScopeModelProbe::History(model).useful[4999] = 9;
  commands.StartOrStopChart();
  EXPECT_EQ(Queued(), (std::vector<Words>{Cmd({0x015B, 0x0004}), Cmd({0x015B, 0x0005})}));
  EXPECT_EQ(engine.SensorFlags(), 0x0005);
  EXPECT_EQ(engine.ChartTag(), 1);
  EXPECT_EQ(sink.chart_running, (std::vector<bool>{true}));
  EXPECT_EQ(model.PointCount(), 0);
  EXPECT_EQ(sink.scope_clears, 1);
  EXPECT_EQ(model.ScopeHistory().useful[4999], 0u);
  EXPECT_TRUE(sink.boxes.empty());
}

TEST_F(SensorCommandsTest, StartWithTheChartBitAlreadySetQueuesOneCommand) {
  LinkEngineProbe::SetSensorFlags(engine, 0x0001);
  commands.StartOrStopChart();
  EXPECT_EQ(Queued(), (std::vector<Words>{Cmd({0x015B, 0x0001})}));
}

TEST_F(SensorCommandsTest, StopClearsTheChartBitAndKeepsThePoints) {
  commands.StartOrStopChart();
  model.AppendScopeSample(ScopeSample{});
  Restart();
  commands.StartOrStopChart();
  EXPECT_EQ(Queued(), (std::vector<Words>{Cmd({0x015B, 0x0000})}));
  EXPECT_EQ(engine.ChartTag(), 0);
  EXPECT_EQ(sink.chart_running, (std::vector<bool>{false}));
  EXPECT_EQ(sink.scope_clears, 0);
  EXPECT_EQ(model.PointCount(), 1);
}

TEST_F(SensorCommandsTest, ThresholdFieldsAtTheirBounds) {
  const struct {
    const char* direct;
    const char* buffer;
    ThresholdResult result;
    const char* message;  // "" when queued
  } cases[] = {
      {"1", "56", ThresholdResult::Queued, ""},
      {"4095", "1", ThresholdResult::Queued, ""},
      {" +20 ", "$10", ThresholdResult::Queued, ""},
      {"0", "56", ThresholdResult::FocusDirectComponent, "Число вне допуска (1-4095); повторите ввод"},
      {"4096", "56", ThresholdResult::FocusDirectComponent, "Число вне допуска (1-4095); повторите ввод"},
      {"65537", "56", ThresholdResult::FocusDirectComponent, "Число вне допуска (1-4095); повторите ввод"},
      {"-65535", "56", ThresholdResult::FocusDirectComponent, "Число вне допуска (1-4095); повторите ввод"},
      {"4.5", "56", ThresholdResult::FocusDirectComponent, kBadFormat},
      {"", "56", ThresholdResult::FocusDirectComponent, kBadFormat},
      {"4", "57", ThresholdResult::BufferLengthInvalid, "Число вне допуска (1-56); повторите ввод"},
      {"4", "0", ThresholdResult::BufferLengthInvalid, "Число вне допуска (1-56); повторите ввод"},
      {"4", "65537", ThresholdResult::BufferLengthInvalid, "Число вне допуска (1-56); повторите ввод"},
      {"4", "x", ThresholdResult::BufferLengthInvalid, kBadFormat},
      {"0", "x", ThresholdResult::FocusDirectComponent, "Число вне допуска (1-4095); повторите ввод"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.direct) + " / " + c.buffer);
    Restart();
    EXPECT_EQ(commands.SetThreshold(c.direct, c.buffer), c.result);
    EXPECT_EQ(engine.RepeatGuard(), 3);
    if (c.result == ThresholdResult::Queued) {
      long long d = 0, b = 0;
      ASSERT_TRUE(ParseInteger(c.direct, &d) && ParseInteger(c.buffer, &b));
      EXPECT_EQ(Queued(), (std::vector<Words>{Cmd({0x015D, uint16_t(d), uint16_t(b)})}));
      EXPECT_TRUE(sink.boxes.empty());
    } else {
      EXPECT_TRUE(Queued().empty());
      ExpectOnlyBox(BoxIcon::None, kAppTitle, c.message);
    }
  }
}

TEST_F(SensorCommandsTest, ThresholdRepeatedWithinTheHoldOffIsRefused) {
  EXPECT_EQ(commands.SetThreshold("0", "56"), ThresholdResult::FocusDirectComponent);
  for (int tick = 0; tick < 3; ++tick) {
    SCOPED_TRACE(tick);
    sink.Clear();
    EXPECT_EQ(commands.SetThreshold("100", "56"), ThresholdResult::Refused);
    ExpectOnlyBox(BoxIcon::Warning, "Внимание", "Повторите команду");
    EXPECT_EQ(engine.RepeatGuard(), 3 - tick) << "a refusal does not restart the hold-off";
    engine.CountDown();
  }
  EXPECT_TRUE(Queued().empty());
  EXPECT_EQ(commands.SetThreshold("100", "56"), ThresholdResult::Queued);
  EXPECT_EQ(Queued(), (std::vector<Words>{Cmd({0x015D, 100, 56})}));
}

TEST_F(SensorCommandsTest, ReReadQueuesTheSettingsRequest) {
  commands.ReadSettings();
  EXPECT_EQ(Queued(), (std::vector<Words>{Cmd({0x015F})}));
}

TEST_F(SensorCommandsTest, SaveOnAlarmSwitchNeedsNoLink) {
  LinkEngineProbe::State(engine).link = LinkState::Lost;
  LinkEngineProbe::State(engine).SensorBusy = 1;
  commands.ToggleSaveOnAlarm();
  EXPECT_EQ(engine.SaveAlarmTag(), 1);
  commands.ToggleSaveOnAlarm();
  EXPECT_EQ(engine.SaveAlarmTag(), 0);
  EXPECT_EQ(sink.save_on_alarm, (std::vector<bool>{true, false}));
  EXPECT_TRUE(sink.boxes.empty());
  EXPECT_TRUE(Queued().empty());
}

TEST_F(SensorCommandsTest, SaveLevelField) {
  EXPECT_EQ(model.SaveLevel(), 40.0f) << "the level starts at what its field shows";
  constexpr const char* kRange = "Число вне допуска (4-4095); повторите ввод";
  const struct {
    const char* text;
    bool accepted;
    float level;
    const char* message;
  } cases[] = {
      {"4", true, 4.0f, ""},         {"999", true, 999.0f, ""},     {"4.5", true, 4.5f, ""},
      {"4,5", true, 4.5f, ""},       {" 4095 ", true, 4095.0f, ""}, {"3.9", false, 0, kRange},
      {"0", false, 0, kRange},       {"-5", false, 0, kRange},      {"4096", false, 0, kRange},
      {"abc", false, 0, kBadFormat}, {"", false, 0, kBadFormat},    {"4.5.1", false, 0, kBadFormat},
      {"nan", false, 0, kBadFormat}, {"inf", false, 0, kBadFormat},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    model.SetSaveLevel(40.0f);
    sink.Clear();
    const FieldResult result = commands.SetSaveLevel(c.text);
    if (c.accepted) {
      EXPECT_EQ(result, FieldResult::Accepted);
      EXPECT_EQ(model.SaveLevel(), c.level);
      EXPECT_TRUE(sink.boxes.empty());
    } else {
      EXPECT_EQ(result, FieldResult::Refused);
      EXPECT_EQ(model.SaveLevel(), 40.0f);
      ExpectOnlyBox(BoxIcon::None, kAppTitle, c.message);
    }
  }
}

TEST_F(SensorCommandsTest, NetworkAddressWrite) {
  constexpr const char* kRange = "Число вне допуска (0-65535); повторите ввод";
  const struct {
    int16_t link, busy;
    const char* text;
    FieldResult result;
    const char* message;  // "" when queued
  } cases[] = {
      {2, 0, "0", FieldResult::Accepted, ""},          {1, 0, "65535", FieldResult::Accepted, ""},
      {1, 0, "-1", FieldResult::Refused, kRange},      {1, 0, "65536", FieldResult::Refused, kRange},
      {1, 0, "12a", FieldResult::Refused, kBadFormat}, {0, 0, "5", FieldResult::Accepted, kNoLink},
      {2, 1, "5", FieldResult::Accepted, kNotStandby},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    Restart();
    LinkEngineProbe::State(engine).link = static_cast<LinkState>(c.link);
    LinkEngineProbe::State(engine).SensorBusy = c.busy;
    EXPECT_EQ(commands.WriteNetworkAddress(c.text), c.result);
    if (*c.message == '\0') {
      long long address = 0;
      ASSERT_TRUE(ParseInteger(c.text, &address));
      EXPECT_EQ(Queued(), (std::vector<Words>{Cmd({0x0160, uint16_t(address), 1})}));
      EXPECT_TRUE(sink.boxes.empty());
    } else {
      EXPECT_TRUE(Queued().empty());
      const std::string message = c.message;
      const bool check = message == kNoLink || message == kNotStandby;
      ExpectOnlyBox(check ? BoxIcon::Warning : BoxIcon::None, check ? "Внимание" : kAppTitle, c.message);
    }
  }
}

TEST_F(SensorCommandsTest, NetworkAddressReadNeedsOnlyAnOpenPort) {
  LinkEngineProbe::State(engine).link = LinkState::Opened;
  LinkEngineProbe::State(engine).SensorBusy = 1;
  commands.ReadNetworkAddress();
  commands.ReadNetworkAddress();
  EXPECT_EQ(Queued(), (std::vector<Words>{Cmd({0x0162})}));
  EXPECT_TRUE(sink.boxes.empty());

  Restart();
  LinkEngineProbe::State(engine).link = LinkState::Lost;
  commands.ReadNetworkAddress();
  EXPECT_TRUE(Queued().empty());
  ExpectOnlyBox(BoxIcon::Warning, "Внимание", kNoLink);
}

TEST_F(SensorCommandsTest, FailedPortOpeningReturnsBothButtons) {
  commands.StartOrStopChart();
  commands.ToggleSaveOnAlarm();
  LinkEngineProbe::SetSensorFlags(engine, 0x00F3);
  sink.Clear();
  commands.ResetAfterFailedOpen();
  EXPECT_EQ(engine.ChartTag(), 0);
  EXPECT_EQ(engine.SaveAlarmTag(), 0);
  EXPECT_EQ(engine.SensorFlags(), 0);
  EXPECT_EQ(sink.chart_running, (std::vector<bool>{false}));
  EXPECT_EQ(sink.save_on_alarm, (std::vector<bool>{false}));
}

class OpenOscillogramTest : public SensorCommandsTest {
 protected:
  OpenOscillogramTest() {
    commands.StartOrStopChart();                            // the live chart runs
    LinkEngineProbe::State(engine).link = LinkState::Lost;  // opening needs no link
    for (uint32_t n = 1; n <= 1000; ++n) model.AppendScopeSample(ScopeSample{1.0f, n, 0, 0, 0});
    Restart();
  }
  void ExpectLiveViewUntouched() {
    EXPECT_EQ(model.PointCount(), 1000);
    EXPECT_EQ(model.WindowLength(), 1000);
    EXPECT_EQ(model.ScopeHistory().useful[999], 1000u);
    EXPECT_EQ(sink.scope_clears, 0);
    EXPECT_TRUE(sink.axes.empty());
  }
  void ExpectStopped() {
    EXPECT_EQ(engine.ChartTag(), 0);
    EXPECT_EQ(sink.chart_running, (std::vector<bool>{false}));
    EXPECT_EQ(Queued(), (std::vector<Words>{Cmd({0x015B, 0x0000})}));
  }
  TempFolder dir;
};

TEST_F(OpenOscillogramTest, AStoredOscillogramIsDrawnWhole) {
  auto history = std::make_unique<ScopeHistoryArrays>();
  for (uint32_t i = 0; i < kHistorySize; ++i) history->input[i] = 7 * i;
  const std::string path = dir.Folder() + "5000.bin";
  ASSERT_EQ(WriteOscillogram(path, *history, 5000), FileStatus::Ok);
  commands.OpenOscillogram(path);
  ExpectStopped();
  ASSERT_EQ(sink.stored_shown.size(), 1u);
  const Oscillogram& shown = *sink.stored_shown[0];
  EXPECT_EQ(shown.count, 5000);
  EXPECT_EQ(shown.input[4999], 7u * 4999u);
  EXPECT_TRUE(sink.boxes.empty());
  ExpectLiveViewUntouched();
}

TEST_F(OpenOscillogramTest, UnreadableWrongAndDamagedFiles) {
  const std::string missing = dir.Folder() + "нет.bin";
  commands.OpenOscillogram(missing);
  ExpectOnlyBox(BoxIcon::None, kAppTitle, "Файл не удается открыть: " + missing);
  EXPECT_EQ(engine.ChartTag(), 1) << "a file that cannot be opened leaves the chart running";
  EXPECT_TRUE(Queued().empty());

  const std::string wrong = dir.Folder() + "wrong.bin";
  WriteBytes(wrong, {1, 10, 0});
  Restart();
  commands.OpenOscillogram(wrong);
  ExpectStopped();
  EXPECT_TRUE(sink.boxes.empty());
  EXPECT_TRUE(sink.stored_shown.empty());

  const std::string shorter = dir.Folder() + "short.bin";
  std::vector<uint8_t> bytes = {2, 10, 0};
  bytes.resize(3 + 20 * 10 - 4);
  WriteBytes(shorter, bytes);
  Restart();
  LinkEngineProbe::SetChartTag(engine, 1);
  commands.OpenOscillogram(shorter);
  ExpectStopped();
  ExpectOnlyBox(BoxIcon::None, kAppTitle, "Файл повреждён или неполон: " + shorter);
  EXPECT_TRUE(sink.stored_shown.empty());
  ExpectLiveViewUntouched();
}

}  // namespace
}  // namespace tarvin
