// The commissioning report as a PDF in Russian, A4: the sensor and its runs,
// the link, the walk tests with their detections, the alarms outside them,
// the quiet state, the signal from the minute summaries, each alarm's
// oscillogram (drawn by the window's chart) and a closing line in plain
// words. `tarvin9-osc report` and the window's "Отчёт…" both make it here.
#pragma once

#include <QByteArray>
#include <QString>
#include <string>

#include "report/model/report_data.h"
#include "scope/oscillogram_file.h"

namespace tarvin {

// "Проверка: 12 проходов, обнаружено 12, наименьший запас обнаружения 9,8.
// В покое 14 ч: ...": the report's last line.
QString ReportClosingLine(const ReportData& data);

// The PDF's bytes. Reads the oscillograms the data names; `program` names the
// maker with its version. Needs a QGuiApplication.
QByteArray ReportPdf(const ReportData& data, const ReportRequest& request, const QString& program);

// Reads the oscillograms the data names and writes the PDF to `path`, whole
// or not at all. `program` names the maker with its version. Needs a
// QGuiApplication. CannotOpen or WriteFailed with *reason.
FileStatus WriteReportPdf(const ReportData& data, const ReportRequest& request, const QString& program,
                          const std::string& path, std::string* reason = nullptr);

}  // namespace tarvin
