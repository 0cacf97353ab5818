// The report's data as JSON, for tools that make their own documents.
#include <cmath>

#include "report/model/report_data.h"
#include "scope/oscillogram_file.h"

namespace tarvin {
namespace {

nlohmann::ordered_json TimeOrNull(const std::optional<int64_t>& ms, int zone) {
  return ms ? nlohmann::ordered_json(JournalTimeText(*ms, zone)) : nlohmann::ordered_json(nullptr);
}

// Seconds from millisecond times, and shares of them, to the digits they
// have: a sum of doubles never shows as 764.2719999999999.
double Seconds(double seconds) { return std::round(seconds * 1000.0) / 1000.0; }
double Share(double share) { return std::round(share * 1e6) / 1e6; }

template <typename T>
nlohmann::ordered_json ValueOrNull(const std::optional<T>& value) {
  return value ? nlohmann::ordered_json(*value) : nlohmann::ordered_json(nullptr);
}

nlohmann::ordered_json TextOrNull(const std::string& text) {
  return text.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(text);
}

const char* FileState(const std::string& path) {
  Oscillogram o;
  switch (ReadOscillogram(path, &o)) {
    case FileStatus::Ok:
      return "ok";
    case FileStatus::CannotOpen:
      return "missing";
    default:
      return "damaged";
  }
}

nlohmann::ordered_json LinkJson(const ReportData& d) {
  nlohmann::ordered_json losses = nlohmann::ordered_json::array();
  for (const ReportLoss& l : d.losses)
    losses.push_back(
        {{"begin", JournalTimeText(l.begin, d.zone)}, {"seconds", Seconds(l.seconds)}, {"ended", l.ended}});
  const double over = d.LinkSeconds();
  // The share from the sensor's first answer: what came before it is no loss.
  return {{"up_seconds", Seconds(d.up_seconds)},
          {"availability", over > 0 ? nlohmann::ordered_json(Share(d.up_seconds / over)) : nullptr},
          {"availability_from",
           over > 0 ? nlohmann::ordered_json(JournalTimeText(d.link_from, d.zone)) : nullptr},
          {"losses", losses},
          {"port_reopenings", d.reopenings},
          {"checksum_errors", d.counters_known ? nlohmann::ordered_json(d.checksum_errors) : nullptr},
          {"timeouts", d.counters_known ? nlohmann::ordered_json(d.timeouts) : nullptr}};
}

nlohmann::ordered_json SignalJson(const ReportData& d) {
  const ReportTotals totals = d.MinuteTotals();
  const ReportMinute* worst = d.WorstMinute();
  return {{"summaries", d.minutes.size()},
          {"samples", totals.samples},
          {"lost", totals.lost},
          {"over_threshold", totals.over},
          {"margin_min", worst ? nlohmann::ordered_json(worst->margin_min) : nullptr},
          {"margin_min_at", worst ? TimeOrNull(worst->at, d.zone) : nullptr}};
}

nlohmann::ordered_json AlarmJson(const ReportAlarm& a, int zone) {
  return {{"begin", JournalTimeText(a.begin, zone)},
          {"end", a.still_on ? nullptr : TimeOrNull(a.end, zone)},
          // Up to the stop for one still on then.
          {"seconds", a.end ? nlohmann::ordered_json(Seconds((*a.end - a.begin) / 1000.0)) : nullptr},
          {"still_on_at_stop", a.still_on ? TimeOrNull(a.end, zone) : nullptr},
          {"alarm_bits", a.bits},
          {"file", TextOrNull(a.file)},
          // The file holds it, saved for the alarm that began then.
          {"saved_with", TimeOrNull(a.saved_with, zone)},
          {"walk_test", ValueOrNull(a.walk_test)},
          {"detection", ValueOrNull(a.detection)},
          {"peak", ValueOrNull(a.peak)},
          {"threshold", ValueOrNull(a.threshold)},
          {"margin", ValueOrNull(a.margin)},
          {"over_threshold_s", ValueOrNull(a.over_threshold_s)},
          // null: nobody acknowledged it
          {"ack", a.ack ? nlohmann::ordered_json({{"operator", a.ack->operator_name},
                                                  {"time", JournalTimeText(a.ack->at, zone)},
                                                  {"comment", a.ack->comment},
                                                  {"seconds_to_ack", a.ack->seconds}})
                        : nullptr},
          // null: the alarm receiving centre did not acknowledge it (see `centre`)
          {"centre_acked", TimeOrNull(a.centre_acked, zone)}};
}

nlohmann::ordered_json AcksJson(const ReportData& d) {
  const std::optional<double> median = d.MedianSecondsToAck();
  // `alarms`: those a control room was asked to acknowledge (none without one).
  return {{"control_room", d.ControlRoom()},
          {"alarms", d.ToAcknowledge()},
          {"acknowledged", d.Acknowledged()},
          {"median_seconds_to_ack", median ? nlohmann::ordered_json(Seconds(*median)) : nullptr},
          {"longest_seconds_to_ack", ValueOrNull(d.LongestSecondsToAck())}};
}

// The alarm receiving centre's path; null when the recorder reported to no
// centre in the period.
nlohmann::ordered_json CentreJson(const ReportData& d) {
  if (!d.centre) return nullptr;
  nlohmann::ordered_json outages = nlohmann::ordered_json::array();
  for (const ReportCentreOutage& o : d.centre_outages) {
    const char* until = o.until == ReportCentreOutage::Until::PathUp   ? "path_up"
                        : o.until == ReportCentreOutage::Until::RunEnd ? "run_end"
                                                                       : "period_end";
    outages.push_back(
        {{"begin", JournalTimeText(o.begin, d.zone)},
         {"since", o.since == ReportCentreOutage::Since::PathDown ? "path_down" : "period_start"},
         {"end", JournalTimeText(o.end, d.zone)},
         {"until", until},
         {"seconds", Seconds(o.Seconds())},
         {"reason", o.reason}});
  }
  return {{"down_seconds", Seconds(d.CentreDownSeconds())}, {"outages", outages}};
}

// Each walk test with its detections; an alarm begun in one is its detection.
nlohmann::ordered_json WalkTestsJson(const ReportData& d) {
  nlohmann::ordered_json tests = nlohmann::ordered_json::array();
  for (std::size_t i = 0; i < d.tests.size(); ++i) {
    const ReportWalkTest& t = d.tests[i];
    nlohmann::ordered_json detected = nlohmann::ordered_json::array();
    for (const ReportAlarm& a : d.alarms)
      if (a.test == i) detected.push_back(AlarmJson(a, d.zone));
    tests.push_back({{"walk_test", t.number},
                     {"begin", JournalTimeText(t.begin, d.zone)},
                     {"end", JournalTimeText(t.end, d.zone)},
                     {"seconds", Seconds((t.end - t.begin) / 1000.0)},
                     // null: no end journalled; `end` is then the run's last line
                     {"reason", t.ended ? TextOrNull(t.reason) : nullptr},
                     {"note", t.note},
                     {"limit_min", ValueOrNull(t.limit_min)},
                     {"passes", ValueOrNull(t.passes)},
                     {"detections", t.detections},
                     {"detected", ValueOrNull(t.detected)},
                     {"missed", ValueOrNull(t.missed)},
                     {"alarms", detected}});
  }
  return tests;
}

nlohmann::ordered_json WeakestDetectionJson(const ReportData& d) {
  const ReportAlarm* a = d.WeakestDetection();
  if (a == nullptr) return nullptr;
  return {{"margin", *a->margin},
          {"walk_test", *a->walk_test},
          {"detection", ValueOrNull(a->detection)},
          {"time", JournalTimeText(a->begin, d.zone)}};
}

const char* SourceName(QuietSource source) {
  switch (source) {
    case QuietSource::QuietSamples:
      return "quiet_samples";
    case QuietSource::SummariesWithoutAlarms:
      return "summaries_without_alarms";
    case QuietSource::Both:
      return "both";
    default:
      return nullptr;
  }
}

nlohmann::ordered_json QuietJson(const ReportData& d) {
  const ReportQuiet q = d.Quiet();
  const char* source = SourceName(q.source);
  const bool counted = q.source == QuietSource::QuietSamples || q.source == QuietSource::Both;
  return {
      {"taken_from", source ? nlohmann::ordered_json(source) : nullptr},
      {"summaries", q.summaries},
      // Older summaries do not count their quiet samples.
      {"samples", counted ? nlohmann::ordered_json(q.samples) : nullptr},
      {"seconds", Seconds(q.seconds)},
      {"margin_min", ValueOrNull(q.margin_min)},
      {"margin_min_at", q.margin_min ? TimeOrNull(q.margin_min_at, d.zone) : nullptr},
      {"useful_max", ValueOrNull(q.useful_max)},
      {"useful_sd", q.useful_sd ? nlohmann::ordered_json(std::round(*q.useful_sd * 1000) / 1000) : nullptr},
      // False: journals whose summaries gave no means, pooled within them.
      {"useful_sd_over_all", q.useful_sd_exact},
      {"useful_sd_max", ValueOrNull(q.useful_sd_max)},
      {"useful_sd_max_at", q.useful_sd_max ? TimeOrNull(q.useful_sd_max_at, d.zone) : nullptr}};
}

}  // namespace

nlohmann::ordered_json ReportJson(const ReportData& d, const ReportRequest& request) {
  nlohmann::ordered_json runs = nlohmann::ordered_json::array();
  for (const ReportRun& r : d.runs)
    runs.push_back({{"start", JournalTimeText(r.start, d.zone)},
                    {"end", JournalTimeText(r.end, d.zone)},
                    {"port", r.port},
                    {"version", r.version},
                    {"stop_reason", TextOrNull(r.stop_reason)}});
  nlohmann::ordered_json alarms = nlohmann::ordered_json::array();
  for (const ReportAlarm& a : d.alarms) alarms.push_back(AlarmJson(a, d.zone));
  nlohmann::ordered_json outside = nlohmann::ordered_json::array();
  for (const ReportAlarm& a : d.alarms)
    if (!a.InTest()) outside.push_back(AlarmJson(a, d.zone));
  nlohmann::ordered_json files = nlohmann::ordered_json::array();
  for (const ReportFile& f : d.files)
    files.push_back({{"time", JournalTimeText(f.at, d.zone)},
                     {"path", f.path},
                     {"trigger", f.trigger},
                     {"state", FileState(f.path)}});
  return {{"title", request.title},
          {"site", request.site},
          {"sensor", request.sensor},
          {"from", JournalTimeText(d.from, d.zone)},
          {"to", JournalTimeText(d.to, d.zone)},
          {"empty", d.empty},
          {"port", d.port},
          {"firmware", d.firmware},
          {"settings", d.settings},
          {"runs", runs},
          {"link", LinkJson(d)},
          {"alarms", alarms},
          {"walk_tests", WalkTestsJson(d)},
          {"detection_margin_min", WeakestDetectionJson(d)},
          {"alarms_outside_tests", outside},
          {"signal", SignalJson(d)},
          {"quiet", QuietJson(d)},
          {"acknowledgements", AcksJson(d)},
          {"centre", CentreJson(d)},
          {"oscillograms", files},
          {"skipped_lines", {{"count", d.skipped}, {"where", d.skipped_where}}}};
}

}  // namespace tarvin
