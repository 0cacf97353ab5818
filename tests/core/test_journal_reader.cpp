// Reading a journal back: earlier runs' events, whole lines only, from the end
// of a long file, and a run's own lines told apart by where it began; each
// event's fields read one way, a field of another type as absent.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "journal/journal.h"
#include "journal/journal_reader.h"
#include "tests/support/temp_folder.h"

namespace tarvin::testing {
namespace {

void WriteText(const std::filesystem::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

std::vector<std::string> Events(const std::vector<nlohmann::ordered_json>& lines) {
  std::vector<std::string> names;
  for (const auto& line : lines) names.push_back(line["event"].get<std::string>());
  return names;
}

TEST(JournalReader, WholeEventLinesOnlyOldestFirst) {
  TempFolder dir;
  const auto path = dir.Path() / "journal.jsonl";
  const std::string text =
      "{\"time\":\"t\",\"seq\":1,\"event\":\"start\",\"port\":\"COM1\"}\n"
      "not json at all\n"
      "{\"time\":\"t\",\"seq\":2,\"event\":\"alarm_begin\",\"alarm_bits\":2}\n"
      "[1,2,3]\n"
      "{\"seq\":3}\n"
      "{\"time\":\"t\",\"seq\":4,\"event\":\"saved\",\"path\":\"/x/"
      "a.bin\",\"trigger\":\"alarm\",\"samples\":1000}\n"
      "{\"time\":\"t\",\"seq\":5,\"event\":\"stop\",\"rea";  // cut by a power loss
  WriteText(path, text);
  const auto all = ReadJournalEvents(path.string(), text.size(), 1 << 20);
  EXPECT_EQ(Events(all), (std::vector<std::string>{"start", "alarm_begin", "saved"}));
  EXPECT_EQ(all[2]["path"], "/x/a.bin");
  EXPECT_EQ(all[0].begin().key(), "time");  // the order of the fields as written

  // Only the end: the line the window starts in is dropped, not half-read.
  const std::size_t saved_at = text.find("{\"time\":\"t\",\"seq\":4");
  const auto inside_saved = ReadJournalEvents(path.string(), text.size(), text.size() - saved_at - 3);
  EXPECT_TRUE(inside_saved.empty());
  for (const std::size_t before : {1, 3}) {
    const auto from_saved = ReadJournalEvents(path.string(), text.size(), text.size() - saved_at + before);
    EXPECT_EQ(Events(from_saved), (std::vector<std::string>{"saved"})) << before;
  }

  // Up to a given end only; nothing from a missing file or an empty span.
  EXPECT_EQ(Events(ReadJournalEvents(path.string(), saved_at, 1 << 20)),
            (std::vector<std::string>{"start", "alarm_begin"}));
  EXPECT_TRUE(ReadJournalEvents((dir.Path() / "none.jsonl").string(), 100, 100).empty());
  EXPECT_TRUE(ReadJournalEvents(path.string(), 0, 100).empty());
}

TEST(JournalReader, ARunsOwnLinesBeginAtTheStartOffset) {
  TempFolder dir;
  const std::string path = (dir.Path() / "journal.jsonl").string();
  uint64_t first_run_end = 0;
  {
    Journal first;
    ASSERT_TRUE(first.Open(path));
    EXPECT_EQ(first.StartOffset(), 0u);
    first.Write(Event::Start, {{"port", "COM1"}});
    first.Write(Event::LinkLost);
    first.Write(Event::Stop, {{"reason", "operator"}});
  }
  first_run_end = std::filesystem::file_size(path);
  Journal second;
  ASSERT_TRUE(second.Open(path));
  EXPECT_EQ(second.StartOffset(), first_run_end);
  second.Write(Event::Start, {{"port", "COM2"}});
  const auto earlier = ReadJournalEvents(path, second.StartOffset(), 1 << 20);
  EXPECT_EQ(Events(earlier), (std::vector<std::string>{"start", "link_lost", "stop"}));
  EXPECT_EQ(earlier[0]["port"], "COM1");
  EXPECT_EQ(Events(ReadJournalEvents(path, std::filesystem::file_size(path), 1 << 20)).size(), 4u);
}

// Journals come back from disk written by older programs or by hand: a field
// of another type is absent to every reader, never an exception that would
// stop a recorder reading its history at the start.
TEST(JournalEvent, AFieldOfAnotherTypeIsAbsent) {
  const auto e = nlohmann::ordered_json::parse(
      R"({"time":"2026-12-07T23:59:01.123+03:00","event":"ack","operator":5,"alarm":"7","walk_test":-2,)"
      R"("seq":18446744073709551615,"peak":61.5,"counters":{"timeouts":3},"reason":null})");
  const JournalEvent event(e);
  EXPECT_EQ(event.Kind(), Event::Ack);
  EXPECT_EQ(event.Text("operator"), "");
  EXPECT_EQ(event.Shown("operator"), "5");
  EXPECT_EQ(event.Shown("reason"), "");
  EXPECT_FALSE(event.Whole("alarm"));
  EXPECT_EQ(event.Whole("walk_test"), -2);
  EXPECT_FALSE(event.Count("walk_test"));
  EXPECT_FALSE(event.Whole("seq"));  // beyond what a signed count holds
  EXPECT_EQ(event.Figure("peak"), 61.5);
  EXPECT_FALSE(event.Whole("peak"));
  EXPECT_EQ(event.Part("counters").Count("timeouts"), 3u);
  EXPECT_FALSE(event.Part("peak").IsObject());
  EXPECT_EQ(event.Time(), int64_t{1796677141123});
  for (const char* odd : {R"([1,2])", R"("start")", R"({"event":7})", R"({"event":"later_event"})"}) {
    const auto json = nlohmann::ordered_json::parse(odd);
    EXPECT_EQ(JournalEvent(json).Kind(), Event::Unknown) << odd;
    EXPECT_FALSE(JournalEvent(json).Time()) << odd;
  }
}

}  // namespace
}  // namespace tarvin::testing
