// The commissioning report's model over hand-made journals: what it gathers
// (periods in the journal's zone or their own, a period cut through an
// alarm, saves paired to the alarms that armed them, walk tests, journals
// written before acknowledgements, quiet figures and save pairing existed),
// read back through its JSON. The PDF's own tests (tests/osc) only check that
// the PDF is made and holds its sections.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "report/model/report_data.h"
#include "tests/support/known_oscillogram.h"
#include "tests/support/report_journals.h"
#include "tests/support/temp_folder.h"

namespace tarvin::testing {
namespace {

using Json = nlohmann::json;
// A site five hours west of UTC, an alarm from before the period into it.
const JournalLines kWest = {
    R"({"time":"2026-12-07T09:58:00.000-05:00","seq":1,"event":"start","port":"COM2","version":"1.1.0"})",
    R"({"time":"2026-12-07T09:59:00.000-05:00","seq":3,"event":"alarm_begin","alarm_bits":6})",
    R"({"time":"2026-12-07T10:01:30.000-05:00","seq":4,"event":"alarm_end","alarm_bits":6})",
    R"({"time":"2026-12-07T10:05:00.000-05:00","seq":5,"event":"alarm_begin","alarm_bits":2})",
    R"({"time":"2026-12-07T10:05:01.000-05:00","seq":6,"event":"alarm_end","alarm_bits":2})",
    R"({"time":"2026-12-07T10:10:00.000-05:00","seq":7,"event":"stop","reason":"signal"})",
};

struct Case {
  const char* what;
  std::vector<std::pair<const char*, const JournalLines*>> journals;
  std::string from, to, folder;  // "DIR/" stands for the test's folder
  // A JSON pointer into ReportJson and what it holds; "…/#": an array's size.
  std::vector<std::pair<std::string, Json>> expect;
};

const Json kNull = nullptr;

// The up time of kTwoRuns from the first answer (22:00:00.04) to 23:00, less
// the 20 s loss and the 5 min between the runs.
const double kTwoRunsShare = (3600.0 - 0.04 - 20 - 300 - 0.04) / (3600.0 - 0.04);

const std::vector<Case>& Cases() {
  static const std::vector<Case> cases = {
      {"two runs, the second without stop",
       {{"journal.jsonl", &kTwoRuns}},
       "",
       "",
       "",
       {{"/from", "2026-12-07T22:00:00.000+03:00"},
        {"/to", "2026-12-07T23:00:00.000+03:00"},
        {"/firmware", "2.0"},
        {"/settings",
         {{"save_level", 40.0},
          {"direct_component", "30"},
          {"buffer_length", "56"},
          {"network_address", "7"}}},
        {"/runs/#", 2},
        {"/runs/1/stop_reason", kNull},
        {"/link/losses",
         Json::parse(R"([{"begin":"2026-12-07T22:20:00.000+03:00","seconds":20.0,"ended":true}])")},
        {"/link/port_reopenings", 0},
        {"/link/checksum_errors", 4},
        {"/link/timeouts", 2},
        {"/link/availability", kTwoRunsShare},
        {"/alarms_outside_tests/#", 2},
        {"/alarms/1/still_on_at_stop", "2026-12-07T23:00:00.000+03:00"},
        {"/alarms/1/seconds", 600.0},
        {"/signal/lost", 3},
        {"/quiet/margin_min", -5.0},
        {"/quiet/margin_min_at", "2026-12-07T22:21:00.000+03:00"},
        {"/quiet/seconds", 120.0},
        {"/skipped_lines", {{"count", 1}, {"where", {"journal.jsonl:7"}}}}}},
      {"a period given in the journal's local time",
       {{"journal.jsonl", &kTwoRuns}},
       "2026-12-07T22:00",
       "2026-12-07 22:44",
       "",
       {{"/to", "2026-12-07T22:44:00.000+03:00"},
        {"/runs/#", 1},
        {"/link/losses/0/seconds", 20.0},
        // From the first answer, 40 ms into the period: the time before it is no loss.
        {"/link/availability", (2640.0 - 20 - 0.04 - 240) / (2640 - 0.04)},
        {"/alarms/#", 1},
        {"/alarms/0/seconds", 4.0},
        // An older save names no alarm: it goes to the latest one.
        {"/alarms/0/file", "DIR/Chart4pF/good.bin"},
        {"/signal/margin_min", -5.0},
        {"/signal/over_threshold", 12},
        {"/oscillograms/0/state", "ok"},
        {"/oscillograms/1/state", "missing"},
        {"/oscillograms/2/state", "damaged"}}},
      {"an empty period", {{"journal.jsonl", &kTwoRuns}}, "2026-12-08", "2026-12-09", "", {{"/empty", true}}},
      {"oscillograms from another folder, a run without summaries",
       {{"journal.jsonl", &kTwoRuns}},
       "2026-12-07T22:45",
       "",
       "DIR/elsewhere",
       {{"/empty", false}, {"/signal/summaries", 0}, {"/oscillograms/#", 0}, {"/alarms/0/file", kNull}}},
      {"oscillograms from another folder",
       {{"journal.jsonl", &kTwoRuns}},
       "",
       "",
       "DIR/elsewhere",
       {{"/alarms/0/file", "DIR/elsewhere/good.bin"}}},
      {"saves paired to the alarm that armed them",
       {{"armed.jsonl", &kArmed}},
       "",
       "",
       "",
       {{"/to", "2026-12-08T18:02:47.500+03:00"},
        {"/settings", Json::object()},
        {"/alarms/#", 3},
        {"/alarms/0/file", "DIR/Chart4pF/good.bin"},
        {"/alarms/1/file", "DIR/Chart4pF/good.bin"},  // begun while that save waited: in its file
        {"/alarms/1/saved_with", "2026-12-08T18:01:00.000+03:00"},
        {"/alarms/2/end", kNull},
        {"/alarms/2/still_on_at_stop", "2026-12-08T18:02:47.500+03:00"},
        {"/alarms/2/seconds", 0.5}}},
      {"acknowledged across a restart, the first one standing",
       {{"acked.jsonl", &kAcked}},
       "",
       "",
       "",
       {{"/alarms/#", 2},
        {"/alarms/0/ack", Json::parse(R"({"operator":"ivanov","time":"2026-12-09T01:05:04.656+03:00",
                                          "comment":"ложная: <b>ветер</b>","seconds_to_ack":181.2})")},
        {"/alarms/1/ack", kNull},
        {"/alarms_outside_tests/0/ack/operator", "ivanov"},
        {"/acknowledgements", Json::parse(R"({"control_room":true,"alarms":2,"acknowledged":1,
                                              "median_seconds_to_ack":181.2,"longest_seconds_to_ack":181.2})")}}},
      {"the window's run alone: no control room",
       {{"window.jsonl", &kUnattended}},
       "",
       "2026-12-11T12:02",
       "",
       {{"/acknowledgements/control_room", false},
        {"/acknowledgements/alarms", 0},
        {"/walk_tests/0/passes", 1},
        {"/walk_tests/0/detections", 2},
        {"/walk_tests/0/detected", 1},
        {"/link/availability_from", "2026-12-11T12:00:01.000+03:00"},
        {"/link/availability", 1.0},
        {"/alarms_outside_tests/0/seconds", 2.0}}},
      {"with a recorder's run: only its alarm is the control room's",
       {{"window.jsonl", &kUnattended}},
       "",
       "",
       "",
       {{"/acknowledgements/control_room", true},
        {"/acknowledgements/alarms", 1},
        {"/walk_tests/0/detected", 1},
        {"/walk_tests/0/missed", 0}}},
      {"walk tests, their detections and the quiet margin",
       {{"walked.jsonl", &kWalked}},
       "",
       "",
       "",
       {{"/walk_tests/#", 2},
        {"/walk_tests/0/note", "ворота, в полный рост"},
        {"/walk_tests/0/reason", "operator"},
        {"/walk_tests/0/passes", 3},
        {"/walk_tests/0/detections", 2},
        {"/walk_tests/0/missed", 1},
        {"/walk_tests/0/alarms/#", 2},
        {"/walk_tests/1/reason", "limit"},
        {"/walk_tests/1/passes", kNull},
        {"/walk_tests/1/missed", kNull},
        // Begun in the test, ended after it: still its detection.
        {"/walk_tests/1/alarms/0/begin", "2026-12-09T10:14:58.000+03:00"},
        {"/walk_tests/1/alarms/0/margin", 11.0},
        {"/detection_margin_min",
         {{"margin", 9.8}, {"walk_test", 1}, {"detection", 2}, {"time", "2026-12-09T10:02:10.000+03:00"}}},
        {"/alarms_outside_tests/#", 2},
        {"/alarms_outside_tests/0/begin", "2026-12-09T10:05:00.000+03:00"},
        {"/alarms_outside_tests/1/peak", kNull},  // no chart sample came: unknown, not 0
        {"/quiet/taken_from", "quiet_samples"},
        {"/quiet/samples", 16402},
        {"/quiet/seconds", 210.823},
        {"/quiet/margin_min", 12.7},
        {"/quiet/margin_min_at", "2026-12-09T10:03:00.000+03:00"},
        {"/quiet/useful_max", 15.3},
        {"/quiet/useful_sd", 1.493},
        {"/signal/margin_min", -16.5},  // over every sample, the walks included
        {"/link/availability", 1.0}}},
      {"the first walk test alone",
       {{"walked.jsonl", &kWalked}},
       "",
       "2026-12-09T10:04",
       "",
       {{"/walk_tests/#", 1},
        {"/alarms_outside_tests/#", 0},
        {"/quiet/seconds", 109.28},
        {"/quiet/margin_min", 12.7}}},
      {"an older journal: the quiet margin from summaries without alarms",
       {{"old.jsonl", &kOld}},
       "",
       "",
       "",
       {{"/quiet/taken_from", "summaries_without_alarms"},
        {"/quiet/summaries", 4},
        {"/signal/summaries", 6},
        {"/quiet/samples", kNull},
        {"/quiet/seconds", 40.0},
        {"/quiet/margin_min", 12.4},
        {"/quiet/margin_min_at", "2026-12-10T12:00:50.000+03:00"},
        {"/quiet/useful_sd", kNull},
        {"/alarms_outside_tests/#", 1},
        {"/link/availability", (65.0 - 0.02) / 65.0}}},
      {"an older journal and a newer one: each its own way",
       {{"old.jsonl", &kOld}, {"walked.jsonl", &kWalked}},
       "",
       "",
       "",
       {{"/quiet/taken_from", "both"}}},
      {"a period in the site's zone and one with its own offset, cut through an alarm",
       {{"west.jsonl", &kWest}},
       "2026-12-07 10:00",
       "2026-12-07T15:03:00Z",
       "",
       {{"/from", "2026-12-07T10:00:00.000-05:00"},
        {"/to", "2026-12-07T10:03:00.000-05:00"},
        {"/runs/#", 1},
        {"/alarms/#", 1},
        {"/alarms/0/begin", "2026-12-07T09:59:00.000-05:00"},
        {"/alarms/0/seconds", 150.0}}},
  };
  return cases;
}

std::string InFolder(std::string text, const std::string& folder) {
  return std::regex_replace(text, std::regex("DIR/"), folder);
}

Json Expected(const Json& value, const std::string& folder) {
  return value.is_string() ? Json(InFolder(value.get<std::string>(), folder)) : value;
}

Json At(const Json& report, const std::string& pointer) {
  const bool size = pointer.size() > 2 && pointer.compare(pointer.size() - 2, 2, "/#") == 0;
  const Json::json_pointer at(size ? pointer.substr(0, pointer.size() - 2) : pointer);
  if (!report.contains(at)) return "(absent)";
  return size ? Json(report.at(at).size()) : report.at(at);
}

TEST(ReportModel, GathersWhatEachJournalSays) {
  TempFolder dir;
  std::filesystem::create_directory(dir.Path() / "Chart4pF");
  std::filesystem::create_directory(dir.Path() / "elsewhere");
  WriteBytes(dir.Folder() + "Chart4pF/good.bin", KnownOscillogramBytes());
  WriteBytes(dir.Folder() + "elsewhere/good.bin", KnownOscillogramBytes());
  WriteBytes(dir.Folder() + "Chart4pF/damaged.bin", {2, 0x10, 0x00, 1, 2, 3});
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.what);
    ReportRequest request;
    for (const auto& [name, lines] : c.journals) {
      request.journals.push_back(dir.Folder() + name);
      WriteJournal(request.journals.back(), *lines);
    }
    request.from = c.from;
    request.to = c.to;
    request.folder = InFolder(c.folder, dir.Folder());
    std::string error;
    const std::optional<ReportData> data = GatherReport(request, &error);
    ASSERT_TRUE(data) << error;
    const std::string text = ReportJson(*data, request).dump();
    EXPECT_FALSE(std::regex_search(text, std::regex(R"(\.\d{7})"))) << text;  // no float noise
    const Json report = Json::parse(text);
    for (const auto& [pointer, value] : c.expect) {
      const Json got = At(report, pointer), want = Expected(value, dir.Folder());
      if (got.is_number() && want.is_number_float())
        EXPECT_NEAR(got.get<double>(), want.get<double>(), 1e-6) << pointer;
      else
        EXPECT_EQ(got, want) << pointer;
    }
  }
}

}  // namespace
}  // namespace tarvin::testing
