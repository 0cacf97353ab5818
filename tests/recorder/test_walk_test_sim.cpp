// A walk test made through the recorder's control pipe against the
// simulator, as an engineer commissions a zone: passes inside the test are
// detections with their margins, an intrusion after it is an alarm, and the
// commissioning report tells the two apart.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "report/model/report_data.h"
#include "tests/support/recorder_process.h"
#include "tests/support/sim_process.h"
#include "tests/support/temp_folder.h"

namespace tarvin::testing {
namespace {

// One writer a command, gone again after it: as `echo ... > FIFO` does.
void Say(const std::string& fifo, const std::string& line) { std::ofstream(fifo) << line << "\n"; }

std::vector<nlohmann::json> Named(const std::vector<nlohmann::json>& events, const std::string& name) {
  std::vector<nlohmann::json> found;
  for (const nlohmann::json& e : events)
    if (e.value("event", "") == name) found.push_back(e);
  return found;
}

TEST(RecorderWalkTest, PassesThroughTheControlPipeAreDetectionsAndTheReportTellsThemFromAlarms) {
  TempFolder work;
  const std::string dir = work.Folder();
  SimProcess sim;
  RecorderProcess recorder;
  ASSERT_TRUE(sim.Start(dir, {}));
  // A file where the pipe should be is refused before anything is made.
  std::ofstream(dir + "notes.txt") << "walk-test start\n";
  RecorderProcess refused_start;
  ASSERT_TRUE(refused_start.Start(dir, {"--port", "COM1", "--control", "notes.txt"}));
  EXPECT_EQ(refused_start.Wait(), 2);
  EXPECT_FALSE(std::filesystem::exists(dir + "Chart4pF"));
  ASSERT_TRUE(recorder.Start(dir, {"--port", "COM1", "--control", "control", "--summary-every", "10"}));
  ASSERT_TRUE(recorder.WaitForEvent("alarm_known")) << recorder.Stderr();
  ASSERT_TRUE(sim.WaitForStat("samples", 200));
  const std::string fifo = dir + "control";

  // Refused lines change nothing and are named.
  Say(fifo, "walk-test end");
  Say(fifo, "walk-test start " + std::string(201, 'a'));
  Say(fifo, "walk-test start " + std::string(2048, 'a'));  // refused for the line, not the note
  Say(fifo, "open the gate");
  Say(fifo, "walk-test start ворота, в полный рост");
  const auto begun = recorder.WaitForEvent("walk_test_begin");
  ASSERT_TRUE(begun) << recorder.Stderr();
  EXPECT_EQ((*begun)["note"], "ворота, в полный рост");
  const auto refused = Named(recorder.Events(), "control_refused");
  ASSERT_EQ(refused.size(), 4u);
  EXPECT_EQ(refused[2]["reason"], "the line is longer than 1024 bytes");
  EXPECT_EQ(refused[3]["line"], "open the gate");

  // Two passes, one detected.
  sim.Send("intrusion 2");
  const auto detection = recorder.WaitForEvent("alarm_end");
  ASSERT_TRUE(detection);
  EXPECT_EQ((*detection)["walk_test"], 1);
  EXPECT_GT((*detection)["margin"].get<double>(), 5.0);
  EXPECT_GT((*detection)["over_threshold_s"].get<double>(), 0.5);
  Say(fifo, "walk-test end 2");
  const auto ended = recorder.WaitForEvent("walk_test_end");
  ASSERT_TRUE(ended);
  EXPECT_EQ((*ended)["missed"], 1);

  // Quiet, then an intrusion nobody announced.
  // Ten seconds after the test the zone is quiet again: a summary says so.
  int64_t after = ended->value("seq", 0);
  for (int i = 0; i < 4; ++i) {
    const auto summary = recorder.WaitForEvent("summary", after);
    ASSERT_TRUE(summary);
    after = summary->value("seq", 0);
    if ((*summary)["quiet"].value("samples", 0) > 300) break;
  }
  sim.Send("intrusion 2");
  const auto alarm = recorder.WaitForEvent("alarm_end", detection->value("seq", 0));
  ASSERT_TRUE(alarm);
  EXPECT_FALSE(alarm->contains("walk_test"));
  recorder.Signal(SIGTERM);
  EXPECT_EQ(recorder.Wait(), 0);

  int quiet_samples = 0;
  for (const nlohmann::json& s : Named(recorder.Events(), "summary")) {
    quiet_samples += s["quiet"].value("samples", 0);
    if (s["quiet"].value("samples", 0) > 0) EXPECT_GT(s["quiet"]["margin_min"].get<double>(), 5.0) << s;
  }
  EXPECT_GT(quiet_samples, 300);

  // The report's model over that journal tells the detection from the alarm.
  ReportRequest request;
  request.journals = {dir + "journal.jsonl"};
  const std::optional<ReportData> report = GatherReport(request, nullptr);
  ASSERT_TRUE(report);
  ASSERT_EQ(report->tests.size(), 1u);
  EXPECT_EQ(report->tests[0].note, "ворота, в полный рост");
  EXPECT_EQ(report->tests[0].passes, 2);
  EXPECT_EQ(report->tests[0].detected, 1);
  EXPECT_EQ(report->AlarmsOutsideTests(), 1u);
  EXPECT_EQ(report->Quiet().source, QuietSource::QuietSamples);
}

}  // namespace
}  // namespace tarvin::testing
