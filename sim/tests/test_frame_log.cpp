// The frame log's bound: a long run keeps the newest lines in two files of
// about the limit each, whole lines only, and nothing is lost at a rotation.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "sim/frame_log.h"
#include "sim/sim_options.h"
#include "tests/support/temp_folder.h"

namespace tarvin::sim {
namespace {

std::vector<std::string> Lines(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// "  12.000 > 015D..." : the time field of a line as a number.
double TimeOf(const std::string& line) { return std::stod(line.substr(0, 10)); }

TEST(FrameLog, RotatesAtTheLimitKeepingOneOlderFileOfWholeLines) {
  testing::TempFolder dir;
  const auto path = dir.Path() / "sim.log";
  const std::size_t limit = 2000;
  const char frame[] = "~0142000A00000005000000320000001E0000AB\r\n";
  {
    FrameLog log;
    ASSERT_TRUE(log.OpenFile(path.string().c_str(), limit));
    for (int i = 0; i < 500; ++i) {
      log.Frame(i, '>', frame, sizeof frame - 1);
      if (i % 50 == 0) log.Note(i + 0.5, "intrusion for %d s", 3);
      // Never more than the limit and one line on the disk for the current file.
      ASSERT_LE(std::filesystem::file_size(path), limit + 80) << i;
    }
    EXPECT_GE(log.Rotations(), 5u);
  }
  ASSERT_TRUE(std::filesystem::exists(dir.Path() / "sim.log.1"));
  EXPECT_FALSE(std::filesystem::exists(dir.Path() / "sim.log.2"));
  EXPECT_LE(std::filesystem::file_size(dir.Path() / "sim.log.1"), limit + 80);

  // The older file ends where the newer begins: no line lost or cut, and the
  // newest line written is the last one kept.
  const std::vector<std::string> older = Lines(dir.Path() / "sim.log.1");
  const std::vector<std::string> newer = Lines(path);
  ASSERT_FALSE(older.empty());
  ASSERT_FALSE(newer.empty());
  std::vector<std::string> both = older;
  both.insert(both.end(), newer.begin(), newer.end());
  double previous = -1;
  for (const std::string& line : both) {
    const bool frame_line = line.find(" > ~0142") == 10;
    const bool note_line = line.find(" # intrusion for 3 s") == 10;
    EXPECT_TRUE(frame_line || note_line) << line;
    const double t = TimeOf(line);
    EXPECT_GE(t, previous) << line;
    // Frames are one second apart: a gap would be a line lost at a rotation.
    if (frame_line && previous >= 0) {
      EXPECT_LE(t - previous, 1.0) << line;
    }
    previous = t;
  }
  EXPECT_DOUBLE_EQ(TimeOf(newer.back()), 499);
}

TEST(FrameLog, NoLimitAndStandardErrorAreNeverRotated) {
  testing::TempFolder dir;
  const auto path = dir.Path() / "sim.log";
  FrameLog log;
  ASSERT_TRUE(log.OpenFile(path.string().c_str(), 0));
  for (int i = 0; i < 200; ++i) log.Note(i, "%s", "a note of some forty characters, give or take");
  EXPECT_EQ(log.Rotations(), 0u);
  EXPECT_FALSE(std::filesystem::exists(dir.Path() / "sim.log.1"));
  EXPECT_EQ(Lines(path).size(), 200u);

  FrameLog to_stderr;
  EXPECT_TRUE(to_stderr.OpenFile("-", 10));
  to_stderr.Quiet();  // nothing is printed in the test's output
  to_stderr.Note(0, "%s", "not shown");
  EXPECT_EQ(to_stderr.Rotations(), 0u);
}

TEST(FrameLog, TheLimitIsAnOptionInMegabytes) {
  std::vector<std::string> args = {"tarvin_sim", "--log", "run/sim.log", "--log-max-mb", "2"};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  CommandLine cl;
  std::string error;
  ASSERT_TRUE(ParseCommandLine(static_cast<int>(argv.size()), argv.data(), &cl, &error)) << error;
  EXPECT_DOUBLE_EQ(cl.log_max_mb, 2);
  EXPECT_DOUBLE_EQ(CommandLine{}.log_max_mb, 4);

  args = {"tarvin_sim", "--log-max-mb", "-1"};
  argv.clear();
  for (std::string& a : args) argv.push_back(a.data());
  CommandLine refused;
  EXPECT_FALSE(ParseCommandLine(static_cast<int>(argv.size()), argv.data(), &refused, &error));
}

}  // namespace
}  // namespace tarvin::sim
