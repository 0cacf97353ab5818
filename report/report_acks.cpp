#include "report/report_acks.h"

#include "report/report_page.h"
#include "report/report_words.h"

namespace tarvin {
namespace {

using namespace report_words;

// As "Тревоги вне проверок" numbers them.
QString Label(int outside) { return QStringLiteral("№ %1").arg(outside); }

}  // namespace

void AckSection(ReportPage& page, const ReportData& d) {
  page.Heading("Подтверждение тревог");
  if (d.alarms.empty()) {
    page.Paragraph("Тревог за период не было.");
    return;
  }
  // Nobody could acknowledge them: the recorder published to no broker, or
  // the journal is the window's. Saying "0 of 11" would read as ignored alarms.
  if (!d.ControlRoom()) {
    page.Paragraph(
        "Пульт за период подключён не был (события не передавались на брокер): подтверждать тревоги было "
        "некому.");
    return;
  }
  if (d.ToAcknowledge() == 0) {
    page.Paragraph("Тревог, которые нужно было подтвердить на пульте, за период не было.");
    return;
  }
  page.Paragraph(AckSummaryLine(d));
  std::vector<QStringList> rows;
  int outside = 0;
  std::size_t unseen = 0;  // outside the tests, in runs no control room saw
  for (const ReportAlarm& a : d.alarms) {
    if (!a.InTest()) ++outside;
    if (!a.to_acknowledge) {
      unseen += a.InTest() ? 0 : 1;
      continue;
    }
    if (!a.ack) {
      rows.push_back({Label(outside), When(d.zone, a.begin), QStringLiteral("не подтверждена"),
                      QStringLiteral("—"), QStringLiteral("—"), QString()});
      continue;
    }
    rows.push_back({Label(outside), When(d.zone, a.begin), Q(a.ack->operator_name), When(d.zone, a.ack->at),
                    Duration(a.ack->seconds), Q(a.ack->comment)});
  }
  if (unseen > 0)
    page.Paragraph(QStringLiteral("Без пульта (запуски без брокера) прошло тревог: %1; они не подтверждаются "
                                  "и в подсчёт не входят.")
                       .arg(unseen));
  page.Table({"№", "Тревога", "Кто подтвердил", "Когда", "Через", "Комментарий"}, rows,
             {0.06, 0.19, 0.2, 0.19, 0.12, 0.24});
}

QString AckSummaryLine(const ReportData& d) {
  if (d.ToAcknowledge() == 0) return QString();
  QString line = QStringLiteral("Подтверждено тревог: %1 из %2").arg(d.Acknowledged()).arg(d.ToAcknowledge());
  const std::optional<double> median = d.MedianSecondsToAck();
  if (median)
    line += QStringLiteral("; время до подтверждения: медиана %1, наибольшее %2")
                .arg(Duration(*median), Duration(*d.LongestSecondsToAck()));
  return line + ".";
}

}  // namespace tarvin
