#include "report/model/report_centre.h"

#include <algorithm>

namespace tarvin {
namespace {

// The `dc09_acked` of an alarm's begin, named by that begin's `seq` and
// `time` together: `seq` starts again with each run, and the acknowledgement
// may come in a later one.
void CentreAcked(const JournalEvent& e, int64_t t, std::vector<ReportAlarm>& alarms) {
  if (EventNamed(e.Text("reported")) != Event::AlarmBegin) return;
  const std::optional<uint64_t> seq = e.Count("event_seq");
  const std::string time = e.Text("event_time");
  if (!seq || time.empty()) return;
  const auto alarm = std::find_if(alarms.rbegin(), alarms.rend(),
                                  [&](const ReportAlarm& a) { return a.seq == *seq && a.time == time; });
  if (alarm == alarms.rend() || alarm->centre_acked) return;  // the first one stands
  alarm->centre_acked = t;
}

}  // namespace

void CentreTrail::Take(const JournalEvent& e, int64_t t, SensorFold::Centre before,
                       std::vector<ReportAlarm>& alarms) {
  switch (e.Kind()) {
    case Event::CentreAcked:
      CentreAcked(e, t, alarms);
      break;
    case Event::CentrePathDown:
      if (before == SensorFold::Centre::Down) break;  // down already: the same outage
      outages_.push_back(
          {t, t, ReportCentreOutage::Since::PathDown, ReportCentreOutage::Until::PathUp, e.Text("reason")});
      open_ = true;
      break;
    case Event::CentrePathUp:
      if (open_) outages_.back().end = t;
      open_ = false;
      break;
    case Event::CentreDropped:
      break;
    default:
      return;  // not the centre's
  }
  times_.push_back(t);
}

void CentreTrail::EndRun(int64_t t) {
  if (!open_) return;
  outages_.back().end = t;
  outages_.back().until = ReportCentreOutage::Until::RunEnd;
  open_ = false;
}

void CentreTrail::Finish(ReportData& d) const {
  d.centre = std::any_of(times_.begin(), times_.end(), [&](int64_t t) { return t >= d.from && t <= d.to; });
  for (ReportCentreOutage o : outages_) {
    if (o.begin > d.to || o.end < d.from) continue;
    if (o.begin < d.from) {
      o.begin = d.from;
      o.since = ReportCentreOutage::Since::PeriodStart;
    }
    if (o.end > d.to) {
      o.end = d.to;
      o.until = ReportCentreOutage::Until::PeriodEnd;
    }
    if (o.end == o.begin && o.since == ReportCentreOutage::Since::PeriodStart) continue;  // ended as it began
    d.centre_outages.push_back(o);
  }
  // A period the centre was away all through holds none of its events, but it had one.
  if (!d.centre_outages.empty()) d.centre = true;
}

double ReportData::CentreDownSeconds() const {
  int64_t ms = 0;  // summed whole: a sum of fractions would carry float noise
  for (const ReportCentreOutage& o : centre_outages) ms += o.end - o.begin;
  return static_cast<double>(ms) / 1000.0;
}

}  // namespace tarvin
