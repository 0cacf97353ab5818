// Journal observers: each sees the event it is called for, even when one of
// them writes an event of its own from inside the call.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "journal/journal.h"
#include "tests/support/temp_folder.h"

namespace tarvin {
namespace {

TEST(JournalObservers, AnEventWrittenFromAnObserverChangesNothingTheOthersSee) {
  testing::TempFolder folder;
  const std::string path = folder.Folder() + "journal.jsonl";
  Journal journal;
  ASSERT_TRUE(journal.Open(path));
  journal.AddObserver([&journal](const nlohmann::ordered_json& e) {
    if (e["event"] == "alarm_begin") journal.Write(Event::Saved, {{"about", e["seq"]}});
  });
  std::vector<std::string> seen;
  journal.AddObserver([&seen](const nlohmann::ordered_json& e) {
    seen.push_back(e["event"].get<std::string>() + "#" + std::to_string(e["seq"].get<int>()));
  });
  const nlohmann::ordered_json& written = journal.Write(Event::AlarmBegin);
  EXPECT_EQ(written["event"], "alarm_begin");
  EXPECT_EQ(written["seq"], 1);
  // The save was written (and shown) inside the outer event's call.
  EXPECT_EQ(seen, (std::vector<std::string>{"saved#2", "alarm_begin#1"}));
  EXPECT_EQ(journal.LastSeq(), 2u);

  // The file has both lines, in seq order.
  std::vector<std::string> events;
  const std::vector<uint8_t> bytes = testing::ReadBytes(path);
  const std::string text(bytes.begin(), bytes.end());
  for (std::size_t at = 0, nl; (nl = text.find('\n', at)) != std::string::npos; at = nl + 1)
    events.push_back(nlohmann::json::parse(text.substr(at, nl - at))["event"]);
  EXPECT_EQ(events, (std::vector<std::string>{"alarm_begin", "saved"}));
}

}  // namespace
}  // namespace tarvin
