// The commissioning report of a zone that was walked: `tarvin9-osc report`
// on a journal with two walk tests (one ended by the operator with a pass
// missed, one by its limit, its last detection ending after it), alarms
// outside them and quiet summaries; and on an older journal, whose quiet
// margin comes from the summaries without alarms. Read back with pdftotext,
// its margin chart looked at with pdftoppm.
#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>

#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"

namespace tarvin::testing {
namespace {

const char* const kWalked[] = {
    R"({"time":"2026-12-09T10:00:00.000+03:00","seq":1,"event":"start","port":"/dev/ttyUSB0","version":"1.1.0","options":{"save_level":40.0,"control":"/run/tarvin9/control","walk_test_limit":30}})",
    R"({"time":"2026-12-09T10:00:00.040+03:00","seq":2,"event":"link_up","firmware":"2.0"})",
    R"({"time":"2026-12-09T10:01:00.000+03:00","seq":3,"event":"summary","seconds":60.0,"samples":4668,"lost":0,"threshold":{"min":28.0},"useful":{"max":14.8},"margin":{"min":13.2,"over_threshold":0},"quiet":{"samples":4668,"margin_min":13.2,"useful_max":14.8,"useful_sd":1.5}})",
    R"({"time":"2026-12-09T10:01:30.000+03:00","seq":4,"event":"walk_test_begin","walk_test":1,"note":"ворота, в полный рост","limit_min":30})",
    R"({"time":"2026-12-09T10:01:40.000+03:00","seq":5,"event":"alarm_begin","alarm_bits":6,"walk_test":1,"detection":1})",
    R"({"time":"2026-12-09T10:01:42.500+03:00","seq":6,"event":"alarm_end","alarm_bits":6,"peak":47.0,"threshold":30.5,"margin":16.5,"over_threshold_s":1.8,"walk_test":1,"detection":1})",
    R"({"time":"2026-12-09T10:02:00.000+03:00","seq":7,"event":"summary","seconds":60.0,"samples":4668,"lost":0,"threshold":{"min":28.0},"useful":{"max":47.0},"margin":{"min":-16.5,"over_threshold":140},"quiet":{"samples":2334,"margin_min":12.9,"useful_max":15.1,"useful_sd":1.6}})",
    R"({"time":"2026-12-09T10:02:10.000+03:00","seq":8,"event":"alarm_begin","alarm_bits":6,"walk_test":1,"detection":2})",
    R"({"time":"2026-12-09T10:02:12.000+03:00","seq":9,"event":"alarm_end","alarm_bits":6,"peak":39.8,"threshold":30.0,"margin":9.8,"over_threshold_s":1.2,"walk_test":1,"detection":2})",
    R"({"time":"2026-12-09T10:02:30.000+03:00","seq":10,"event":"walk_test_end","walk_test":1,"passes":3,"detections":2,"missed":1,"reason":"operator","seconds":60.0})",
    R"({"time":"2026-12-09T10:03:00.000+03:00","seq":11,"event":"summary","seconds":60.0,"samples":4668,"lost":0,"threshold":{"min":28.0},"useful":{"max":39.8},"margin":{"min":-9.8,"over_threshold":90},"quiet":{"samples":1500,"margin_min":12.7,"useful_max":15.3,"useful_sd":2.1}})",
    R"({"time":"2026-12-09T10:05:00.000+03:00","seq":12,"event":"alarm_begin","alarm_bits":2})",
    R"({"time":"2026-12-09T10:05:03.000+03:00","seq":13,"event":"alarm_end","alarm_bits":2,"peak":33.1,"threshold":29.6,"margin":3.5,"over_threshold_s":0.9})",
    R"({"time":"2026-12-09T10:06:00.000+03:00","seq":14,"event":"summary","seconds":60.0,"samples":4668,"lost":0,"threshold":{"min":28.0},"useful":{"max":33.1},"margin":{"min":-3.5,"over_threshold":70},"quiet":{"samples":3900,"margin_min":14.0,"useful_max":14.1,"useful_sd":1.2}})",
    R"({"time":"2026-12-09T10:10:00.000+03:00","seq":15,"event":"walk_test_begin","walk_test":2,"note":"","limit_min":5})",
    R"({"time":"2026-12-09T10:14:58.000+03:00","seq":16,"event":"alarm_begin","alarm_bits":6,"walk_test":2,"detection":1})",
    R"({"time":"2026-12-09T10:15:00.000+03:00","seq":17,"event":"walk_test_end","walk_test":2,"passes":null,"detections":1,"missed":null,"reason":"limit","seconds":300.0})",
    R"({"time":"2026-12-09T10:15:02.000+03:00","seq":18,"event":"alarm_end","alarm_bits":6,"peak":41.0,"threshold":30.0,"margin":11.0,"over_threshold_s":2.5,"walk_test":2,"detection":1})",
    R"({"time":"2026-12-09T10:16:00.000+03:00","seq":19,"event":"summary","seconds":60.0,"samples":4668,"lost":0,"threshold":{"min":28.0},"useful":{"max":41.0},"margin":{"min":-11.0,"over_threshold":180},"quiet":{"samples":0,"margin_min":null,"useful_max":null,"useful_sd":null}})",
    R"({"time":"2026-12-09T10:20:00.000+03:00","seq":20,"event":"alarm_begin","alarm_bits":6})",
    R"({"time":"2026-12-09T10:20:01.000+03:00","seq":21,"event":"alarm_end","alarm_bits":6,"peak":null,"threshold":null,"margin":null,"over_threshold_s":null})",
    R"({"time":"2026-12-09T10:21:00.000+03:00","seq":22,"event":"summary","seconds":60.0,"samples":4668,"lost":0,"threshold":{"min":28.0},"useful":{"max":14.5},"margin":{"min":13.5,"over_threshold":0},"quiet":{"samples":4000,"margin_min":13.5,"useful_max":14.5,"useful_sd":1.4}})",
    R"({"time":"2026-12-09T10:21:30.000+03:00","seq":23,"event":"stop","reason":"signal","counters":{"checksum_errors":0,"timeouts":0}})",
};

// Before walk tests and quiet figures: 10 s summaries, an alarm in the one
// to 12:00:30, and the 10 s after it reaching into the next; a loss of the
// link too short to show in a rounded share.
const char* const kOld[] = {
    R"({"time":"2026-12-10T12:00:00.000+03:00","seq":1,"event":"start","port":"COM1","version":"1.0.0"})",
    R"({"time":"2026-12-10T12:00:00.000+03:00","seq":2,"event":"link_up","firmware":"2.0"})",
    R"({"time":"2026-12-10T12:00:10.000+03:00","seq":3,"event":"summary","seconds":10.0,"samples":780,"lost":0,"useful":{"max":14.0},"threshold":{"min":28.0},"margin":{"min":14.0,"over_threshold":0}})",
    R"({"time":"2026-12-10T12:00:20.000+03:00","seq":4,"event":"summary","seconds":10.0,"samples":780,"lost":0,"useful":{"max":14.9},"threshold":{"min":28.0},"margin":{"min":13.1,"over_threshold":0}})",
    R"({"time":"2026-12-10T12:00:25.000+03:00","seq":5,"event":"alarm_begin","alarm_bits":6})",
    R"({"time":"2026-12-10T12:00:27.000+03:00","seq":6,"event":"alarm_end","alarm_bits":6})",
    R"({"time":"2026-12-10T12:00:30.000+03:00","seq":7,"event":"summary","seconds":10.0,"samples":780,"lost":0,"useful":{"max":40.0},"threshold":{"min":28.0},"margin":{"min":-12.0,"over_threshold":90}})",
    R"({"time":"2026-12-10T12:00:40.000+03:00","seq":8,"event":"summary","seconds":10.0,"samples":780,"lost":0,"useful":{"max":26.0},"threshold":{"min":28.0},"margin":{"min":2.0,"over_threshold":0}})",
    R"({"time":"2026-12-10T12:00:50.000+03:00","seq":9,"event":"summary","seconds":10.0,"samples":780,"lost":0,"useful":{"max":15.6},"threshold":{"min":28.0},"margin":{"min":12.4,"over_threshold":0}})",
    R"({"time":"2026-12-10T12:00:55.000+03:00","seq":10,"event":"link_lost"})",
    R"({"time":"2026-12-10T12:00:55.020+03:00","seq":11,"event":"link_up","firmware":"2.0"})",
    R"({"time":"2026-12-10T12:01:00.000+03:00","seq":12,"event":"summary","seconds":10.0,"samples":780,"lost":0,"useful":{"max":15.1},"threshold":{"min":28.0},"margin":{"min":12.9,"over_threshold":0}})",
    R"({"time":"2026-12-10T12:01:05.000+03:00","seq":13,"event":"stop","reason":"signal"})",
};

class WalkTestReport : public ::testing::Test {
 protected:
  void SetUp() override {
    Write("walked.jsonl", kWalked, std::size(kWalked));
    Write("old.jsonl", kOld, std::size(kOld));
  }
  void Write(const char* name, const char* const* lines, std::size_t count) {
    std::ofstream out(dir_.Path() / name);
    for (std::size_t i = 0; i < count; ++i) out << lines[i] << "\n";
  }
  Outcome Report(const std::string& args) {
    return RunIn(dir_.Folder(), "'" TARVIN_OSC_PATH "' report " + args);
  }
  nlohmann::json Json(const std::string& args) {
    const Outcome o = Report(args + " --json");
    EXPECT_EQ(o.exit_code, 0) << o.err;
    return nlohmann::json::parse(o.out);
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
                "Наименьший запас до порога в покое: 12,7, в сводке, закончившейся 09.12.2026 10:03:00.",
                "В покое: 3 мин 31 с (отсчётов: 16402)",
                "наибольший 15,3; среднеквадратичное отклонение 1,49",
                "наименьший запас до порога -16,5",  // over every sample, the walks included
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

  const nlohmann::json j = Json("walked.jsonl");
  ASSERT_EQ(j["walk_tests"].size(), 2u);
  const nlohmann::json& first = j["walk_tests"][0];
  EXPECT_EQ(first["note"], "ворота, в полный рост");
  EXPECT_EQ(first["reason"], "operator");
  EXPECT_EQ(first["passes"], 3);
  EXPECT_EQ(first["detections"], 2);
  EXPECT_EQ(first["missed"], 1);
  EXPECT_EQ(first["alarms"].size(), 2u);
  const nlohmann::json& second = j["walk_tests"][1];
  EXPECT_EQ(second["reason"], "limit");
  EXPECT_EQ(second["passes"], nullptr);
  EXPECT_EQ(second["missed"], nullptr);
  EXPECT_EQ(second["alarms"][0]["begin"], "2026-12-09T10:14:58.000+03:00");
  EXPECT_EQ(second["alarms"][0]["margin"], 11.0);
  EXPECT_EQ(
      j["detection_margin_min"],
      (nlohmann::json{
          {"margin", 9.8}, {"walk_test", 1}, {"detection", 2}, {"time", "2026-12-09T10:02:10.000+03:00"}}));
  ASSERT_EQ(j["alarms_outside_tests"].size(), 2u);
  EXPECT_EQ(j["alarms_outside_tests"][0]["begin"], "2026-12-09T10:05:00.000+03:00");
  EXPECT_EQ(j["alarms_outside_tests"][1]["peak"], nullptr);  // no chart sample came: unknown, not 0
  EXPECT_EQ(j["quiet"]["taken_from"], "quiet_samples");
  EXPECT_EQ(j["quiet"]["samples"], 16402);
  EXPECT_EQ(j["quiet"]["margin_min"], 12.7);
  EXPECT_EQ(j["quiet"]["margin_min_at"], "2026-12-09T10:03:00.000+03:00");
  EXPECT_EQ(j["quiet"]["useful_max"], 15.3);
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
  const nlohmann::json quiet = Json("old.jsonl")["quiet"];
  EXPECT_EQ(quiet["taken_from"], "summaries_without_alarms");
  EXPECT_EQ(quiet["summaries"], 4);
  EXPECT_EQ(quiet["samples"], nullptr);
  EXPECT_EQ(quiet["margin_min"], 12.4);
  EXPECT_EQ(quiet["useful_sd"], nullptr);
  // An older journal and a newer one in one report: each taken its own way.
  EXPECT_EQ(Json("old.jsonl walked.jsonl")["quiet"]["taken_from"], "both");
}

}  // namespace
}  // namespace tarvin::testing
