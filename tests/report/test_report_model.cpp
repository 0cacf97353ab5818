// The commissioning report's model over hand-made journals, read back through
// its JSON: periods in the journal's zone or their own, one cut through an
// alarm, saves paired to alarms, walk tests, older journals, an alarm
// receiving centre's acknowledgements and outages. The PDF's tests
// (tests/osc) check only that it is made and holds its sections.
#include <gtest/gtest.h>

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

struct Case {
  const char* what;
  std::vector<std::pair<const char*, const JournalLines*>> journals;
  // Pointers into ReportJson: what each holds ("…/#": a size; "DIR/": the folder).
  const char* expect;
  std::string from = "", to = "", folder = "";
};

// kTwoRuns' link from the first answer (22:00:00.04) is up but for the 20 s
// loss and the 5 min between the runs: 3279.92 s of 3599.96.
const std::vector<Case> kCases = {
    {"two runs, the second without stop; oscillograms from another folder",
     {{"journal.jsonl", &kTwoRuns}},
     R"({"/from": "2026-12-07T22:00:00.000+03:00", "/to": "2026-12-07T23:00:00.000+03:00", "/firmware": "2.0",
         "/alarms/0/file": "DIR/elsewhere/good.bin",
         "/settings": {"save_level": 40.0, "direct_component": "30", "buffer_length": "56", "network_address": "7"},
         "/runs/#": 2, "/runs/1/stop_reason": null, "/link/port_reopenings": 0,
         "/link/losses": [{"begin": "2026-12-07T22:20:00.000+03:00", "seconds": 20.0, "ended": true}],
         "/link/checksum_errors": 4, "/link/timeouts": 2, "/link/availability": 0.911099,
         "/alarms_outside_tests/#": 2, "/alarms/1/still_on_at_stop": "2026-12-07T23:00:00.000+03:00",
         "/alarms/1/seconds": 600.0, "/signal/lost": 3, "/quiet/seconds": 120.0, "/quiet/margin_min": -5.0,
         "/quiet/margin_min_at": "2026-12-07T22:21:00.000+03:00",
         "/skipped_lines": {"count": 1, "where": ["journal.jsonl:7"]}, "/centre": null,
         "/alarms/0/centre_acked": null})",
     "",
     "",
     "DIR/elsewhere"},
    // The link's share from the first answer, 40 ms into the period. A save
    // that names no alarm (an older journal) goes to the latest one.
    {"a period given in the journal's local time",
     {{"journal.jsonl", &kTwoRuns}},
     R"({"/to": "2026-12-07T22:44:00.000+03:00", "/runs/#": 1, "/link/losses/0/seconds": 20.0,
         "/link/availability": 0.901514, "/alarms/#": 1, "/alarms/0/seconds": 4.0,
         "/alarms/0/file": "DIR/Chart4pF/good.bin", "/signal/margin_min": -5.0, "/signal/over_threshold": 12,
         "/oscillograms/0/state": "ok", "/oscillograms/1/state": "missing", "/oscillograms/2/state": "damaged"})",
     "2026-12-07T22:00",
     "2026-12-07 22:44"},
    {"an empty period", {{"journal.jsonl", &kTwoRuns}}, R"({"/empty": true})", "2026-12-08", "2026-12-09"},
    {"a run without summaries",
     {{"journal.jsonl", &kTwoRuns}},
     R"({"/empty": false, "/signal/summaries": 0, "/oscillograms/#": 0, "/alarms/0/file": null})",
     "2026-12-07T22:45"},
    // The second alarm began while the first one's save waited: in its file.
    {"saves paired to the alarm that armed them",
     {{"armed.jsonl", &kArmed}},
     R"({"/to": "2026-12-08T18:02:47.500+03:00", "/settings": {}, "/alarms/#": 3,
         "/alarms/0/file": "DIR/Chart4pF/good.bin", "/alarms/1/file": "DIR/Chart4pF/good.bin",
         "/alarms/1/saved_with": "2026-12-08T18:01:00.000+03:00", "/alarms/2/end": null,
         "/alarms/2/still_on_at_stop": "2026-12-08T18:02:47.500+03:00", "/alarms/2/seconds": 0.5})"},
    {"acknowledged across a restart, the first one standing",
     {{"acked.jsonl", &kAcked}},
     R"({"/alarms/#": 2, "/alarms/1/ack": null, "/alarms_outside_tests/0/ack/operator": "ivanov",
         "/alarms/0/ack": {"operator": "ivanov", "time": "2026-12-09T01:05:04.656+03:00",
                           "comment": "ложная: <b>ветер</b>", "seconds_to_ack": 181.2},
         "/acknowledgements": {"control_room": true, "alarms": 2, "acknowledged": 1,
                               "median_seconds_to_ack": 181.2, "longest_seconds_to_ack": 181.2}})"},
    {"the window's run alone: no control room",
     {{"window.jsonl", &kUnattended}},
     R"({"/acknowledgements/control_room": false, "/acknowledgements/alarms": 0, "/walk_tests/0/passes": 1,
         "/walk_tests/0/detections": 2, "/walk_tests/0/detected": 1, "/link/availability": 1.0,
         "/link/availability_from": "2026-12-11T12:00:01.000+03:00", "/alarms_outside_tests/0/seconds": 2.0})",
     "",
     "2026-12-11T12:02"},
    {"with a recorder's run: only its alarm is the control room's",
     {{"window.jsonl", &kUnattended}},
     R"({"/acknowledgements/control_room": true, "/acknowledgements/alarms": 1, "/walk_tests/0/detected": 1,
         "/walk_tests/0/missed": 0})"},
    // A detection begun in its test and ended after it is still the test's;
    // an alarm without a chart sample has no peak (unknown, not 0); the
    // signal's margin is over every sample, the walks included.
    {"walk tests, their detections and the quiet margin",
     {{"walked.jsonl", &kWalked}},
     R"({"/walk_tests/#": 2, "/walk_tests/0/note": "ворота, в полный рост", "/walk_tests/0/reason": "operator",
         "/walk_tests/0/passes": 3, "/walk_tests/0/detections": 2, "/walk_tests/0/missed": 1,
         "/walk_tests/0/alarms/#": 2, "/walk_tests/1/reason": "limit", "/walk_tests/1/passes": null,
         "/walk_tests/1/missed": null, "/walk_tests/1/alarms/0/begin": "2026-12-09T10:14:58.000+03:00",
         "/walk_tests/1/alarms/0/margin": 11.0, "/detection_margin_min": {"margin": 9.8, "walk_test": 1,
         "detection": 2, "time": "2026-12-09T10:02:10.000+03:00"}, "/alarms_outside_tests/#": 2,
         "/alarms_outside_tests/0/begin": "2026-12-09T10:05:00.000+03:00", "/alarms_outside_tests/1/peak": null,
         "/quiet/taken_from": "quiet_samples", "/quiet/samples": 16402, "/quiet/seconds": 210.823,
         "/quiet/margin_min": 12.7, "/quiet/margin_min_at": "2026-12-09T10:03:00.000+03:00",
         "/quiet/useful_max": 15.3, "/quiet/useful_sd": 1.493, "/signal/margin_min": -16.5,
         "/link/availability": 1.0})"},
    {"the first walk test alone",
     {{"walked.jsonl", &kWalked}},
     R"({"/walk_tests/#": 1, "/walk_tests/0/missed": 1, "/alarms_outside_tests/#": 0, "/quiet/seconds": 109.28,
         "/quiet/margin_min": 12.7})",
     "",
     "2026-12-09T10:04"},
    {"an older journal: the quiet margin from summaries without alarms",
     {{"old.jsonl", &kOld}},
     R"({"/quiet/taken_from": "summaries_without_alarms", "/quiet/summaries": 4, "/signal/summaries": 6,
         "/quiet/samples": null, "/quiet/seconds": 40.0, "/quiet/margin_min": 12.4, "/quiet/useful_sd": null,
         "/quiet/margin_min_at": "2026-12-10T12:00:50.000+03:00", "/alarms_outside_tests/#": 1,
         "/link/availability": 0.999692})"},
    {"an older journal and a newer one: each its own way",
     {{"old.jsonl", &kOld}, {"walked.jsonl", &kWalked}},
     R"({"/quiet/taken_from": "both"})"},
    // A period's end with its own offset: 22:10:30 where the journal is.
    {"a period cut through an alarm",
     {{"journal.jsonl", &kTwoRuns}},
     R"({"/from": "2026-12-07T22:10:02.000+03:00", "/to": "2026-12-07T22:10:30.000+03:00", "/alarms/#": 1,
         "/alarms/0/begin": "2026-12-07T22:10:00.000+03:00", "/alarms/0/seconds": 4.0, "/runs/#": 1})",
     "2026-12-07 22:10:02",
     "2026-12-07T19:10:30Z"},
    // An acknowledgement names its alarm by `seq` and time: the new run's
    // alarm with the same `seq` is not the one acknowledged after the restart.
    {"an alarm receiving centre: acknowledgements across a restart, the times it was away",
     {{"centre.jsonl", &kCentre}},
     R"({"/alarms/#": 4, "/alarms/0/centre_acked": "2026-12-10T04:05:00.700+03:00",
         "/alarms/1/centre_acked": "2026-12-10T04:05:01.100+03:00",
         "/alarms_outside_tests/2/centre_acked": "2026-12-10T04:12:00.300+03:00", "/alarms/3/centre_acked": null,
         "/centre/down_seconds": 899.0, "/centre/outages": [
           {"begin": "2026-12-10T04:00:01.000+03:00", "since": "path_down", "end": "2026-12-10T04:03:00.000+03:00",
            "until": "run_end", "seconds": 179.0, "reason": "no answer"},
           {"begin": "2026-12-10T04:10:00.000+03:00", "since": "path_down", "end": "2026-12-10T04:12:00.000+03:00",
            "until": "path_up", "seconds": 120.0, "reason": "connection refused"},
           {"begin": "2026-12-10T04:20:00.000+03:00", "since": "path_down", "end": "2026-12-10T04:30:00.000+03:00",
            "until": "run_end", "seconds": 600.0, "reason": "no answer"}]})"},
    // Cut at both ends; the last period holds none of the centre's events,
    // but the centre was away all through it.
    {"a period cut through the centre's outages",
     {{"centre.jsonl", &kCentre}},
     R"({"/alarms/#": 2, "/alarms/0/centre_acked": "2026-12-10T04:12:00.300+03:00", "/alarms/1/centre_acked": null,
         "/centre/down_seconds": 360.0, "/centre/outages/0/begin": "2026-12-10T04:11:00.000+03:00",
         "/centre/outages/0/since": "period_start", "/centre/outages/0/until": "path_up",
         "/centre/outages/1/until": "period_end", "/centre/outages/1/seconds": 300.0})",
     "2026-12-10 04:11",
     "2026-12-10T04:25"},
    {"a period the centre was away all through",
     {{"centre.jsonl", &kCentre}},
     R"({"/alarms/#": 0, "/centre": {"down_seconds": 360.0, "outages": [{"begin": "2026-12-10T04:22:00.000+03:00",
         "since": "period_start", "end": "2026-12-10T04:28:00.000+03:00", "until": "period_end", "seconds": 360.0,
         "reason": "no answer"}]}})",
     "2026-12-10 04:22",
     "2026-12-10 04:28"},
};

std::string InFolder(const std::string& text, const std::string& folder) {
  return std::regex_replace(text, std::regex("DIR/"), folder);
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
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    ReportRequest request;
    request.folder = InFolder(c.folder, dir.Folder());
    request.from = c.from;
    request.to = c.to;
    for (const auto& [name, lines] : c.journals) {
      request.journals.push_back(dir.Folder() + name);
      WriteJournal(request.journals.back(), *lines);
    }
    std::string error;
    const std::optional<ReportData> data = GatherReport(request, &error);
    ASSERT_TRUE(data) << error;
    const std::string text = ReportJson(*data, request).dump();
    EXPECT_FALSE(std::regex_search(text, std::regex(R"(\.\d{7})"))) << text;  // no float noise
    const Json report = Json::parse(text);
    const Json expected = Json::parse(InFolder(c.expect, dir.Folder()));
    for (const auto& [pointer, value] : expected.items()) {
      const Json got = At(report, pointer);
      if (got.is_number() && value.is_number_float())  // as the JSON rounds them
        EXPECT_NEAR(got.get<double>(), value.get<double>(), 1e-6) << pointer;
      else
        EXPECT_EQ(got, value) << pointer;
    }
  }
}

}  // namespace
}  // namespace tarvin::testing
