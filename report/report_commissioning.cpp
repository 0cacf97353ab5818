#include "report/report_commissioning.h"

#include <algorithm>

#include "base/file_io.h"
#include "report/report_centre.h"
#include "report/report_charts.h"
#include "report/report_page.h"
#include "report/report_pdf.h"
#include "report/report_words.h"

namespace tarvin {
namespace {

using namespace report_words;

// A note as far as a headline or the tests' table shows it; a longer one is
// given whole below the table, across the page.
constexpr int kNoteShown = 40;

QString LevelOrDash(const std::optional<double>& value) {
  return value ? Level(*value) : QStringLiteral("—");
}

// "1.3": the test's place in the report and the detection's number in it.
QString DetectionLabel(const ReportAlarm& a) {
  return QStringLiteral("%1.%2")
      .arg(a.test ? QString::number(*a.test + 1) : QStringLiteral("?"))
      .arg(a.detection ? QString::number(*a.detection) : QStringLiteral("?"));
}

// How an alarm is named elsewhere in the report, after "вместе с".
QString WithLabel(const ReportData& d, const ReportAlarm& alarm) {
  if (alarm.InTest()) return QStringLiteral("обнаружением ") + DetectionLabel(alarm);
  const auto n = std::count_if(d.alarms.begin(), d.alarms.begin() + (&alarm - d.alarms.data()) + 1,
                               [](const ReportAlarm& a) { return !a.InTest(); });
  return QStringLiteral("№ %1").arg(n);
}

// " (вместе с № 3)" for an alarm held in the file an earlier one armed.
QString SavedWith(const ReportData& d, const ReportAlarm& alarm) {
  if (!alarm.saved_with) return QString();
  const auto armed = std::find_if(d.alarms.begin(), d.alarms.end(), [&](const ReportAlarm& a) {
    return a.begin == *alarm.saved_with && a.file == alarm.file;
  });
  if (armed == d.alarms.end()) return QString();  // that one is before the period
  return QStringLiteral(" (вместе с %1)").arg(WithLabel(d, *armed));
}

QString FileCell(const ReportData& d, const ReportAlarm& a) {
  return a.file.empty() ? QStringLiteral("не сохранена") : Q(FileNameOf(a.file)) + SavedWith(d, a);
}

QString EndedBy(const ReportWalkTest& t) {
  if (!t.ended) return QStringLiteral("идёт или запись прервана");
  if (t.reason == "operator") return QStringLiteral("оператором");
  if (t.reason == "limit")
    return t.limit_min ? QStringLiteral("по истечении %1%2мин").arg(Decimal(*t.limit_min, 0)).arg(kNoBreak)
                       : QStringLiteral("по истечении времени");
  if (t.reason == "stop") return QStringLiteral("остановкой программы");
  if (t.reason == "link_lost") return QStringLiteral("потерей связи");
  return Q(t.reason);
}

QString AlarmsPerBinCaption(int minutes) {
  if (minutes == 1) return QStringLiteral("Тревоги по минутам:");
  if (minutes == 60) return QStringLiteral("Тревоги по часам:");
  if (minutes < 60) return QStringLiteral("Тревоги за каждые %1%2мин:").arg(minutes).arg(kNoBreak);
  return QStringLiteral("Тревоги за каждые %1%2ч:").arg(minutes / 60).arg(kNoBreak);
}

// The weakest detection in words: a narrow one is what the engineer fixes first.
QString WeakestWords(const ReportData& d) {
  const ReportAlarm* a = d.WeakestDetection();
  const bool any =
      std::any_of(d.alarms.begin(), d.alarms.end(), [](const ReportAlarm& x) { return x.InTest(); });
  if (a == nullptr)
    return any ? QStringLiteral("Запас обнаружения неизвестен: во время обнаружений график не передавался.")
               : QStringLiteral("Обнаружений за период не было.");
  QString where =
      QStringLiteral("проверка ") + (a->test ? QString::number(*a->test + 1) : QStringLiteral("?"));
  if (a->test && !d.tests[*a->test].note.empty())
    where += QStringLiteral(" («%1»)").arg(Headline(d.tests[*a->test].note, kNoteShown));
  return QStringLiteral("Наименьший запас обнаружения — %1: %2, обнаружение %3, %4.")
      .arg(Level(*a->margin), where, a->detection ? QString::number(*a->detection) : QStringLiteral("?"),
           When(d.zone, a->begin));
}

// "12 проходов, обнаружено 12" (", пропущено 1"): passes, so a pass that
// raised two alarms is one detected; a test whose passes nobody counted
// makes the passes and the missed ones a lower bound.
QString WalkTestCounts(const ReportData& d) {
  long long passes = 0, detections = 0, missed = 0, uncounted = 0;
  for (const ReportWalkTest& t : d.tests) {
    detections += t.detected.value_or(t.detections);
    passes += t.passes.value_or(t.detections);
    missed += t.missed.value_or(0);
    uncounted += t.passes ? 0 : 1;
  }
  if (uncounted > 0)
    return QStringLiteral("проходов не менее %1, обнаружено %2").arg(passes).arg(detections) +
           (missed > 0 ? QStringLiteral(", пропущено не менее %1").arg(missed) : QString());
  return Counted(passes, "проход", "прохода", "проходов") +
         QStringLiteral(", обнаружено %1").arg(detections) +
         (missed > 0 ? QStringLiteral(", пропущено %1").arg(missed) : QString());
}

// The passes detected; where some pass raised more than one alarm, the alarms too.
QString DetectedCell(const ReportWalkTest& t) {
  if (!t.detected || *t.detected == t.detections) return QString::number(t.detected.value_or(t.detections));
  return QStringLiteral("%1 (тревог: %2)").arg(*t.detected).arg(t.detections);
}

// Where a pass raised more than one alarm: the test and how many alarms on
// how many passes. Empty when every alarm was a pass of its own.
QString MoreAlarmsThanPasses(const ReportData& d) {
  QStringList where;
  for (std::size_t i = 0; i < d.tests.size(); ++i) {
    const ReportWalkTest& t = d.tests[i];
    if (t.passes && t.detections > *t.passes)
      where << QStringLiteral("в проверке %1 — %2 на %3")
                   .arg(i + 1)
                   .arg(Counted(t.detections, "тревога", "тревоги", "тревог"),
                        Counted(*t.passes, "проход", "прохода", "проходов"));
  }
  if (where.isEmpty()) return QString();
  return QStringLiteral("Тревог больше, чем проходов: ") + where.join("; ") +
         QStringLiteral(". Проход, давший несколько тревог, считается одним обнаруженным проходом.");
}

// Notes too long for the tests' table, whole, across the page.
void WholeNotes(ReportPage& page, const ReportData& d) {
  std::vector<QStringList> rows;
  for (std::size_t i = 0; i < d.tests.size(); ++i)
    if (Headline(d.tests[i].note, kNoteShown) != Q(d.tests[i].note))
      rows.push_back({QString::number(i + 1), Q(d.tests[i].note)});
  if (!rows.empty()) page.Table({"№", "Примечание"}, rows, {0.04, 0.96});
}

// Each detection with its margin; with a centre, when it acknowledged the detection.
void DetectionTable(ReportPage& page, const ReportData& d) {
  std::vector<QStringList> detections;
  for (const ReportAlarm& a : d.alarms) {
    if (!a.InTest()) continue;
    detections.push_back({DetectionLabel(a), When(d.zone, a.begin), LevelOrDash(a.peak),
                          LevelOrDash(a.threshold), LevelOrDash(a.margin),
                          a.over_threshold_s ? Duration(*a.over_threshold_s) : QStringLiteral("—"),
                          FileCell(d, a)});
    if (d.centre) detections.back() << CentreAckCell(d, a);
  }
  if (detections.empty()) return;
  page.Paragraph(
      "Обнаружения (проверка.номер): пик полезного сигнала, порог при пике, запас обнаружения = пик − "
      "порог, "
      "время не ниже порога.");
  const QStringList header = {"№", "Время", "Пик", "Порог", "Запас", "Не ниже порога", "Осциллограмма"};
  if (d.centre)
    page.Table(header + QStringList{"Принята ПЦН"}, detections,
               {0.06, 0.17, 0.07, 0.07, 0.07, 0.12, 0.24, 0.2});
  else
    page.Table(header, detections, {0.07, 0.2, 0.08, 0.08, 0.08, 0.14, 0.35});
}

}  // namespace

void WalkTestSection(ReportPage& page, const ReportData& d) {
  page.Heading("Проверка обнаружения");
  if (d.tests.empty()) {
    page.Paragraph("Проверок обнаружения за период не было.");
    return;
  }
  QString counts = Counted(static_cast<long long>(d.tests.size()), "проверка", "проверки", "проверок") +
                   ": " + WalkTestCounts(d) + ".";
  if (std::any_of(d.tests.begin(), d.tests.end(), [](const ReportWalkTest& t) { return !t.passes; }))
    counts += QStringLiteral(
        " Число проходов называет оператор, заканчивая проверку; где его нет, проходы "
        "считаются по обнаружениям, поэтому итог — не менее.");
  page.Paragraph(counts);
  if (const QString more = MoreAlarmsThanPasses(d); !more.isEmpty()) page.Paragraph(more);
  page.Paragraph(WeakestWords(d), true);  // before the tables, which may run over pages
  std::vector<QStringList> tests;
  for (std::size_t i = 0; i < d.tests.size(); ++i) {
    const ReportWalkTest& t = d.tests[i];
    // The end within the same day as its time alone.
    const QString end = When(d.zone, t.end);
    tests.push_back({QString::number(i + 1), When(d.zone, t.begin),
                     !t.ended                                         ? QStringLiteral("—")
                     : end.left(10) == When(d.zone, t.begin).left(10) ? end.mid(11)
                                                                      : end,
                     Headline(t.note, kNoteShown),
                     t.passes ? QString::number(*t.passes) : QStringLiteral("не указано"), DetectedCell(t),
                     t.missed ? QString::number(*t.missed) : QStringLiteral("—"), EndedBy(t)});
  }
  page.Table({"№", "Начало", "Конец", "Примечание", "Проходов", "Обнаружено", "Пропущено", "Завершена"},
             tests, {0.04, 0.19, 0.1, 0.17, 0.11, 0.13, 0.12, 0.14});
  WholeNotes(page, d);
  DetectionTable(page, d);
}

void OutsideAlarmSection(ReportPage& page, const ReportData& d) {
  page.Heading("Тревоги вне проверок");
  if (d.alarms.empty()) {
    page.Paragraph("Тревог за период не было.");
    return;
  }
  std::vector<QStringList> rows;
  int n = 0;
  for (const ReportAlarm& a : d.alarms) {
    if (a.InTest()) continue;
    const QString end = !a.end ? QStringLiteral("—")
                        : a.still_on ? QStringLiteral("шла при остановке записи ") + When(d.zone, *a.end)
                                     : When(d.zone, *a.end);
    const QString lasted = !a.end ? QStringLiteral("—") : Duration((*a.end - a.begin) / 1000.0);
    rows.push_back({QString::number(++n), When(d.zone, a.begin), end,
                    a.still_on ? QStringLiteral("не менее ") + lasted : lasted,
                    a.peak ? Level(*a.peak) + " / " + LevelOrDash(a.threshold) : QStringLiteral("—"),
                    QStringLiteral("0x%1").arg(a.bits, 2, 16, QChar('0')).toUpper().replace("0X", "0x"),
                    FileCell(d, a)});
    if (d.centre) rows.back() << CentreAckCell(d, a);
  }
  const QStringList header = {"№", "Начало", "Конец", "Длит.", "Пик / порог", "Биты", "Осциллограмма"};
  if (rows.empty())
    page.Paragraph("Тревог вне проверок за период не было: все тревоги — обнаружения проверок.");
  else if (d.centre)  // when the centre acknowledged each one
    page.Table(header + QStringList{"Принята ПЦН"}, rows, {0.05, 0.16, 0.16, 0.09, 0.11, 0.06, 0.17, 0.2});
  else
    page.Table(header, rows, {0.05, 0.19, 0.19, 0.1, 0.12, 0.07, 0.28});
  page.Paragraph(AlarmsPerBinCaption(AlarmBinMinutes(d)));
  DrawAlarmsPerBin(page.Painter(), page.Reserve(static_cast<int>(45 * page.Mm())), d, page.Mm());
}

void QuietSection(ReportPage& page, const ReportData& d) {
  page.Heading("Спокойное состояние");
  const ReportQuiet q = d.Quiet();
  if (q.source == QuietSource::None) {
    page.Paragraph("Сводок сигнала за период нет: спокойное состояние оценить нельзя.");
    return;
  }
  if (q.margin_min) {
    page.Paragraph(QStringLiteral("Наименьший запас до порога в покое: %1, в сводке, закончившейся %2.")
                       .arg(Level(*q.margin_min), When(d.zone, q.margin_min_at)),
                   true);
    const bool counted = q.source != QuietSource::SummariesWithoutAlarms;
    page.Paragraph(
        QStringLiteral("В покое: %1%2 — вне тревог, проверок обнаружения и 10%3с после них.")
            .arg(Hours(q.seconds), counted ? QStringLiteral(" (отсчётов: %1)").arg(q.samples) : QString())
            .arg(kNoBreak));
    QString useful = QStringLiteral("Полезный сигнал в покое: наибольший %1").arg(LevelOrDash(q.useful_max));
    useful += q.useful_sd ? QStringLiteral(
                                "; среднеквадратичное отклонение %1%2, наибольшее %3 "
                                "в сводке, закончившейся %4.")
                                .arg(Decimal(*q.useful_sd, 2),
                                     q.useful_sd_exact ? QString() : QStringLiteral(" (внутри сводок)"),
                                     Decimal(*q.useful_sd_max, 2), When(d.zone, q.useful_sd_max_at))
                          : QStringLiteral("; среднеквадратичное отклонение: нет данных.");
    page.Paragraph(useful);
  } else {
    page.Paragraph(
        "Спокойных отсчётов за период нет: всё время шли тревоги или проверки обнаружения (или 10 с после "
        "них). "
        "Запас до порога в покое оценить нельзя.");
  }
  if (q.source == QuietSource::QuietSamples)
    page.Paragraph(
        "Спокойные отсчёты отобраны при записи: вне тревог, проверок обнаружения и 10 с после них, при связи "
        "с датчиком.");
  else
    page.Paragraph(
        QStringLiteral("%1 до того, как сводки стали выделять спокойные отсчёты: по %2 запас в покое "
                       "взят по сводкам, в которых не было тревог (и 10 с после них), — %3 из %4.")
            .arg(q.source == QuietSource::Both ? "Часть журнала записана" : "Журнал записан",
                 q.source == QuietSource::Both ? "этой части" : "нему")
            .arg(std::count_if(d.minutes.begin(), d.minutes.end(),
                               [](const ReportMinute& m) { return !m.has_quiet && m.quiet_margin; }))
            .arg(std::count_if(d.minutes.begin(), d.minutes.end(),
                               [](const ReportMinute& m) { return !m.has_quiet; })));
}

QString ReportClosingLine(const ReportData& d) {
  QString line;
  if (d.tests.empty()) {
    line = QStringLiteral("Проверок обнаружения не было.");
  } else {
    line = QStringLiteral("Проверка: ") + WalkTestCounts(d);
    const ReportAlarm* weakest = d.WeakestDetection();
    if (weakest != nullptr)
      line += QStringLiteral(", наименьший запас обнаружения ") + Level(*weakest->margin);
    line += ".";
  }
  const ReportQuiet q = d.Quiet();
  if (q.margin_min)
    line += QStringLiteral(" В покое%1 %2: наименьший запас до порога %3")
                .arg(q.source == QuietSource::QuietSamples ? QString()
                                                           : QStringLiteral(" (по сводкам без тревог)"),
                     Hours(q.seconds), Level(*q.margin_min));
  else
    line += q.source == QuietSource::None ? QStringLiteral(" Сводок сигнала нет")
                                          : QStringLiteral(" Спокойных отсчётов нет");
  const std::size_t outside = d.AlarmsOutsideTests();
  line += outside == 0 ? QStringLiteral("; тревог вне проверок нет.")
                       : QStringLiteral("; ") +
                             Counted(static_cast<long long>(outside), "тревога", "тревоги", "тревог") +
                             QStringLiteral(" вне проверок.");
  return line + QStringLiteral(" Связь: %1.").arg(Availability(d));
}

}  // namespace tarvin
