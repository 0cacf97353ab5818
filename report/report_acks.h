// Who in the control room acknowledged each alarm, when, with what comment,
// and how long it took.
#pragma once

#include <QString>

#include "journal/report_data.h"

namespace tarvin {

class ReportPage;

// Every alarm and detection with its acknowledgement, or "не подтверждена".
void AckSection(ReportPage& page, const ReportData& data);
// For the closing summary: how many were acknowledged and how fast; empty
// without alarms.
QString AckSummaryLine(const ReportData& data);

}  // namespace tarvin
