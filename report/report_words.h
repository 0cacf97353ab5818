// The report's words for times, numbers and durations: Russian, with a
// decimal comma, at the journal's own offset from UTC (the site's clock,
// wherever the report is made).
#pragma once

#include <QString>
#include <cstdint>
#include <string>

#include "report/model/report_data.h"

namespace tarvin::report_words {

// A number and its unit are joined by a no-break space: "83,1 %" never
// breaks across lines.
inline constexpr QChar kNoBreak(0x00A0);

inline QString Q(const std::string& s) { return QString::fromStdString(s); }
QString When(int zone, int64_t ms);
QString Decimal(double value, int decimals);
// A margin, a peak or a threshold, as the report gives them all: one decimal.
QString Level(double value);
// Every duration the report gives: "2,7 с" under 10 s, "45 с", "3 мин 20 с", "2 ч 5 мин".
QString Duration(double seconds);
// A period's length: "168 ч", "1,5 ч", or under an hour "15 мин 0 с".
QString Hours(double seconds);
// The noun's form after the number n: "1 проход", "3 прохода", "12 проходов".
QString Counted(long long n, const char* one, const char* few, const char* many);
// A note where one line is wanted (a headline, a table's cell): cut after
// `chars` characters, with "…".
QString Headline(const std::string& text, int chars);
// The link's share from the sensor's first answer in the period to its end
// (ReportData::link_from): "99,1 %"; "100 %" only with no loss in it.
QString Availability(const ReportData& data);

}  // namespace tarvin::report_words
