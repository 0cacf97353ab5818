// Acknowledgements of alarms: accepted once, refused with their reasons,
// replays ignored, the first one standing; the retained history's slots and
// chunks bounded and the same after a restart that reads it back from the
// journal.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "control_room/ack_book.h"
#include "journal/journal.h"
#include "journal/journal_time.h"
#include "tests/support/ack_body.h"
#include "tests/support/temp_folder.h"

namespace tarvin {
namespace {

using Kind = AckDecision::Kind;
using testing::AckBody;
using Clock = std::chrono::system_clock;

Clock::time_point After(const nlohmann::ordered_json& alarm, int64_t ms) {
  return Clock::time_point(std::chrono::milliseconds(*ParseJournalTime(alarm["time"]) + ms));
}

std::string Repeated(const std::string& piece, int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += piece;
  return s;
}

// Writes what the book decided, as the recorder does; the book learns from the journal.
void Apply(Journal& journal, const AckDecision& d) {
  if (d.kind != Kind::Ignore) journal.Write(d.event, d.fields);
}

TEST(AckBook, AcceptsOnceRefusesEachFaultAndTheFirstStands) {
  Journal journal;
  AckBook book;
  journal.AddObserver([&book](const nlohmann::ordered_json& e) { book.Follow(e); });
  const nlohmann::ordered_json alarm = journal.Write(Event::AlarmBegin, {{"alarm_bits", 2}});
  journal.Write(Event::AlarmEnd, {{"alarm_bits", 2}});
  const nlohmann::ordered_json detection =
      journal.Write(Event::AlarmBegin, {{"alarm_bits", 1}, {"walk_test", 1}, {"detection", 1}});
  const Clock::time_point at = After(alarm, 181240);

  nlohmann::ordered_json other_run = alarm;
  other_run["time"] = "2020-01-01T00:00:00.000+03:00";  // the same seq in another run
  const struct {
    std::string body, reason;
  } refused[] = {
      {"not json", "malformed"},
      {R"({"alarm":"1","alarm_time":"2026-12-09T01:02:03.456+03:00","comment":"x","id":"abcdefgh"})",
       "malformed"},
      {AckBody(alarm, "x", "short"), "malformed"},
      {AckBody(alarm, "x", "has space in it"), "malformed"},
      {AckBody(other_run, "проверено", "abcdefgh1"), "unknown_alarm"},
      {AckBody(alarm, " \t ", "abcdefgh2"), "comment_required"},
      {AckBody(alarm, Repeated("ж", 501), "abcdefgh3"), "comment_too_long"},
  };
  for (const auto& r : refused) {
    const AckDecision d = book.Decide("ivanov", r.body, at);
    EXPECT_EQ(d.kind, Kind::Refuse) << r.body;
    EXPECT_EQ(d.event, Event::AckRefused);
    EXPECT_EQ(d.fields["reason"], r.reason) << r.body;
    EXPECT_EQ(d.fields["operator"], "ivanov");
    Apply(journal, d);
  }
  // Refusals change nothing: the alarm is still open to acknowledgement.
  const std::string markup = "<b>проверено</b> нарядом " + Repeated("ж", 475);
  const AckDecision first = book.Decide("ivanov", AckBody(alarm, markup, "press-0001"), at);
  ASSERT_EQ(first.kind, Kind::Accept) << first.fields.dump();
  EXPECT_EQ(first.event, Event::Ack);
  EXPECT_EQ(first.fields["alarm"], alarm["seq"]);
  EXPECT_EQ(first.fields["alarm_time"], alarm["time"]);
  EXPECT_EQ(first.fields["operator"], "ivanov");
  EXPECT_EQ(first.fields["comment"], markup);  // text as given, markup and all
  EXPECT_EQ(first.fields["pressed"], "2026-12-09T01:05:00.000Z");
  EXPECT_DOUBLE_EQ(first.fields["seconds_to_ack"].get<double>(), 181.2);
  EXPECT_EQ(first.fields["id"], "press-0001");
  // Two operators at once: whichever is handled first stands.
  const AckDecision second = book.Decide("petrov", AckBody(alarm, "ложная: ветер", "press-0002"), at);
  EXPECT_EQ(second.kind, Kind::Accept);
  Apply(journal, first);

  EXPECT_EQ(book.Decide("ivanov", AckBody(alarm, markup, "press-0001"), at).kind, Kind::Ignore);
  const AckDecision late = book.Decide("petrov", AckBody(alarm, "ложная: ветер", "press-0002"), at);
  EXPECT_EQ(late.fields["reason"], "already_acknowledged");
  EXPECT_EQ(late.fields["by"], "ivanov");
  // A walk test's detection needs no comment.
  EXPECT_EQ(book.Decide("petrov", AckBody(detection, "", "press-0003"), at).kind, Kind::Accept);
}

// Each retained message's events, by its topic; cleared ones left out.
std::map<std::string, nlohmann::ordered_json> Kept(const EventHistory& history) {
  std::map<std::string, nlohmann::ordered_json> kept;
  std::size_t bytes = 0;
  for (const HistoryMessage& m : history.Messages()) {
    bytes += m.payload.size();
    EXPECT_LE(m.payload.size(), EventHistory::kMessageMax) << m.topic;
    if (!m.payload.empty()) kept[m.topic] = nlohmann::ordered_json::parse(m.payload)["events"];
  }
  EXPECT_EQ(bytes, history.Bytes());
  EXPECT_LE(bytes, EventHistory::kMaxBytes);
  return kept;
}

TEST(AckBook, HistoryIsBoundedAndReadBackAfterARestart) {
  testing::TempFolder folder;
  const std::string path = folder.Folder() + "journal.jsonl";
  AckBook book;
  nlohmann::ordered_json last;
  std::vector<nlohmann::ordered_json> begins, links;
  {
    Journal journal;
    ASSERT_TRUE(journal.Open(path));
    journal.AddObserver([&book](const nlohmann::ordered_json& e) { book.Follow(e); });
    journal.Write(Event::Start);
    for (int i = 0; i < 150; ++i) {
      last = journal.Write(Event::AlarmBegin, {{"alarm_bits", 2}});
      begins.push_back(last);
      journal.Write(Event::AlarmEnd, {{"alarm_bits", 2}, {"peak", 61.5}});
      if (i % 10 == 0) journal.Write(Event::LinkLost);
      journal.Write(Event::Summary, {{"samples", 10}});  // not history
    }
    // The last 100 alarms, each in a slot of its own with its end, taken
    // round robin: the 150th took slot 49.
    auto kept = Kept(book.History());
    EXPECT_EQ(book.History().Alarms(), EventHistory::kSlots);
    EXPECT_EQ(kept["history/alarm/49"][0], begins[149]);
    EXPECT_EQ(kept["history/alarm/50"][0], begins[50]);
    EXPECT_EQ(kept["history/alarm/50"][1]["event"], "alarm_end");
    // The run's start among the link changes: a restart shows between two `link_up`.
    EXPECT_EQ(kept["history/link/0"].size(), 16u);
    EXPECT_EQ(kept["history/link/0"][0]["event"], "start");
    EXPECT_EQ(kept.count("history/link/1"), 0u);

    // The night's comments fill it: the oldest alarms go, their slots cleared.
    for (int i = 50; i < 150; ++i)
      Apply(journal,
            book.Decide("ivanov", AckBody(begins[i], Repeated("ш", 500), "id-" + std::to_string(i) + "-x"),
                        After(begins[i], 5000)));
    kept = Kept(book.History());
    EXPECT_LT(book.History().Alarms(), EventHistory::kSlots);
    EXPECT_EQ(kept.size(), book.History().Alarms() + 1);
    EXPECT_EQ(kept["history/alarm/49"].back()["event"], "ack");
    EXPECT_EQ(kept["history/alarm/49"].back()["alarm"], last["seq"]);
    EXPECT_EQ(kept.count("history/alarm/50"), 0u);
    for (const auto& [topic, events] : kept)
      EXPECT_TRUE(topic.rfind("history/link/", 0) == 0 || events.size() == 3u) << topic;

    // Link changes fill at most four chunks of 25, fewer where long ones
    // would pass 4 KB; the oldest go first, and chunk 0 holds the oldest.
    for (int i = 0; i < 130; ++i)
      links.push_back(journal.Write(Event::PortClosed, {{"port", "/dev/serial/by-id/" + Repeated("x", i)}}));
    const auto chunks = [&book] {
      auto kept = Kept(book.History());
      nlohmann::ordered_json chunked = nlohmann::ordered_json::array();
      for (int c = 0; c < 4; ++c)
        for (const auto& e : kept["history/link/" + std::to_string(c)]) chunked.push_back(e);
      return chunked;
    };
    const auto chunked = chunks();
    EXPECT_LT(chunked.size(), 100u);
    EXPECT_EQ(chunked.back(), links.back());
    EXPECT_EQ(chunked.front(), links[links.size() - chunked.size()]);
    journal.Write(Event::Stop);
    EXPECT_EQ(chunks().back()["event"], "stop");
  }
  // The next run reads it back: the same history, the same answers.
  AckBook again;
  Journal journal;
  ASSERT_TRUE(journal.Open(path));
  again.ReadBack(path, journal.StartOffset());
  for (std::size_t i = 0; i < book.History().Messages().size(); ++i)
    EXPECT_EQ(again.History().Messages()[i].payload, book.History().Messages()[i].payload);
  const AckDecision late =
      again.Decide("petrov", AckBody(last, "проверено", "press-0009"), After(last, 9000));
  EXPECT_EQ(late.fields["reason"], "already_acknowledged");
  EXPECT_EQ(late.fields["by"], "ivanov");
  const std::string replay = AckBody(last, Repeated("ш", 500), "id-149-x");
  EXPECT_EQ(again.Decide("ivanov", replay, After(last, 9000)).kind, Kind::Ignore);
}

// What a room still has to answer is kept apart too, slot for slot: an
// alarm until it is both over and acknowledged, the same after a restart.
TEST(AckBook, OpenAlarmsKeptApartUntilOverAndAcknowledged) {
  testing::TempFolder folder;
  const std::string path = folder.Folder() + "journal.jsonl";
  AckBook book;
  Journal journal;
  ASSERT_TRUE(journal.Open(path));
  journal.AddObserver([&book](const nlohmann::ordered_json& e) { book.Follow(e); });
  const auto open = [&book] {
    std::map<std::string, std::string> out;
    for (const HistoryMessage& m : book.History().OpenMessages())
      if (!m.payload.empty()) out[m.topic] = m.payload;
    return out;
  };
  const auto slot = [&book](std::size_t i) { return book.History().Messages()[i].payload; };
  journal.Write(Event::Start);
  const auto first = journal.Write(Event::AlarmBegin, {{"alarm_bits", 2}});
  // Taken while it lasts: still open, its acknowledgement with it.
  Apply(journal, book.Decide("ivanov", AckBody(first, "проверено", "press-open-1"), After(first, 1000)));
  EXPECT_EQ(open(), (std::map<std::string, std::string>{{"history/open/00", slot(0)}}));
  journal.Write(Event::AlarmEnd, {{"alarm_bits", 2}});
  EXPECT_TRUE(open().empty());
  // Over before anybody took it: open until taken.
  const auto second = journal.Write(Event::AlarmBegin, {{"alarm_bits", 4}});
  journal.Write(Event::AlarmEnd, {{"alarm_bits", 4}});
  EXPECT_EQ(open(), (std::map<std::string, std::string>{{"history/open/01", slot(1)}}));
  AckBook again;
  again.ReadBack(path, std::filesystem::file_size(path));  // a restart reads it back
  for (std::size_t i = 0; i < EventHistory::kSlots; ++i)
    EXPECT_EQ(again.History().OpenMessages()[i].payload, book.History().OpenMessages()[i].payload) << i;
  Apply(journal,
        book.Decide("petrov", AckBody(second, "ложная: ветер", "press-open-2"), After(second, 9000)));
  EXPECT_TRUE(open().empty());
  EXPECT_EQ(nlohmann::ordered_json::parse(slot(1))["events"].size(), 3u);
}

TEST(AckBook, ReadsBackAJournalWhoseFieldsAreOfAnotherType) {
  testing::TempFolder folder;
  const std::string path = folder.Folder() + "journal.jsonl";
  {
    std::ofstream out(path, std::ios::binary);
    out << R"({"time":"2026-12-07T23:00:00.000+03:00","seq":1,"event":"alarm_begin","alarm_bits":2})"
           "\n"
        << R"({"time":"2026-12-07T23:00:05.000+03:00","seq":2,"event":"ack","alarm_time":)"
           R"("2026-12-07T23:00:00.000+03:00","alarm":1,"operator":5,"id":["x"]})"
           "\n"
        << R"({"time":"2026-12-07T23:00:06.000+03:00","seq":"3","event":"alarm_begin"})"
           "\n";
  }
  AckBook book;
  ASSERT_NO_THROW(book.ReadBack(path, std::filesystem::file_size(path)));
  EXPECT_EQ(book.History().Alarms(), 1u);  // the begin without a whole seq names no alarm
}

}  // namespace
}  // namespace tarvin
