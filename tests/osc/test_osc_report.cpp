// `tarvin9-osc report` run as a service engineer runs it, the PDF read back
// with pdftotext and its pages rendered with pdftoppm: the PDF is made, holds
// its sections (walk tests, alarms, acknowledgements, the quiet state) and
// draws its oscillograms and margin chart; missing and damaged oscillograms
// and bad usage are told, and a disk that fills up leaves the old report.
// What the report says (the model's figures and choices) is tested over the
// same journals in tests/report.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QImage>
#include <QString>
#include <cstdlib>
#include <filesystem>
#include <regex>

#include "tests/support/child_process.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/known_oscillogram.h"
#include "tests/support/report_journals.h"
#include "tests/support/temp_folder.h"

namespace tarvin::testing {
namespace {

class OscReport : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directory(dir_.Path() / "Chart4pF");
    WriteBytes(dir_.Folder() + "Chart4pF/good.bin", KnownOscillogramBytes());
    WriteBytes(dir_.Folder() + "Chart4pF/damaged.bin", {2, 0x10, 0x00, 1, 2, 3});
    WriteJournal(dir_.Folder() + "journal.jsonl", kTwoRuns);
  }
  Outcome Run(const std::string& program, const std::string& args) {
    return RunIn(dir_.Folder(), program + " " + args);
  }
  Outcome Report(const std::string& args) { return Run("'" TARVIN_OSC_PATH "' report", args); }
  // The PDF's text, laid out as on the page with every run of blanks and line
  // ends made one blank, and its number of pages.
  std::string PdfText(const std::string& pdf) {
    return std::regex_replace(Run("pdftotext -layout", "'" + pdf + "' -").out, std::regex(R"(\s+)"), " ");
  }
  int Pages(const std::string& pdf) {
    const std::string info = Run("pdfinfo", "'" + pdf + "'").out;
    const std::size_t at = info.find("Pages:");
    return at == std::string::npos ? -1 : std::atoi(info.c_str() + at + 6);
  }
  std::vector<std::string> Files() {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir_.Path()))
      names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }
  // The pixels of the PDF's pages, drawn at 60 dpi, for which `is` holds.
  template <typename Is>
  int Pixels(const std::string& pdf, Is is) {
    EXPECT_EQ(Run("pdftoppm", "-r 60 -png " + pdf + " page").exit_code, 0);
    int count = 0;
    for (int page = 1; page <= Pages(pdf); ++page) {
      const QImage image(QString::fromStdString(dir_.Folder() + "page-" + std::to_string(page) + ".png"));
      for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) count += is(image.pixelColor(x, y));
    }
    return count;
  }
  static void ExpectAll(const std::string& text, std::initializer_list<std::string> expected) {
    for (const std::string& e : expected) EXPECT_NE(text.find(e), std::string::npos) << e << "\n" << text;
  }

  TempFolder dir_;
};

TEST_F(OscReport, TwoRunsATornLineMissingAndDamagedFilesAnEmptyPeriodAndARunWithoutSummaries) {
  const Outcome made = Report("journal.jsonl -o report.pdf --site 'Склад № 3' --sensor 'Ворота'");
  ASSERT_EQ(made.exit_code, 0) << made.err;
  // Drawn as such in their places, and told as every other command tells them.
  EXPECT_EQ(made.err,
            "tarvin9-osc: Файл не удается открыть: Chart4pF/missing.bin\n"
            "tarvin9-osc: Файл повреждён или неполон: Chart4pF/damaged.bin\n");
  const std::string text = PdfText("report.pdf");
  EXPECT_EQ(text.find("ПЦН"), std::string::npos) << "a recorder that reported to no centre";
  ExpectAll(text,
            {"Отчёт о пусконаладке датчика «Тарвин-9»", "Объект: Склад № 3", "Датчик: Ворота",
             "Период: 07.12.2026 22:00:00 — 07.12.2026 23:00:00 (1 ч)",
             "без записи о завершении",  // the second run: no stop
             "good.bin", "Файл не удается открыть: ", "missing.bin", "Файл повреждён или неполон: ",
             "Пропущено строк журнала, не являющихся записями событий (оборваны или чужие): 1 "
             "(journal.jsonl:7)",
             // The closing line; the link: up 22:00:00.04–22:20, 22:20:20–22:40, 22:45:00.04–23:00.
             "Проверок обнаружения не было. В покое (по сводкам без тревог) 2 мин 0 с: наименьший запас "
             "до порога -5,0; 2 тревоги вне проверок. Связь: 91,1 %.",
             "22:50:00 шла при остановке"});  // still on when the journal ends

  // The oscillogram is drawn by the window's chart: its useful signal's green.
  EXPECT_GT(Pixels("report.pdf", [](const QColor& c) { return c == QColor(0x00, 0x80, 0x40); }), 50);

  // An empty period is one page.
  const Outcome empty = Report("journal.jsonl -o empty.pdf --from 2026-12-08 --to 2026-12-09");
  ASSERT_EQ(empty.exit_code, 0) << empty.err;
  EXPECT_EQ(Pages("empty.pdf"), 1);
  EXPECT_NE(PdfText("empty.pdf").find("За выбранный период в журнале нет записей"), std::string::npos);

  // The second run alone: no summary in it. Oscillograms from --folder.
  std::filesystem::rename(dir_.Path() / "Chart4pF", dir_.Path() / "elsewhere");
  const Outcome bare = Report("journal.jsonl -o bare.pdf --from 2026-12-07T22:45 --folder elsewhere");
  ASSERT_EQ(bare.exit_code, 0) << bare.err;
  ExpectAll(PdfText("bare.pdf"), {"Минутных сводок за период в журнале нет", "Сводок сигнала нет;",
                                  "Осциллограммы за период не сохранялись."});
}

