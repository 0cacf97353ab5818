// The report's data as JSON, for tools that make their own documents.
#include <cmath>

#include "journal/report_data.h"
#include "scope/oscillogram_file.h"

namespace tarvin {
namespace {

nlohmann::ordered_json TimeOrNull(const std::optional<int64_t>& ms, int zone) {
  return ms ? nlohmann::ordered_json(ReportTimeText(*ms, zone)) : nlohmann::ordered_json(nullptr);
}

// Seconds from millisecond times, and shares of them, to the digits they
// have: a sum of doubles never shows as 764.2719999999999.
double Seconds(double seconds) { return std::round(seconds * 1000.0) / 1000.0; }
double Share(double share) { return std::round(share * 1e6) / 1e6; }

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
        {{"begin", ReportTimeText(l.begin, d.zone)}, {"seconds", Seconds(l.seconds)}, {"ended", l.ended}});
  const double period = d.PeriodSeconds();
  return {{"up_seconds", Seconds(d.up_seconds)},
          {"availability", period > 0 ? nlohmann::ordered_json(Share(d.up_seconds / period)) : nullptr},
          {"losses", losses},
          {"port_reopenings", d.reopenings},
          {"checksum_errors", d.counters_known ? nlohmann::ordered_json(d.checksum_errors) : nullptr},
          {"timeouts", d.counters_known ? nlohmann::ordered_json(d.timeouts) : nullptr}};
}

nlohmann::ordered_json SignalJson(const ReportData& d) {
  uint64_t samples = 0, lost = 0, over = 0;
  for (const ReportMinute& m : d.minutes) {
    samples += m.samples;
    lost += m.lost;
    over += m.over;
  }
  const ReportMinute* worst = d.WorstMinute();
  return {{"summaries", d.minutes.size()},
          {"samples", samples},
          {"lost", lost},
          {"over_threshold", over},
          {"margin_min", worst ? nlohmann::ordered_json(worst->margin_min) : nullptr},
          {"margin_min_at", worst ? TimeOrNull(worst->at, d.zone) : nullptr}};
}

}  // namespace

nlohmann::ordered_json ReportJson(const ReportData& d, const ReportRequest& request) {
  nlohmann::ordered_json runs = nlohmann::ordered_json::array();
  for (const ReportRun& r : d.runs)
    runs.push_back({{"start", ReportTimeText(r.start, d.zone)},
                    {"end", ReportTimeText(r.end, d.zone)},
                    {"port", r.port},
                    {"version", r.version},
                    {"stop_reason", TextOrNull(r.stop_reason)}});
  nlohmann::ordered_json alarms = nlohmann::ordered_json::array();
  for (const ReportAlarm& a : d.alarms)
    alarms.push_back(
        {{"begin", ReportTimeText(a.begin, d.zone)},
         {"end", a.still_on ? nullptr : TimeOrNull(a.end, d.zone)},
         // Up to the stop for one still on then.
         {"seconds", a.end ? nlohmann::ordered_json(Seconds((*a.end - a.begin) / 1000.0)) : nullptr},
         {"still_on_at_stop", a.still_on ? TimeOrNull(a.end, d.zone) : nullptr},
         {"alarm_bits", a.bits},
         {"file", TextOrNull(a.file)},
         // The file holds it, saved for the alarm that began then.
         {"saved_with", TimeOrNull(a.saved_with, d.zone)}});
  nlohmann::ordered_json files = nlohmann::ordered_json::array();
  for (const ReportFile& f : d.files)
    files.push_back({{"time", ReportTimeText(f.at, d.zone)},
                     {"path", f.path},
                     {"trigger", f.trigger},
                     {"state", FileState(f.path)}});
  return {{"title", request.title},
          {"site", request.site},
          {"sensor", request.sensor},
          {"from", ReportTimeText(d.from, d.zone)},
          {"to", ReportTimeText(d.to, d.zone)},
          {"empty", d.empty},
          {"port", d.port},
          {"firmware", d.firmware},
          {"settings", d.settings},
          {"runs", runs},
          {"link", LinkJson(d)},
          {"alarms", alarms},
          {"signal", SignalJson(d)},
          {"oscillograms", files},
          {"skipped_lines", {{"count", d.skipped}, {"where", d.skipped_where}}}};
}

}  // namespace tarvin
