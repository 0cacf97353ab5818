// The oscilloscope's data half: the history, the scrolling series, the fields
// that set the window and the axis, and the manual save.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "scope/scope_model.h"
#include "tests/support/engine_probe.h"
#include "tests/support/recorder_sink.h"
#include "tests/support/temp_folder.h"

namespace tarvin {
namespace {

using testing::ReadBytes;
using testing::RecorderSink;
using testing::TempFolder;

LocalTime FixedMinute() { return LocalTime{2019, 6, 18, 14, 5}; }

ScopeSample Numbered(uint32_t n, float threshold = 1.0f) {
  ScopeSample s;
  s.threshold = threshold;
  s.useful = n;
  s.ekNoise = 100000 + n;
  s.ekClimate = 200000 + n;
  s.input = 300000 + n;
  return s;
}

// The number of points each series holds, replayed from the calls the sink saw.
int SeriesSize(const RecorderSink& sink) {
  int size = 0;
  for (const std::string& call : sink.calls) {
    if (call == "ScopeClear")
      size = 0;
    else if (call.rfind("ScopeAddPoints", 0) == 0)
      ++size;
    else if (call == "ScopeDropOldest")
      --size;
  }
  return size;
}

class ScopeModelTest : public ::testing::Test {
 protected:
  ScopeModelTest() : model(sink, sink) {
    model.SetScopeFolder(dir.Folder());
    model.SetLocalTime(FixedMinute);
    model.SetSaveLevel(1e9f);  // no automatic save unless a test wants one
  }

  void Append(uint32_t from, uint32_t to) {
    for (uint32_t n = from; n <= to; ++n) model.AppendScopeSample(Numbered(n));
  }

