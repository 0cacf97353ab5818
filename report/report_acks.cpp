#include "report/report_acks.h"

#include "report/report_page.h"
#include "report/report_words.h"

namespace tarvin {
namespace {

using namespace report_words;

// As the other sections name them: "№ 2" outside the tests, "1.3" a detection.
QString Label(const ReportAlarm& a, int outside) {
  if (!a.InTest()) return QStringLiteral("№ %1").arg(outside);
  return QStringLiteral("%1.%2")
      .arg(a.test ? QString::number(*a.test + 1) : QStringLiteral("?"))
      .arg(a.detection ? QString::number(*a.detection) : QStringLiteral("?"));
}

}  // namespace

void AckSection(ReportPage& page, const ReportData& d) {
  page.Heading("Подтверждение тревог");
  if (d.alarms.empty()) {
    page.Paragraph("Тревог за период не было.");
    return;
  }
  page.Paragraph(AckSummaryLine(d));
  std::vector<QStringList> rows;
  int outside = 0;
  for (const ReportAlarm& a : d.alarms) {
    if (!a.InTest()) ++outside;
    if (!a.ack) {
      rows.push_back({Label(a, outside), When(d.zone, a.begin), QStringLiteral("не подтверждена"),
                      QStringLiteral("—"), QStringLiteral("—"), QString()});
      continue;
    }
    rows.push_back({Label(a, outside), When(d.zone, a.begin), Q(a.ack->operator_name),
                    When(d.zone, a.ack->at), Duration(a.ack->seconds), Q(a.ack->comment)});
  }
  page.Table({"№", "Тревога", "Кто подтвердил", "Когда", "Через", "Комментарий"}, rows,
             {0.06, 0.19, 0.2, 0.19, 0.12, 0.24});
}

QString AckSummaryLine(const ReportData& d) {
  if (d.alarms.empty()) return QString();
  QString line = QStringLiteral("Подтверждено тревог: %1 из %2").arg(d.Acknowledged()).arg(d.alarms.size());
  const std::optional<double> median = d.MedianSecondsToAck();
  if (median)
    line += QStringLiteral("; время до подтверждения: медиана %1, наибольшее %2")
                .arg(Duration(*median), Duration(*d.LongestSecondsToAck()));
  return line + ".";
}

}  // namespace tarvin
