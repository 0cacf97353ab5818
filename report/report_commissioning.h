// What proves a zone to the customer: each walk test with its detections and
// their margins, the alarms outside the tests (those the customer must hear
// about), and the quiet state with its margin to the threshold.
#pragma once

#include <QString>

#include "report/model/report_data.h"

namespace tarvin {

class ReportPage;

void WalkTestSection(ReportPage& page, const ReportData& data);
// The alarms outside the walk tests in a table, and every alarm per hour (or
// shorter bins), the detections apart.
void OutsideAlarmSection(ReportPage& page, const ReportData& data);
void QuietSection(ReportPage& page, const ReportData& data);

}  // namespace tarvin
