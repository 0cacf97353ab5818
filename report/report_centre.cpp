#include "report/report_centre.h"

#include "report/report_page.h"
#include "report/report_words.h"

namespace tarvin {
namespace {

using namespace report_words;

// Where the report cannot see an outage's edge: it began before the period,
// or the run or the period ended before the path answered again.
QString OutageNote(const ReportCentreOutage& o) {
  QStringList note;
  if (o.since == ReportCentreOutage::Since::PeriodStart) note << QStringLiteral("пропала до начала периода");
  if (o.until == ReportCentreOutage::Until::RunEnd)
    note << QStringLiteral("не восстановилась до конца запуска");
  else if (o.until == ReportCentreOutage::Until::PeriodEnd)
    note << QStringLiteral("не восстановилась до конца периода");
  return note.join("; ");
}

}  // namespace

QString CentreAckCell(const ReportData& d, const ReportAlarm& a) {
  return a.centre_acked ? When(d.zone, *a.centre_acked) : QStringLiteral("в ПЦН не передана");
}

void CentreSection(ReportPage& page, const ReportData& d) {
  if (!d.centre) return;
  page.Heading("Связь с ПЦН");
  if (d.centre_outages.empty()) {
    page.Paragraph("Связь с ПЦН не прерывалась.");
    return;
  }
  page.Paragraph(QStringLiteral("Связь с ПЦН прерывалась %1, всего на %2.")
                     .arg(Counted(static_cast<long long>(d.centre_outages.size()), "раз", "раза", "раз"),
                          Duration(d.CentreDownSeconds())));
  std::vector<QStringList> rows;
  for (const ReportCentreOutage& o : d.centre_outages)
    rows.push_back({When(d.zone, o.begin), When(d.zone, o.end), Duration(o.Seconds()), OutageNote(o)});
  page.Table({"Нет связи с", "по", "Длительность", "Связь"}, rows, {0.2, 0.2, 0.14, 0.46});
}

}  // namespace tarvin
