#include "report/report_pdf.h"

#include <QBuffer>
#include <QDateTime>
#include <QPdfWriter>
#include <algorithm>
#include <map>

#include "base/file_io.h"
#include "chart/chart_render.h"
#include "report/report_acks.h"
#include "report/report_centre.h"
#include "report/report_charts.h"
#include "report/report_commissioning.h"
#include "report/report_page.h"
#include "report/report_words.h"
#include "words/box_words.h"

namespace tarvin {
namespace {

// The oscillograms' chart is drawn at this size and scaled into its cell, so
// its fonts keep their proportions to the lines.
constexpr QSize kChartLogical(600, 350);
// Skipped lines named in every page's footer, which has two lines' room.
constexpr std::size_t kSkippedInFooter = 3;

using namespace report_words;

QString StopWords(const std::string& reason) {
  if (reason.empty())
    return QStringLiteral("без записи о завершении (сбой питания, аварийное завершение или работает)");
  if (reason == "signal") return QStringLiteral("остановлена сигналом");
  if (reason == "duration") return QStringLiteral("по истечении заданного времени");
  if (reason == "wrong_firmware") return QStringLiteral("неверная версия программы датчика");
  if (reason == "port_not_opened") return QStringLiteral("порт не открылся");
  if (reason == "operator") return QStringLiteral("выход по команде оператора");
  if (reason == "window_closed") return QStringLiteral("окно закрыто");
  if (reason == "session_end") return QStringLiteral("конец сеанса");
  if (reason == "service_stop") return QStringLiteral("служба Windows остановлена");
  return Q(reason);
}

// "Настройки (последние полученные): постоянная составляющая порога 30, ...",
// with the settings no reply gave named apart.
QString Settings(const ReportData& d) {
  const std::pair<const char*, const char*> kNames[] = {
      {"direct_component", "постоянная составляющая порога"},
      {"buffer_length", "длина буфера порога"},
      {"save_level", "уровень сохранения осциллограмм"},
      {"network_address", "сетевой адрес"},
  };
  QStringList known, unknown;
  for (const auto& [key, name] : kNames) {
    const auto it = d.settings.find(key);
    if (it == d.settings.end() || it->is_null()) {
      unknown << name;
      continue;
    }
    known << QStringLiteral("%1 %2").arg(
        name, it->is_string() ? Q(it->get<std::string>()) : Decimal(it->get<double>(), 0));
  }
  if (known.isEmpty()) return QStringLiteral("Настройки датчика: нет данных.");
  QString text = QStringLiteral("Настройки (последние полученные): ") + known.join(", ") + ".";
  if (!unknown.isEmpty()) text += QStringLiteral(" Нет данных: ") + unknown.join(", ") + ".";
  return text;
}

void SensorSection(ReportPage& page, const ReportData& d, const ReportRequest& r, const QString& program) {
  if (!r.site.empty()) page.Paragraph("Объект: " + Q(r.site));
  if (!r.sensor.empty()) page.Paragraph("Датчик: " + Q(r.sensor));
  page.Paragraph(QStringLiteral("Период: %1 — %2 (%3)")
                     .arg(When(d.zone, d.from), When(d.zone, d.to), Hours(d.PeriodSeconds())));
  page.Paragraph(QStringLiteral("Отчёт составлен %1 программой %2")
                     .arg(QDateTime::currentDateTime().toString("dd.MM.yyyy HH:mm:ss"), program));
  if (d.empty) return;
  page.Heading("Датчик и запуски программы");
  page.Paragraph(
      QStringLiteral("Порт: %1. Версия программы датчика: %2.")
          .arg(d.port.empty() ? "нет данных" : Q(d.port), d.firmware.empty() ? "нет данных" : Q(d.firmware)));
  page.Paragraph(Settings(d));
  if (d.runs.size() > 1)
    page.Paragraph(QStringLiteral("Программа запускалась за период %1: каждый перезапуск — строка таблицы.")
                       .arg(Counted(static_cast<long long>(d.runs.size()), "раз", "раза", "раз")));
  std::vector<QStringList> rows;
  for (const ReportRun& run : d.runs)
    rows.push_back({When(d.zone, run.start), When(d.zone, run.end), Q(run.port), Q(run.version),
                    StopWords(run.stop_reason)});
  page.Table({"Запуск", "Последняя запись", "Порт", "Версия", "Завершение"}, rows,
             {0.2, 0.2, 0.12, 0.1, 0.38});
}

void LinkSection(ReportPage& page, const ReportData& d) {
  page.Heading("Качество связи");
  if (d.LinkSeconds() <= 0)
    page.Paragraph(QStringLiteral("Датчик за период ни разу не ответил: связи с ним не было."));
  else if (When(d.zone, d.link_from) == When(d.zone, d.from))  // within the period's first second
    page.Paragraph(QStringLiteral("Связь с датчиком была %1 периода (%2 из %3).")
                       .arg(Availability(d), Duration(d.up_seconds), Duration(d.PeriodSeconds())));
  else  // the port opening and the first replies are no loss of the link
    page.Paragraph(QStringLiteral("Связь с датчиком была %1 времени от первого ответа датчика, %2, до конца "
                                  "периода (%3 из %4); время до первого ответа потерей связи не считается.")
                       .arg(Availability(d), When(d.zone, d.link_from), Duration(d.up_seconds),
                            Duration(d.LinkSeconds())));
  page.Paragraph(
      QStringLiteral("Потерь связи: %1. Переоткрытий порта: %2.").arg(d.losses.size()).arg(d.reopenings));
  page.Paragraph(d.counters_known
                     ? QStringLiteral("По счётчикам при завершении: ошибок контрольной суммы %1, "
                                      "тайм-аутов %2.")
                           .arg(d.checksum_errors)
                           .arg(d.timeouts)
                     : QStringLiteral("Счётчики ошибок: нет данных (ни один запуск за период не "
                                      "завершился записью о завершении)."));
  if (d.losses.empty()) return;
  std::vector<QStringList> rows;
  for (const ReportLoss& l : d.losses)
    rows.push_back({When(d.zone, l.begin), Duration(l.seconds) + (l.ended ? "" : " (до конца запуска)")});
  page.Table({"Потеря связи", "Длительность"}, rows, {0.35, 0.65});
}

// The summaries' period as the program was told it: their most common length
// (the last one of a run is shorter). The window and the recorder's default
// make minute summaries.
QString SignalHeading(const ReportData& d) {
  std::map<long long, std::size_t> lengths;
  for (const ReportMinute& m : d.minutes) ++lengths[std::llround(m.seconds)];
  const auto most = std::max_element(lengths.begin(), lengths.end(),
                                     [](const auto& a, const auto& b) { return a.second < b.second; });
  const long long every = most == lengths.end() ? 60 : most->first;
  if (every == 60) return QStringLiteral("Сигнал по минутным сводкам");
  const bool minutes = every % 60 == 0;
  return QStringLiteral("Сигнал по сводкам за %1%2%3")
      .arg(minutes ? every / 60 : every)
      .arg(kNoBreak)
      .arg(minutes ? "мин" : "с");
}

void SignalSection(ReportPage& page, const ReportData& d) {
  page.Heading(SignalHeading(d), 80);
  const ReportMinute* worst = d.WorstMinute();
  if (worst == nullptr) {
    page.Paragraph(
        "Минутных сводок за период в журнале нет: график не передавался, или журнал записан "
        "программой, которая сводок не пишет. Запас до порога по этому журналу оценить нельзя.");
    return;
  }
  DrawSignal(page.Painter(), page.Reserve(static_cast<int>(70 * page.Mm())), d, page.Mm());
  const ReportTotals totals = d.MinuteTotals();
  // The quiet margin is the headline (above); this one counts the alarms and tests too.
  page.Paragraph(QStringLiteral("По всем отсчётам, с тревогами и проверками обнаружения: наименьший запас до "
                                "порога %1, в сводке, закончившейся %2.")
                     .arg(Level(worst->margin_min), When(d.zone, worst->at)));
  page.Paragraph(
      QStringLiteral("Сводок: %1; отсчётов: %2, потеряно: %3; отсчётов с полезным сигналом не ниже "
                     "порога: %4.")
          .arg(d.minutes.size())
          .arg(totals.samples)
          .arg(totals.lost)
          .arg(totals.over));
}

}  // namespace

namespace {

// Two oscillograms a row, each the window's chart with its file's name below.
void OscillogramSection(ReportPage& page, const ReportData& d) {
  page.Heading("Осциллограммы", 60);
  if (d.files.empty()) {
    page.Paragraph("Осциллограммы за период не сохранялись.");
    return;
  }
  OscillogramPicture picture(0, 100);
  const double mm = page.Mm();
  const int gap = static_cast<int>(4 * mm), caption = static_cast<int>(9 * mm);
  const int cell = (page.Width() - gap) / 2;
  const int chart = cell * kChartLogical.height() / kChartLogical.width();
  QRect row;
  for (std::size_t i = 0; i < d.files.size(); ++i) {
    if (i % 2 == 0) row = page.Reserve(chart + caption);
    const ReportFile& f = d.files[i];
    const QRect area(row.left() + static_cast<int>(i % 2) * (cell + gap), row.top(), cell, chart);
    QCPPainter& p = page.Painter();
    Oscillogram o;
    const FileStatus status = ReadOscillogram(f.path, &o);
    const QString name = Q(FileNameOf(f.path));
    if (status == FileStatus::Ok) {
      p.save();
      p.translate(area.topLeft());
      p.scale(static_cast<double>(cell) / kChartLogical.width(),
              static_cast<double>(cell) / kChartLogical.width());
      picture.Paint(o, &p, kChartLogical, name);
      p.restore();
    } else {  // named as such; the others are still drawn
      p.setPen(QPen(Qt::darkGray, 0.2 * mm, Qt::DashLine));
      p.drawRect(area);
      p.setFont(ReportPage::Font(9, true));
      p.drawText(area.adjusted(gap, gap, -gap, -gap), Qt::AlignCenter | Qt::TextWordWrap,
                 Q(words::FileFailureText(status, f.path)));
    }
    p.setPen(Qt::black);
    p.setFont(ReportPage::Font(8));
    const QString trigger = f.trigger == "alarm"   ? "по тревоге"
                            : f.trigger == "level" ? "по уровню порога"
                                                   : Q(f.trigger);
    p.drawText(QRect(area.left(), area.bottom() + static_cast<int>(mm), cell, caption), Qt::TextWordWrap,
               QStringLiteral("%1\n%2, %3").arg(name, When(d.zone, f.at), trigger));
  }
}

QString Footer(const ReportData& d, const QString& title) {
  QString footer =
      title + QStringLiteral(" — ") + When(d.zone, d.from) + QStringLiteral(" — ") + When(d.zone, d.to);
  if (d.skipped > 0) {
    // The footer has room for a few; --json names more.
    QStringList where;
    for (std::size_t i = 0; i < d.skipped_where.size() && i < kSkippedInFooter; ++i)
      where << Q(d.skipped_where[i]);
    footer += QStringLiteral(
                  "\nПропущено строк журнала, не являющихся записями событий (оборваны или чужие): %1 (%2%3)")
                  .arg(d.skipped)
                  .arg(where.join(", "), d.skipped > static_cast<uint64_t>(where.size()) ? ", …" : "");
  }
  return footer;
}

}  // namespace

QByteArray ReportPdf(const ReportData& d, const ReportRequest& r, const QString& program) {
  const QString title =
      r.title.empty() ? QStringLiteral("Отчёт о пусконаладке датчика «Тарвин-9»") : Q(r.title);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  {
    QPdfWriter writer(&buffer);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(15, 12, 15, 10), QPageLayout::Millimeter);
    writer.setResolution(300);
    writer.setTitle(title);
    writer.setCreator(program);
    ReportPage page(writer, Footer(d, title));
    page.Title(title);
    SensorSection(page, d, r, program);
    if (d.empty) {
      page.Gap(6);
      page.Paragraph(
          "За выбранный период в журнале нет записей: датчик не наблюдался. Проверьте период и журнал.",
          true);
    } else {
      LinkSection(page, d);
      WalkTestSection(page, d);
      OutsideAlarmSection(page, d);
      AckSection(page, d);
      CentreSection(page, d);
      QuietSection(page, d);
      SignalSection(page, d);
      OscillogramSection(page, d);
      page.Heading("Итог");
      page.Paragraph(ReportClosingLine(d), true);
      if (const QString acks = AckSummaryLine(d); !acks.isEmpty()) page.Paragraph(acks, true);
    }
    page.Finish();
  }
  return bytes;
}

FileStatus WriteReportPdf(const ReportData& d, const ReportRequest& r, const QString& program,
                          const std::string& path, std::string* reason) {
  const QByteArray bytes = ReportPdf(d, r, program);
  const auto fill = [&](std::FILE* f) {
    return std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), f) == std::size_t(bytes.size());
  };
  return StatusOf(WriteFileAtomically(path, fill, Durability::Renamed, reason));
}

}  // namespace tarvin