TEST_F(OscReport, BadUsageIsOneLineAndCode2AndAFullDiskLeavesTheOldReport) {
  ASSERT_EQ(mkfifo((dir_.Folder() + "pipe").c_str(), 0600), 0);
  for (const std::string args : {
           "journal.jsonl",                            // neither -o nor --json
           "journal.jsonl -o r.pdf --from yesterday",  // not a time
           "journal.jsonl -o r.pdf --to 2026-13-01",   // no such month
           "journal.jsonl -o r.pdf --from 2026-12-08 --to 2026-12-07",
           "journal.jsonl -o r.pdf --from 2030-01-01",  // after the journal's last line
           "journal.jsonl -o r.pdf --to 2020-01-01",    // before its first
           "journal.jsonl -o r.pdf --json -o -",
           "journal.jsonl -o Chart4pF",
           "journal.jsonl -o pipe",
           "no-such.jsonl -o r.pdf",
           "journal.jsonl -o r.pdf --folder no-such-folder",
           "Chart4pF/good.bin -o r.pdf",  // an oscillogram for the journal: not a report of 1970
           "-o r.pdf",
       }) {
    const Outcome o = Report(args);
    EXPECT_EQ(o.exit_code, 2) << args;
    EXPECT_EQ(std::count(o.err.begin(), o.err.end(), '\n'), 1) << args << ": " << o.err;
    EXPECT_FALSE(std::filesystem::exists(dir_.Path() / "r.pdf")) << args;
  }
  EXPECT_TRUE(std::filesystem::is_fifo(dir_.Path() / "pipe"));  // never replaced by the report

  // JSON that cannot be written is a failure too.
  const Outcome full_out = Run("sh -c \"'" TARVIN_OSC_PATH "' report journal.jsonl --json >/dev/full\"", "");
  EXPECT_EQ(full_out.exit_code, 1) << full_out.err;

  WriteBytes(dir_.Folder() + "report.pdf", {'o', 'l', 'd'});
  const std::vector<std::string> before = Files();
  {
    FileSizeLimit limit(16 * 1024);
    const Outcome full = Report("journal.jsonl -o report.pdf");
    EXPECT_EQ(full.exit_code, 1);
    EXPECT_NE(full.err.find("Файл не удается записать: report.pdf"), std::string::npos) << full.err;
  }
  EXPECT_EQ(ReadBytes(dir_.Folder() + "report.pdf"), (std::vector<uint8_t>{'o', 'l', 'd'}));
  EXPECT_EQ(Files(), before);  // no temporary file left behind
}

TEST_F(OscReport, SavesAlarmsOnAtTheStopAndAcknowledgementsHaveTheirWords) {
  WriteJournal(dir_.Folder() + "armed.jsonl", kArmed);
  // The PDF on standard output.
  const Outcome pdf = Report("armed.jsonl -o -");
  ASSERT_EQ(pdf.exit_code, 0) << pdf.err;
  EXPECT_FALSE(std::filesystem::exists(dir_.Path() / "-"));
  WriteBytes(dir_.Folder() + "armed.pdf", std::vector<uint8_t>(pdf.out.begin(), pdf.out.end()));
  ExpectAll(PdfText("armed.pdf"), {"Настройки датчика: нет данных.", "good.bin (вместе с № 1)",
                                   "шла при остановке", "Тревоги по минутам:", "Сигнал по сводкам за 10 с"});

  WriteJournal(dir_.Folder() + "acked.jsonl", kAcked);
  ASSERT_EQ(Report("acked.jsonl -o acked.pdf").exit_code, 0);
  ExpectAll(PdfText("acked.pdf"), {"Подтверждение тревог", "ivanov", "ложная: <b>ветер</b>", "3 мин 1 с",
                                   "не подтверждена", "Подтверждено тревог: 1 из 2"});
}

