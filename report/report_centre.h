// What reached the alarm receiving centre (ПЦН), for a period in which the
// recorder reported to one: when the centre acknowledged each alarm, and the
// times no path to it answered.
#pragma once

#include <QString>

#include "report/model/report_data.h"

namespace tarvin {

class ReportPage;

// An alarm's cell in the alarms' tables: when the centre acknowledged it, or
// that it never reached the centre.
QString CentreAckCell(const ReportData& data, const ReportAlarm& alarm);
// Each time the centre could not be reached, with its length and the total;
// nothing at all when the recorder reported to no centre in the period.
void CentreSection(ReportPage& page, const ReportData& data);

}  // namespace tarvin
