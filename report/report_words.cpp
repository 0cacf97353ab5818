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
  const auto unit = [](long long n, const char* name) {
    return QString::number(n) + kNoBreak + QString::fromUtf8(name);
  };
  // Short ones to a tenth, as the time over the threshold needs: "2,7 с" and
  // "2,0 с" side by side, never "2 с" beside "2,7 с".
  if (seconds < 9.95) return Decimal(seconds, 1) + kNoBreak + QStringLiteral("с");
  if (s < 60) return unit(s, "с");
  if (s < 3600) return unit(s / 60, "мин") + " " + unit(s % 60, "с");
  return unit(s / 3600, "ч") + " " + unit(s % 3600 / 60, "мин");
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
  const double over = d.LinkSeconds();
  if (over <= 0) return QStringLiteral("—");
  const QString share = Decimal(100.0 * d.up_seconds / over, 1);
  if (share != Decimal(100, 1)) return share + kNoBreak + "%";
  // Rounded up to a whole hundred: so only when the link was never lost.
  return d.losses.empty() ? QStringLiteral("100") + kNoBreak + "%"
                          : QStringLiteral("более 99,9") + kNoBreak + "%";
}

QString Headline(const std::string& text, int chars) {
  const QString whole = Q(text);
  if (whole.size() <= chars) return whole;
  return whole.left(chars).trimmed() + QChar(0x2026);
}

}  // namespace tarvin::report_words
