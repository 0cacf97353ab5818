// A stored oscillogram in numbers: the two kinds of CSV byte for byte, and the
// statistics and level crossings the command-line tool reports.
#include <gtest/gtest.h>

#include "scope/oscillogram_csv.h"
#include "scope/oscillogram_stats.h"
#include "tests/support/known_oscillogram.h"
#include "tests/support/temp_folder.h"

namespace tarvin {
namespace {

using testing::KnownOscillogramBytes;
using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

TEST(OscillogramCsv, KnownFileInBothKindsByteForByte) {
  TempFolder dir;
  const std::string bin = dir.Folder() + "known.bin";
  WriteBytes(bin, KnownOscillogramBytes());
  Oscillogram o;
  ASSERT_EQ(ReadOscillogram(bin, &o), FileStatus::Ok);

  struct Case {
    CsvKind kind;
    std::string expected;
  };
  const Case cases[] = {
      {CsvKind::Plain, testing::kKnownCsvPlain},
      {CsvKind::Excel, testing::kKnownCsvExcel},
  };
  for (const Case& c : cases) {
    const std::string csv = dir.Folder() + "known.csv";
    std::string reason;
    ASSERT_EQ(WriteOscillogramCsv(csv, o, c.kind, &reason), FileStatus::Ok) << reason;
    EXPECT_EQ(ReadBytes(csv), Bytes(c.expected));
    EXPECT_EQ(OscillogramCsv(o, c.kind), c.expected);
  }
  EXPECT_EQ(dir.Files(), (std::vector<std::string>{"known.bin", "known.csv"}));
}

TEST(OscillogramCsv, LiveWindowRowsCarryTheChartsSampleNumbers) {
  Oscillogram o;
  o.count = 2;
  o.threshold = {1.25f, 3.0f};
  o.useful = o.ekNoise = o.ekClimate = o.input = {5, 6};
  EXPECT_EQ(OscillogramCsv(o, CsvKind::Plain, 65530),
            "index,threshold,useful,ekNoise,ekClimate,input\r\n65530,1.25,5,5,5,5\r\n65531,3,6,6,6,6\r\n");
  o.count = 0;
  EXPECT_EQ(OscillogramCsv(o, CsvKind::Plain), "index,threshold,useful,ekNoise,ekClimate,input\r\n");
}

TEST(OscillogramCsv, UnwritableDestinationIsReportedAndLeavesNothing) {
  TempFolder dir;
  Oscillogram o;
  std::string reason;
  EXPECT_EQ(WriteOscillogramCsv(dir.Folder() + "missing/x.csv", o, CsvKind::Plain, &reason),
            FileStatus::CannotOpen);
  EXPECT_FALSE(reason.empty());
  EXPECT_TRUE(dir.Files().empty());
}

TEST(OscillogramStats, MinMaxMeanOfEverySignal) {
  TempFolder dir;
  WriteBytes(dir.Folder() + "k.bin", KnownOscillogramBytes());
  Oscillogram o;
  ASSERT_EQ(ReadOscillogram(dir.Folder() + "k.bin", &o), FileStatus::Ok);
  const OscillogramStats st = ComputeStats(o, 40.0);
  EXPECT_EQ(st.count, 4);
  EXPECT_FLOAT_EQ(float(st.Of(Signal::Threshold).min), 1e-05f);
  EXPECT_DOUBLE_EQ(st.Of(Signal::Threshold).max, 40.0);
  EXPECT_DOUBLE_EQ(st.Of(Signal::Useful).max, 4000000000.0);
  EXPECT_DOUBLE_EQ(st.Of(Signal::Useful).mean, (7.0 + 41 + 39 + 4000000000.0) / 4);
  EXPECT_DOUBLE_EQ(st.Of(Signal::EkClimate).max, 4294967295.0);
  EXPECT_DOUBLE_EQ(st.Of(Signal::Input).min, 60.0);
  EXPECT_DOUBLE_EQ(st.Of(Signal::Input).mean, 61.5);
  // Threshold 10.5, 0.1, 40, 1e-05: never above 40. Useful 7, 41, 39, 4e9.
  EXPECT_TRUE(st.threshold_crossings.empty());
  ASSERT_EQ(st.useful_crossings.size(), 3u);
  EXPECT_EQ(st.useful_crossings[0].sample, 1u);
  EXPECT_TRUE(st.useful_crossings[0].rising);
  EXPECT_EQ(st.useful_crossings[1].sample, 2u);
  EXPECT_FALSE(st.useful_crossings[1].rising);
  EXPECT_EQ(st.useful_crossings[2].sample, 3u);

  const OscillogramStats empty = ComputeStats(Oscillogram{}, 40.0);
  EXPECT_EQ(empty.count, 0);
  EXPECT_EQ(empty.Of(Signal::Input).mean, 0.0);
  EXPECT_TRUE(empty.useful_crossings.empty());
}

TEST(OscillogramStats, CrossingsFollowTheAutomaticSavesAbove) {
  struct Case {
    std::vector<uint32_t> useful;
    std::vector<std::pair<uint32_t, bool>> expected;  // sample, rising
  };
  const Case cases[] = {
      {{40, 40, 40}, {}},                       // equal is not above
      {{40, 41, 40}, {{1, true}, {2, false}}},  // up, then down to equal
      {{50, 50, 10}, {{2, false}}},             // the first sample is no crossing
      {{10, 90, 10, 90}, {{1, true}, {2, false}, {3, true}}},
      {{}, {}},
  };
  for (const Case& c : cases) {
    Oscillogram o;
    o.count = uint16_t(c.useful.size());
    o.useful = c.useful;
    std::vector<std::pair<uint32_t, bool>> got;
    for (const Crossing& x : LevelCrossings(o, Signal::Useful, 40.0)) got.emplace_back(x.sample, x.rising);
    EXPECT_EQ(got, c.expected) << ::testing::PrintToString(c.useful);
  }
}

}  // namespace
}  // namespace tarvin
