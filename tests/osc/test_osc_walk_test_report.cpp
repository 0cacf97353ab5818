// The commissioning report of a zone that was walked: `tarvin9-osc report`
// on a journal with two walk tests, alarms outside them and quiet summaries,
// and on an older journal whose quiet margin comes from the summaries without
// alarms. Read back with pdftotext, its margin chart looked at with pdftoppm;
// the figures themselves are the model's (tests/report).
#include <gtest/gtest.h>

#include <QImage>
#include <regex>

#include "tests/support/child_process.h"
#include "tests/support/report_journals.h"
#include "tests/support/temp_folder.h"

namespace tarvin::testing {
namespace {

class WalkTestReport : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteJournal(dir_.Folder() + "walked.jsonl", kWalked);
    WriteJournal(dir_.Folder() + "old.jsonl", kOld);
  }
  Outcome Report(const std::string& args) {
    return RunIn(dir_.Folder(), "'" TARVIN_OSC_PATH "' report " + args);
  }
  // The PDF made and read back, every run of blanks one blank.
  std::string PdfText(const std::string& args) {
    const Outcome made = Report(args + " -o report.pdf");
    EXPECT_EQ(made.exit_code, 0) << made.err;
    return std::regex_replace(RunIn(dir_.Folder(), "pdftotext -layout report.pdf -").out,
                              std::regex(R"(\s+)"), " ");
  }
  static void ExpectAll(const std::string& text, std::initializer_list<const char*> expected) {
    for (const char* e : expected) EXPECT_NE(text.find(e), std::string::npos) << e << "\n" << text;
  }

  TempFolder dir_;
};

TEST_F(WalkTestReport, TestsTheirDetectionsTheAlarmsOutsideAndTheQuietMargin) {
  const std::string text = PdfText("walked.jsonl");
  ExpectAll(text,
            {
                "2 проверки: проходов не менее 4, обнаружено 3, пропущено не менее 1.",
                "оператором",
                "по истечении 5 мин",
                "не указано",  // nobody said how many passes the test ended by its limit had
                "1.2 09.12.2026 10:02:10 39,8 30,0 9,8 1,2 с",
                // Begun in the test, ended after it: still its detection.
                "2.1 09.12.2026 10:14:58 41,0 30,0 11,0 2,5 с",
                "Наименьший запас обнаружения — 9,8: проверка 1 («ворота, в полный рост»), обнаружение 2, "
                "09.12.2026 10:02:10.",
                "Тревоги вне проверок",
                "1 09.12.2026 10:05:00 09.12.2026 10:05:03",
                "33,1 / 29,6 0x02",
                "2 09.12.2026 10:20:00 09.12.2026 10:20:01",
                "В покое: 3 мин 31 с (отсчётов: 16402)",
                "наибольший 15,3; среднеквадратичное отклонение 1,49",
                "Проверка: проходов не менее 4, обнаружено 3, пропущено не менее 1, наименьший запас "
                "обнаружения 9,8. В покое 3 мин 31 с: наименьший запас до порога 12,7; 2 тревоги вне "
                "проверок. Связь: 100 %.",
            });
  EXPECT_EQ(text.find("3 10:14:58"), std::string::npos) << "a detection among the alarms outside";

  // The margin chart: the walk tests shaded, the quiet margin drawn.
  ASSERT_EQ(RunIn(dir_.Folder(), "pdftoppm -r 60 -png report.pdf page").exit_code, 0);
  int shaded = 0, quiet = 0;
  for (int page = 1; page <= 2; ++page) {
    const QImage image(QString::fromStdString(dir_.Folder() + "page-" + std::to_string(page) + ".png"));
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) {
        const QColor c = image.pixelColor(x, y);
        shaded += c.red() > 245 && std::abs(c.green() - 227) < 12 && std::abs(c.blue() - 171) < 16;
        quiet += std::abs(c.red() - 0x80) < 24 && c.green() < 0x50 && std::abs(c.blue() - 0xA0) < 24;
      }
  }
  EXPECT_GT(shaded, 500);
  EXPECT_GT(quiet, 20);

  // The first test alone: every pass counted.
  ExpectAll(
      PdfText("walked.jsonl --to 2026-12-09T10:04"),
      {"Проверка: 3 прохода, обнаружено 2, пропущено 1, наименьший запас обнаружения 9,8. В покое 1 мин "
       "49 с: наименьший запас до порога 12,7; тревог вне проверок нет. Связь: 100 %."});
}

TEST_F(WalkTestReport, AnOlderJournalTakesTheQuietMarginFromSummariesWithoutAlarmsAndSaysSo) {
  ExpectAll(
      PdfText("old.jsonl"),
      {"Наименьший запас до порога в покое: 12,4, в сводке, закончившейся 10.12.2026 12:00:50.",
       "среднеквадратичное отклонение: нет данных.",
       "Журнал записан до того, как сводки стали выделять спокойные отсчёты: по нему запас в покое взят по "
       "сводкам, в которых не было тревог (и 10 с после них), — 4 из 6.",
       "Проверок обнаружения не было. В покое (по сводкам без тревог) 40 с: наименьший запас до порога 12,4; "
       "1 тревога вне проверок. Связь: более 99,9 %."});
}

}  // namespace
}  // namespace tarvin::testing