TEST_F(OscReport, TheAlarmReceivingCentresAcknowledgementsAndOutagesHaveTheirWords) {
  WriteJournal(dir_.Folder() + "centre.jsonl", kCentre);
  ASSERT_EQ(Report("centre.jsonl -o centre.pdf").exit_code, 0);
  ExpectAll(PdfText("centre.pdf"),
            {"Связь с ПЦН прерывалась 3 раза, всего на 14 мин 59 с.",
             "0x06 не сохранена 10.12.2026 04:05:00",  // alarm 1, acknowledged after the restart
             "в ПЦН не передана", "10 мин 0 с не восстановилась до конца запуска"});
  ASSERT_EQ(Report("centre.jsonl -o quiet.pdf --from 2026-12-10T04:05 --to 2026-12-10T04:09").exit_code, 0);
  ExpectAll(PdfText("quiet.pdf"), {"Связь с ПЦН не прерывалась."});
}

TEST_F(OscReport, NoControlRoomAWalkTestsNoteAndMoreAlarmsThanPasses) {
  std::string note;  // 200 characters, in words
  while (note.size() < 200) note += "ворота, в полный рост. ";
  note = QString::fromStdString(note).left(200).trimmed().toStdString();
  JournalLines lines = kUnattended;
  for (std::string& line : lines) line = std::regex_replace(line, std::regex("NOTE"), note);
  WriteJournal(dir_.Folder() + "window.jsonl", lines);
  ASSERT_EQ(Report("window.jsonl -o window.pdf --to 2026-12-11T12:02").exit_code, 0);
  const std::string text = PdfText("window.pdf");
  const std::string cut = QString::fromStdString(note).left(40).trimmed().toStdString() + "…";
  ExpectAll(text, {"Пульт за период подключён не был", "1 проверка: 1 проход, обнаружено 1.",
                   "Тревог больше, чем проходов: в проверке 1 — 2 тревоги на 1 проход.",
                   "1 (тревог: 2) 0 оператором", "«" + cut + "»",
                   "1 " + note,                    // cut in the headline, whole across the page
                   "11.12.2026 12:01:02 2,0 с"});  // as the detections' "2,7 с", never "2 с"
  EXPECT_EQ(text.find("Подтверждено тревог"), std::string::npos) << text;
  EXPECT_EQ(text.find("не подтверждена"), std::string::npos) << text;
}

TEST_F(OscReport, WalkTestsTheAlarmsOutsideTheMarginChartAndAnOlderJournalsQuietMargin) {
  WriteJournal(dir_.Folder() + "walked.jsonl", kWalked);
  ASSERT_EQ(Report("walked.jsonl -o report.pdf").exit_code, 0);
  const std::string text = PdfText("report.pdf");
  ExpectAll(text, {"2 проверки: проходов не менее 4, обнаружено 3, пропущено не менее 1.", "оператором",
                   "по истечении 5 мин",
                   "не указано",  // nobody said how many passes the test ended by its limit had
                   // Begun in the test, ended after it: still its detection.
                   "2.1 09.12.2026 10:14:58 41,0 30,0 11,0 2,5 с", "Тревоги вне проверок", "33,1 / 29,6 0x02",
                   "В покое: 3 мин 31 с (отсчётов: 16402)",
                   "Проверка: проходов не менее 4, обнаружено 3, пропущено не менее 1, наименьший запас "
                   "обнаружения 9,8. В покое 3 мин 31 с: наименьший запас до порога 12,7; 2 тревоги вне "
                   "проверок. Связь: 100 %."});

  // The margin chart: the walk tests shaded, the quiet margin drawn.
  EXPECT_GT(Pixels("report.pdf",
                   [](const QColor& c) {
                     return c.red() > 245 && std::abs(c.green() - 227) < 12 && std::abs(c.blue() - 171) < 16;
                   }),
            500);
  EXPECT_GT(Pixels("report.pdf",
                   [](const QColor& c) {
                     return std::abs(c.red() - 0x80) < 24 && c.green() < 0x50 &&
                            std::abs(c.blue() - 0xA0) < 24;
                   }),
            20);

  // An older journal says where its quiet margin comes from.
  WriteJournal(dir_.Folder() + "old.jsonl", kOld);
  ASSERT_EQ(Report("old.jsonl -o old.pdf").exit_code, 0);
  ExpectAll(
      PdfText("old.pdf"),
      {"среднеквадратичное отклонение: нет данных.",
       "Журнал записан до того, как сводки стали выделять спокойные отсчёты: по нему запас в покое взят по "
       "сводкам, в которых не было тревог (и 10 с после них), — 4 из 6.",
       "Проверок обнаружения не было. В покое (по сводкам без тревог) 40 с: наименьший запас до порога 12,4; "
       "1 тревога вне проверок. Связь: более 99,9 %."});
}

}  // namespace
}  // namespace tarvin::testing
