// The acknowledgements over a report's period: how many of the alarms a
// control room was asked to acknowledge have one, and how long it took.
#include <algorithm>
#include <vector>

#include "report/model/report_data.h"

namespace tarvin {

bool ReportData::ControlRoom() const {
  return std::any_of(runs.begin(), runs.end(), [](const ReportRun& r) { return r.control_room; });
}

std::size_t ReportData::ToAcknowledge() const {
  return static_cast<std::size_t>(
      std::count_if(alarms.begin(), alarms.end(), [](const ReportAlarm& a) { return a.to_acknowledge; }));
}

std::size_t ReportData::Acknowledged() const {
  return static_cast<std::size_t>(std::count_if(alarms.begin(), alarms.end(), [](const ReportAlarm& a) {
    return a.to_acknowledge && a.ack.has_value();
  }));
}

namespace {

std::vector<double> SecondsToAck(const std::vector<ReportAlarm>& alarms) {
  std::vector<double> seconds;
  for (const ReportAlarm& a : alarms)
    if (a.to_acknowledge && a.ack) seconds.push_back(a.ack->seconds);
  std::sort(seconds.begin(), seconds.end());
  return seconds;
}

}  // namespace

std::optional<double> ReportData::MedianSecondsToAck() const {
  const std::vector<double> s = SecondsToAck(alarms);
  if (s.empty()) return std::nullopt;
  const std::size_t half = s.size() / 2;
  return s.size() % 2 == 1 ? s[half] : (s[half - 1] + s[half]) / 2.0;
}

std::optional<double> ReportData::LongestSecondsToAck() const {
  const std::vector<double> s = SecondsToAck(alarms);
  if (s.empty()) return std::nullopt;
  return s.back();
}

}  // namespace tarvin
