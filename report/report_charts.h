// The report's two charts over the period, drawn with plain QPainter calls so
// they stay lines and text in the PDF: alarms per hour (or shorter bins), the
// detections of walk tests apart, and the signal from the minute summaries.
#pragma once

#include <QPainter>
#include <QRect>

#include "report/model/report_data.h"

namespace tarvin {

// How many minutes each bar of the alarms' chart counts: a minute to half an
// hour for a period of up to a day or two, else an hour or more, so a bar
// stays wide enough to see.
int AlarmBinMinutes(const ReportData& data);
// `mm` is the device units in a millimetre (line widths, text). The last bar
// ends with the period.
void DrawAlarmsPerBin(QPainter& painter, QRect area, const ReportData& data, double mm);
// The useful signal's maximum and the threshold's minimum of each summary,
// the margin between them and the quiet margin; a gap where no summary came.
// The walk tests shaded.
void DrawSignal(QPainter& painter, QRect area, const ReportData& data, double mm);

}  // namespace tarvin
