#include "report/report_words.h"

#include <QDateTime>
#include <QLocale>
#include <cmath>
#include <cstdlib>

namespace tarvin::report_words {

QString When(int zone, int64_t ms) {
  return QDateTime::fromMSecsSinceEpoch(ms, Qt::OffsetFromUTC, zone).toString("dd.MM.yyyy HH:mm:ss");
}

QString Decimal(double value, int decimals) {
  return QLocale(QLocale::Russian).toString(value, 'f', decimals);
}

QString Level(double value) { return Decimal(value, 1); }

QString Duration(double seconds) {
  const long long s = std::llround(seconds);
  const QString unit = QStringLiteral("%1") + kNoBreak + "%2";
  if (s < 60) return unit.arg(s).arg("с");
  if (s < 3600) return unit.arg(s / 60).arg("мин") + " " + unit.arg(s % 60).arg("с");
  return unit.arg(s / 3600).arg("ч") + " " + unit.arg(s % 3600 / 60).arg("мин");
}

QString Hours(double seconds) {
  if (seconds < 3600) return Duration(seconds);
  const double hours = seconds / 3600.0;
  return Decimal(hours, hours >= 10 || hours == std::floor(hours) ? 0 : 1) + kNoBreak + "ч";
}

QString Counted(long long n, const char* one, const char* few, const char* many) {
  const long long last = std::llabs(n) % 10, tens = std::llabs(n) % 100 / 10;
  const char* form = tens == 1 ? many : last == 1 ? one : last >= 2 && last <= 4 ? few : many;
  return QStringLiteral("%1 %2").arg(n).arg(QString::fromUtf8(form));
}

QString Availability(const ReportData& d) {
  const double period = d.PeriodSeconds();
  if (period <= 0) return QStringLiteral("—");
  const QString share = Decimal(100.0 * d.up_seconds / period, 1);
  if (share != Decimal(100, 1)) return share + kNoBreak + "%";
  // Rounded up to a whole hundred: so only when the link was never lost.
  return d.losses.empty() ? QStringLiteral("100") + kNoBreak + "%"
                          : QStringLiteral("более 99,9") + kNoBreak + "%";
}

}  // namespace tarvin::report_words