  TempFolder dir;
  RecorderSink sink;
  ScopeModel model;
};

TEST_F(ScopeModelTest, OneAppendShowsStoresThenDraws) {
  model.AppendScopeSample(Numbered(7, 12.5f));
  EXPECT_EQ(sink.calls, (std::vector<std::string>{"ScopeGrid", "ScopeAddPoints 0"}));
  ASSERT_EQ(sink.grids.size(), 1u);
  EXPECT_EQ(sink.grids[0].threshold, 12.5f);
  EXPECT_EQ(sink.grids[0].useful, 7u);
  EXPECT_EQ(sink.grids[0].input, 300007u);
  EXPECT_EQ(sink.points[0].sample.ekClimate, 200007u);
  EXPECT_EQ(model.PointCount(), 1);
}

TEST_F(ScopeModelTest, HistoryShiftsWithinTheWindowOnly) {
  ASSERT_EQ(model.SetWindowLength("10"), FieldResult::Accepted);
  ScopeHistoryArrays& h = ScopeModelProbe::History(model);
  h.useful[10] = 0xBEEF;  // beyond the window: never touched
  h.threshold[10] = -3.0f;
  Append(1, 12);
  for (uint32_t i = 0; i < 10; ++i) {
    EXPECT_EQ(h.useful[i], 3 + i);
    EXPECT_EQ(h.ekNoise[i], 100003 + i);
    EXPECT_EQ(h.ekClimate[i], 200003 + i);
    EXPECT_EQ(h.input[i], 300003 + i);
    EXPECT_EQ(h.threshold[i], 1.0f);
  }
  EXPECT_EQ(h.useful[10], 0xBEEFu);
  EXPECT_EQ(h.threshold[10], -3.0f);
}

TEST_F(ScopeModelTest, SeriesScrollAndNeverHoldMoreThanTheWindow) {
  ASSERT_EQ(model.SetWindowLength("10"), FieldResult::Accepted);
  sink.Clear();
  for (uint32_t n = 1; n <= 25; ++n) {
    const int drops_before = sink.scope_drops;
    model.AppendScopeSample(Numbered(n));
    EXPECT_EQ(sink.scope_drops - drops_before, n > 10 ? 1 : 0) << n;
    EXPECT_EQ(SeriesSize(sink), std::min<int>(int(n), 10)) << n;
    EXPECT_EQ(sink.points.back().x, n - 1);
  }
}

TEST_F(ScopeModelTest, PointCountWrapsAt65535AndTheSeriesStartAgain) {
  ASSERT_EQ(model.SetWindowLength("10"), FieldResult::Accepted);
  sink.Clear();
  for (uint32_t n = 1; n <= 65535; ++n) model.AppendScopeSample(Numbered(n));
  EXPECT_EQ(model.PointCount(), 0);
  EXPECT_EQ(sink.scope_clears, 1);
  EXPECT_EQ(sink.points.back().x, 65534);
  EXPECT_EQ(SeriesSize(sink), 0);

  model.AppendScopeSample(Numbered(65536));
  EXPECT_EQ(sink.points.back().x, 0);
  EXPECT_EQ(model.PointCount(), 1);
  EXPECT_EQ(SeriesSize(sink), 1);
  EXPECT_EQ(sink.scope_drops, 65534 - 10);  // appends 11..65534; the wrapping one drops nothing
}

struct FieldCase {
  const char* text;
  bool accepted;
  const char* message;  // for a refusal
  int32_t value;        // for an acceptance
};

constexpr const char* kNotInteger = "Вы ввели ошибочное число; повторите ввод";

void ExpectPlainBox(const RecorderSink& sink, const char* text) {
  ASSERT_EQ(sink.boxes.size(), 1u);
  EXPECT_EQ(sink.boxes[0].icon, BoxIcon::None);
  EXPECT_EQ(sink.boxes[0].caption, kAppTitle);
  EXPECT_EQ(sink.boxes[0].text, text);
}

TEST_F(ScopeModelTest, WindowLengthField) {
  constexpr const char* kRange = "Вы ввели ошибочное число. Допуск: 10-5000. Повторите ввод";
  const FieldCase cases[] = {
      {"9", false, kRange, 0},         {"5001", false, kRange, 0},     {"65546", false, kRange, 0},
      {"-10", false, kRange, 0},       {"abc", false, kNotInteger, 0}, {"", false, kNotInteger, 0},
      {"10.5", false, kNotInteger, 0}, {"10", true, "", 10},           {"5000", true, "", 5000},
      {" 250 ", true, "", 250},        {"$10", true, "", 16},          {"0x3E8", true, "", 1000},
  };
  for (const FieldCase& c : cases) {
    SCOPED_TRACE(c.text);
    ScopeModelProbe::SetWindowLength(model, 777);
    ScopeModelProbe::SetPointCount(model, 5);
    sink.Clear();
    const FieldResult result = model.SetWindowLength(c.text);
    if (c.accepted) {
      EXPECT_EQ(result, FieldResult::Accepted);
      EXPECT_EQ(model.WindowLength(), c.value);
      EXPECT_EQ(model.PointCount(), 0);
      EXPECT_EQ(sink.scope_clears, 1);
      EXPECT_TRUE(sink.boxes.empty());
    } else {
      EXPECT_EQ(result, FieldResult::Refused);
      ExpectPlainBox(sink, c.message);
      EXPECT_EQ(model.WindowLength(), 777);
      EXPECT_EQ(model.PointCount(), 5);
      EXPECT_EQ(sink.scope_clears, 0);
    }
  }
}

TEST_F(ScopeModelTest, AxisFields) {
  constexpr const char* kMinRange = "Вы ввели ошибочное число. Допуск:0-4095. Повторите ввод";
  constexpr const char* kMaxRange = "Вы ввели ошибочное число. Допуск: 0-65535. Повторите ввод";
  const FieldCase min_cases[] = {
      {"-1", false, kMinRange, 0}, {"4096", false, kMinRange, 0}, {"x", false, kNotInteger, 0},
      {"0", true, "", 0},          {"4095", true, "", 4095},
  };
  const FieldCase max_cases[] = {
      {"-1", false, kMaxRange, 0},
      {"65536", false, kMaxRange, 0},
      {"4294967396", false, kMaxRange, 0},
      {"1e3", false, kNotInteger, 0},
      {"0", true, "", 0},
      {"65535", true, "", 65535},
      {"40000", true, "", 40000},
  };
  for (const bool is_max : {false, true}) {
    for (const FieldCase& c : is_max ? std::vector<FieldCase>(std::begin(max_cases), std::end(max_cases))
                                     : std::vector<FieldCase>(std::begin(min_cases), std::end(min_cases))) {
      SCOPED_TRACE(std::string(is_max ? "Ymax " : "Ymin ") + c.text);
      ScopeModelProbe::SetAxis(model, 7, 70);
      ScopeModelProbe::SetPointCount(model, 5);
      sink.Clear();
      const FieldResult result = is_max ? model.SetAxisMax(c.text) : model.SetAxisMin(c.text);
      if (c.accepted) {
        EXPECT_EQ(result, FieldResult::Accepted);
        const std::pair<int32_t, int32_t> axis =
            is_max ? std::make_pair(7, c.value) : std::make_pair(c.value, 70);
        EXPECT_EQ(sink.axes, (std::vector<std::pair<int32_t, int32_t>>{axis}));
        EXPECT_EQ(is_max ? model.YMax() : model.YMin(), c.value);
        EXPECT_EQ(model.PointCount(), 0);
        EXPECT_EQ(sink.scope_clears, 1);
      } else {
        EXPECT_EQ(result, FieldResult::Refused);
        ExpectPlainBox(sink, c.message);
        EXPECT_TRUE(sink.axes.empty());
        EXPECT_EQ(model.YMin(), 7);
        EXPECT_EQ(model.YMax(), 70);
        EXPECT_EQ(model.PointCount(), 5);
      }
    }
  }
}

TEST_F(ScopeModelTest, AcceptedWindowKeepsTheHistory) {
  Append(1, 20);
  model.SetWindowLength("1000");
  EXPECT_EQ(model.ScopeHistory().useful[999], 20u);
}

TEST_F(ScopeModelTest, DefaultsAtStartUp) {
  model.SetWindowLength("10");
  model.SetAxisMax("500");
  Append(1, 3);
  sink.Clear();
  model.SetDefaults();
  EXPECT_EQ(model.WindowLength(), 1000);
  EXPECT_EQ(model.YMin(), 0);
  EXPECT_EQ(model.YMax(), 100);
  EXPECT_EQ(model.PointCount(), 0);
  EXPECT_EQ(sink.axes, (std::vector<std::pair<int32_t, int32_t>>{{0, 100}}));
  EXPECT_EQ(sink.scope_clears, 1);
  const ScopeHistoryArrays& h = model.ScopeHistory();
  for (uint32_t i = 0; i < kHistorySize; ++i) {
    ASSERT_EQ(h.useful[i] | h.ekNoise[i] | h.ekClimate[i] | h.input[i], 0u) << i;
    ASSERT_EQ(h.threshold[i], 0.0f) << i;
  }
}

TEST_F(ScopeModelTest, ManualSaveNeedsAWholeWindowDrawn) {
  model.SetWindowLength("10");
  Append(1, 9);
  sink.Clear();
  EXPECT_FALSE(model.ManualSaveAllowed());
  ASSERT_EQ(sink.boxes.size(), 1u);
  EXPECT_EQ(sink.boxes[0].icon, BoxIcon::Warning);
  EXPECT_EQ(sink.boxes[0].caption, "Внимание");
  EXPECT_EQ(sink.boxes[0].text, "Число точек, прорисованных на экране, меньше заданному в поле <Х>");
  Append(10, 10);
  sink.Clear();
  EXPECT_TRUE(model.ManualSaveAllowed());
  EXPECT_TRUE(sink.boxes.empty());
}

TEST_F(ScopeModelTest, ManualSaveWritesTheWindowUnderTheOperatorsName) {
  model.SetWindowLength("10");
  Append(1, 10);
  ASSERT_TRUE(model.SaveManual("опыт", FixedMinute()));
  EXPECT_EQ(model.LastSaveName(), "опыт");
  const std::string path = ManualFileName(dir.Folder(), FixedMinute(), "опыт");
  const auto first = ReadBytes(path);
  ASSERT_EQ(first.size(), 3u + 20u * 10u);
  EXPECT_EQ(first[3 + 40], 1);  // useful entry 0: the oldest sample

  // The same name in the same minute replaces the operator's earlier file.
  Append(11, 11);
  ASSERT_TRUE(model.SaveManual("опыт", FixedMinute()));
  EXPECT_EQ(dir.Files().size(), 1u);
  EXPECT_EQ(ReadBytes(path)[3 + 40], 2);
  EXPECT_TRUE(sink.boxes.empty());
}

TEST_F(ScopeModelTest, ManualSaveIntoAMissingFolderLeavesTheHistoryAlone) {
  model.SetWindowLength("10");
  Append(1, 10);
  model.SetScopeFolder(dir.Folder() + "Chart4pF" + kSep);
  const ScopeHistoryArrays before = model.ScopeHistory();
  sink.Clear();
  EXPECT_FALSE(model.SaveManual("x", FixedMinute()));
  ExpectPlainBox(sink, "Файл не удается открыть");
  EXPECT_EQ(std::memcmp(&before, &model.ScopeHistory(), sizeof before), 0);
  EXPECT_EQ(model.PointCount(), 10);
  EXPECT_TRUE(dir.Files().empty());
}

}  // namespace
}  // namespace tarvin
