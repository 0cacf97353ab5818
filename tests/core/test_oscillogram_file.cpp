// The oscillogram file: its byte layout, its names, and reading it back whole
// or refusing it when it is damaged.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "scope/oscillogram_file.h"
#include "scope/scope_model.h"
#include "tests/support/temp_folder.h"

#ifndef _WIN32
#include "tests/support/file_size_limit.h"
#endif

namespace tarvin {
namespace {

using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

uint32_t Le32(const std::vector<uint8_t>& b, std::size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

uint32_t Bits(float f) {
  uint32_t u;
  std::memcpy(&u, &f, sizeof u);
  return u;
}

// Distinct values in every array and entry, so a swapped array or a shifted
// entry shows.
std::unique_ptr<ScopeHistoryArrays> MarkedHistory() {
  auto h = std::make_unique<ScopeHistoryArrays>();
  for (uint32_t i = 0; i < kHistorySize; ++i) {
    h->threshold[i] = 0.5f + float(i);
    h->useful[i] = 0x10000000u + i;
    h->ekNoise[i] = 0x20000000u + i;
    h->ekClimate[i] = 0x30000000u + i;
    h->input[i] = 0xF0000000u + i;
  }
  return h;
}

TEST(OscillogramFileTest, LayoutIsVersionCountAndFiveLittleEndianArrays) {
  TempFolder dir;
  const auto history = MarkedHistory();
  const std::string path = dir.Folder() + "layout.bin";
  for (const uint16_t count : {uint16_t{0}, uint16_t{10}, uint16_t{1000}, uint16_t{5000}}) {
    SCOPED_TRACE(count);
    ASSERT_EQ(WriteOscillogram(path, *history, count), FileStatus::Ok);
    const auto bytes = ReadBytes(path);
    ASSERT_EQ(bytes.size(), 3u + 20u * count);
    EXPECT_EQ(bytes[0], 2);
    EXPECT_EQ(bytes[1], count & 0xFF);
    EXPECT_EQ(bytes[2], count >> 8);
    for (uint32_t i = 0; i < count; ++i) {
      ASSERT_EQ(Le32(bytes, 3 + 4 * i), Bits(history->threshold[i])) << i;
      ASSERT_EQ(Le32(bytes, 3 + 4 * (count + i)), history->useful[i]) << i;
      ASSERT_EQ(Le32(bytes, 3 + 4 * (2 * count + i)), history->ekNoise[i]) << i;
      ASSERT_EQ(Le32(bytes, 3 + 4 * (3 * count + i)), history->ekClimate[i]) << i;
      ASSERT_EQ(Le32(bytes, 3 + 4 * (4 * count + i)), history->input[i]) << i;
    }
  }
}

TEST(OscillogramFileTest, SmallFileByteForByte) {
  TempFolder dir;
  auto h = std::make_unique<ScopeHistoryArrays>();
  h->threshold[0] = 1.0f;  // 0x3F800000
  h->useful[0] = 0x04030201;
  h->ekNoise[0] = 5;
  h->ekClimate[0] = 0xFFFFFFFF;
  h->input[0] = 0x00010000;
  const std::string path = dir.Folder() + "one.bin";
  ASSERT_EQ(WriteOscillogram(path, *h, 1), FileStatus::Ok);
  const std::vector<uint8_t> expected = {2,    1,    0,            // version, count 1
                                         0x00, 0x00, 0x80, 0x3F,   // threshold
                                         0x01, 0x02, 0x03, 0x04,   // useful
                                         0x05, 0x00, 0x00, 0x00,   // ekNoise
                                         0xFF, 0xFF, 0xFF, 0xFF,   // ekClimate
                                         0x00, 0x00, 0x01, 0x00};  // input
  EXPECT_EQ(ReadBytes(path), expected);
}

TEST(OscillogramFileTest, RoundTripGivesBackEveryValue) {
  TempFolder dir;
  const auto history = MarkedHistory();
  const std::string path = dir.Folder() + "Осциллограмма.bin";
  ASSERT_EQ(WriteOscillogram(path, *history, 5000), FileStatus::Ok);
  Oscillogram back;
  ASSERT_EQ(ReadOscillogram(path, &back), FileStatus::Ok);
  ASSERT_EQ(back.count, 5000);
  ASSERT_EQ(back.threshold.size(), 5000u);
  ASSERT_EQ(back.input.size(), 5000u);
  for (uint16_t i = 0; i < 5000; ++i) {
    ASSERT_EQ(back.threshold[i], history->threshold[i]);
    ASSERT_EQ(back.useful[i], history->useful[i]);
    ASSERT_EQ(back.ekNoise[i], history->ekNoise[i]);
    ASSERT_EQ(back.ekClimate[i], history->ekClimate[i]);
    ASSERT_EQ(back.input[i], history->input[i]);
  }
}

TEST(OscillogramFileTest, NamesForAFixedMoment) {
  const LocalTime t{2019, 6, 18, 14, 5};
  const std::string folder = std::string("C:") + kSep + "Work" + kSep + "Chart4pF" + kSep;
  const std::string head = folder + kSep + "2019.06.18  14 час. 05 мин.";
  struct Case {
    std::string got, expected;
  } const cases[] = {
      {ManualFileName(folder, t, "опыт 1"), head + "  опыт 1.bin"},
      {ManualFileName(folder, t, ""), head + "  .bin"},
      {AutoFileName(folder, t), head + " .bin"},
      {AutoFileName("", LocalTime{2020, 12, 1, 0, 0}),
       std::string(1, kSep) + "2020.12.01  00 час. 00 мин. .bin"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.expected);
  // An empty manual name still differs from the automatic name of that minute.
  EXPECT_NE(ManualFileName(folder, t, ""), AutoFileName(folder, t));
}

TEST(OscillogramFileTest, UniquePathAddsTheFirstFreeNumber) {
  TempFolder dir;
  const std::string path = dir.Folder() + "2019.06.18  14 час. 05 мин. .bin";
  const std::string stem = dir.Folder() + "2019.06.18  14 час. 05 мин. ";
  EXPECT_EQ(UniquePath(path), path);
  WriteBytes(path, {2});
  EXPECT_EQ(UniquePath(path), stem + " (2).bin");
  WriteBytes(stem + " (2).bin", {2});
  EXPECT_EQ(UniquePath(path), stem + " (3).bin");
  // A gap is filled first.
  WriteBytes(stem + " (4).bin", {2});
  EXPECT_EQ(UniquePath(path), stem + " (3).bin");
}

TEST(OscillogramFileTest, MissingFolderCannotBeOpenedAndIsNotCreated) {
  TempFolder dir;
  const auto history = MarkedHistory();
  const std::string folder = dir.Folder() + "Chart4pF";
  EXPECT_EQ(WriteOscillogram(folder + kSep + "x.bin", *history, 10), FileStatus::CannotOpen);
  EXPECT_FALSE(std::filesystem::exists(folder));
  Oscillogram back;
  EXPECT_EQ(ReadOscillogram(folder + kSep + "x.bin", &back), FileStatus::CannotOpen);
}

TEST(OscillogramFileTest, DamagedFilesAreRefusedWithoutReadingPastTheEnd) {
  TempFolder dir;
  const std::string path = dir.Folder() + "damaged.bin";
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    FileStatus expected;
  };
  std::vector<uint8_t> one_short = {2, 10, 0};
  one_short.resize(3 + 20 * 10 - 1, 0x55);
  std::vector<uint8_t> whole = one_short;
  whole.push_back(0x55);
  const Case cases[] = {
      {"empty", {}, FileStatus::Short},
      {"version only", {2}, FileStatus::Short},
      {"half a count", {2, 10}, FileStatus::Short},
      {"header, no values", {2, 10, 0}, FileStatus::Short},
      {"one byte short", one_short, FileStatus::Short},
      {"count far beyond the file", {2, 0xFF, 0xFF, 1, 2, 3, 4}, FileStatus::Short},
      {"wrong version", {1, 1, 0}, FileStatus::WrongVersion},
      {"wrong version, short", {3}, FileStatus::WrongVersion},
      {"count 0", {2, 0, 0}, FileStatus::Ok},
      {"whole", whole, FileStatus::Ok},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteBytes(path, c.bytes);
    Oscillogram back;
    back.count = 77;
    EXPECT_EQ(ReadOscillogram(path, &back), c.expected);
    if (c.expected != FileStatus::Ok) {
      EXPECT_EQ(back.count, 77) << "a refused file must leave the output alone";
    }
  }
}

TEST(OscillogramFileTest, ExtraBytesAfterTheArraysAreIgnored) {
  TempFolder dir;
  const std::string path = dir.Folder() + "long.bin";
  std::vector<uint8_t> bytes = {2, 1, 0, 0, 0, 0x80, 0x3F, 7, 0, 0, 0, 8, 0, 0, 0, 9, 0, 0, 0, 10, 0, 0, 0};
  bytes.push_back(0xEE);
  WriteBytes(path, bytes);
  Oscillogram back;
  ASSERT_EQ(ReadOscillogram(path, &back), FileStatus::Ok);
  EXPECT_EQ(back.count, 1);
  EXPECT_EQ(back.threshold[0], 1.0f);
  EXPECT_EQ(back.useful[0], 7u);
  EXPECT_EQ(back.input[0], 10u);
}

#ifndef _WIN32
using testing::FileSizeLimit;

TEST(OscillogramFileTest, WriteErrorRemovesTheIncompleteFile) {
  TempFolder dir;
  const auto history = MarkedHistory();
  const std::string path = dir.Folder() + "full disk.bin";
  FileStatus status;
  {
    FileSizeLimit limit(4096);
    status = WriteOscillogram(path, *history, 1000);  // 20003 bytes
  }
  EXPECT_EQ(status, FileStatus::WriteFailed);
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_TRUE(dir.Files().empty());
}
#endif

}  // namespace
}  // namespace tarvin
