// The report's two charts over the period, drawn with plain QPainter calls so
// they stay lines and text in the PDF: alarms per hour, and the signal from
// the minute summaries.
#pragma once

#include <QPainter>
#include <QRect>

#include "journal/report_data.h"

namespace tarvin {

// `mm` is the device units in a millimetre (line widths, text).
void DrawAlarmsPerHour(QPainter& painter, QRect area, const ReportData& data, double mm);
// The useful signal's maximum and the threshold's minimum of each summary,
// and the margin between them; a gap where no summary came.
void DrawSignal(QPainter& painter, QRect area, const ReportData& data, double mm);

}  // namespace tarvin
