// The alarm receiving centre's events as a report takes them: which alarm
// each acknowledgement names, and the times no path to the centre answered.
// The report's gatherer hands it every event in the journals' order.
#pragma once

#include <cstdint>
#include <vector>

#include "journal/journal_event.h"
#include "journal/sensor_fold.h"
#include "report/model/report_data.h"

namespace tarvin {

class CentreTrail {
 public:
  // One event at `t`; `before`: the centre's path as the events before it left it.
  void Take(const JournalEvent& e, int64_t t, SensorFold::Centre before, std::vector<ReportAlarm>& alarms);
  // The run ended at `t` (its stop, or its last line): an outage still open ends there.
  void EndRun(int64_t t);
  // Sets data.centre and data.centre_outages for the period data.from to data.to.
  void Finish(ReportData& data) const;

 private:
  std::vector<int64_t> times_;  // of every centre event
  std::vector<ReportCentreOutage> outages_;
  bool open_ = false;  // the last outage has not ended yet
};

}  // namespace tarvin
