// The line recording: what a person reads, and what the replay reads back.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "link/line_record.h"
#include "link/port_fake.h"
#include "tests/support/temp_folder.h"

namespace tarvin {
namespace {

using testing::TempFolder;

TEST(LineRecord, EscapedBytesReadBackAsThemselves) {
  const std::string all_bytes = [] {
    std::string s;
    for (int c = 0; c < 256; ++c) s.push_back(static_cast<char>(c));
    return s;
  }();
  for (const std::string& bytes : {std::string(":014DB2\r\n"), std::string("a\\b"), all_bytes}) {
    const std::string line = "1.250000 < " + EscapeLineBytes(bytes);
    LineChunk chunk;
    std::string error;
    ASSERT_TRUE(ParseLineChunk(line, &chunk, &error)) << error;
    EXPECT_EQ(chunk.bytes, bytes);
    EXPECT_DOUBLE_EQ(chunk.seconds, 1.25);
    EXPECT_EQ(chunk.direction, LineDirection::FromSensor);
  }
  EXPECT_EQ(EscapeLineBytes(":01\r\n\\\x7F"), ":01\\r\\n\\\\\\x7F");
}

TEST(LineRecord, MalformedLinesAreRefusedWithAReason) {
  struct Case {
    const char* line;
    bool comment;  // skipped without an error
  };
  const Case cases[] = {
      {"# tarvin9 line recording 1", true},
      {"", true},
      {"x < abc", false},
      {"-1 < abc", false},
      {"1.0 ? abc", false},
      {"1.0 <abc", false},
      {"1.0 < a\\", false},
      {"1.0 < \\xZ1", false},
      {"1.0 < \\q", false},
      {"1.0", false},
  };
  for (const Case& c : cases) {
    LineChunk chunk;
    std::string error;
    EXPECT_FALSE(ParseLineChunk(c.line, &chunk, &error)) << c.line;
    EXPECT_EQ(error.empty(), c.comment) << c.line << ": " << error;
  }
}

TEST(LineRecord, ThePortRecordsEachDirectionOnLinesOfItsOwn) {
  TempFolder dir;
  const std::string path = dir.Folder() + "line.txt";
  std::FILE* out = std::fopen(path.c_str(), "wb");
  ASSERT_NE(out, nullptr);
  auto fake = std::make_unique<FakePort>();
  FakePort& inner = *fake;
  {
    RecordingPort port(std::move(fake), out, "2026-12-07T10:00:00.000+03:00");
    ASSERT_EQ(port.Open(1), OpenResult::Opened);
    for (const char c : std::string(":014DB2\r\n")) ASSERT_TRUE(port.WriteByte(static_cast<uint8_t>(c)));
    inner.Deliver(":014D\r\n~0142");
    uint8_t byte = 0;
    while (port.ReadByte(&byte) == 1) {
    }
    // A write that failed was never on the line.
    inner.fail_writes = true;
    EXPECT_FALSE(port.WriteByte('X'));
  }
  std::fclose(out);
  std::vector<LineChunk> chunks;
  std::string error;
  ASSERT_TRUE(ReadLineRecording(path, &chunks, &error)) << error;
  ASSERT_EQ(chunks.size(), 3u);
  EXPECT_EQ(chunks[0].direction, LineDirection::ToSensor);
  EXPECT_EQ(chunks[0].bytes, ":014DB2\r\n");
  EXPECT_EQ(chunks[1].direction, LineDirection::FromSensor);
  EXPECT_EQ(chunks[1].bytes, ":014D\r\n");
  EXPECT_EQ(chunks[2].bytes, "~0142");  // the unfinished line, flushed at the end
  EXPECT_LE(chunks[0].seconds, chunks[1].seconds);

  std::ofstream(path, std::ios::app) << "oops\n";
  EXPECT_FALSE(ReadLineRecording(path, &chunks, &error));
  EXPECT_NE(error.find(":7:"), std::string::npos) << error;
}

TEST(LineRecord, RunsArePlayedOneByOneOrAllInTurn) {
  TempFolder dir;
  const std::string path = dir.Folder() + "line.txt";
  std::ofstream(path) << "# tarvin9 line recording 1\n# start A\n0.5 > a\n2.0 < b\n"
                      << "# tarvin9 line recording 1\n# start B\n0.25 > c\n1.0 < d\n";
  std::vector<LineRun> runs;
  std::string error;
  ASSERT_TRUE(ReadLineRuns(path, &runs, &error)) << error;
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[1].start, "B");
  const std::vector<LineChunk> second = ChunksOfRuns(runs, 2);
  ASSERT_EQ(second.size(), 2u);
  EXPECT_EQ(second[0].bytes, "c");
  EXPECT_DOUBLE_EQ(second[0].seconds, 0.25);
  // All: the second run's times follow the first's end.
  const std::vector<LineChunk> all = ChunksOfRuns(runs, 0);
  ASSERT_EQ(all.size(), 4u);
  EXPECT_DOUBLE_EQ(all[2].seconds, 2.25);
  EXPECT_DOUBLE_EQ(all[3].seconds, 3.0);
  EXPECT_TRUE(ChunksOfRuns(runs, 3).empty());
}

}  // namespace
}  // namespace tarvin
