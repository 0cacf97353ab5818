// Who in the control room acknowledged each alarm, when, with what comment,
// and how long it took.
#pragma once

#include <QString>

#include "report/model/report_data.h"

namespace tarvin {

class ReportPage;

// Every alarm a control room was asked to acknowledge with its
// acknowledgement, or "не подтверждена"; without a control room, that nobody
// could. Detections are the engineer's, not the control room's.
void AckSection(ReportPage& page, const ReportData& data);
// For the closing summary: how many were acknowledged and how fast; empty
// without alarms to acknowledge.
QString AckSummaryLine(const ReportData& data);

}  // namespace tarvin
