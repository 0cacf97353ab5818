// `tarvin9-osc report` run as a service engineer runs it, the PDF read back
// with pdftotext and a page rendered with pdftoppm: two runs with alarms,
// a torn line, missing and damaged oscillograms, an empty period, a journal
// without summaries, bad usage, and a disk that fills up.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <QImage>
#include <QString>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>

#include "tests/support/child_process.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/known_oscillogram.h"
#include "tests/support/temp_folder.h"

namespace tarvin::testing {
namespace {

// A run from 22:00: a summary, an alarm saved, a torn line, a loss of 20 s,
// a narrow-margin summary, two saves whose files are missing and damaged;
// `stop`, then a second run that ends without one (a power cut).
const char* const kJournal[] = {
    R"({"time":"2026-12-07T22:00:00.000+03:00","seq":1,"event":"start","port":"COM1","version":"1.0.0","options":{"save_level":40.0}})",
    R"({"time":"2026-12-07T22:00:00.040+03:00","seq":2,"event":"link_up","firmware":"2.0"})",
    R"({"time":"2026-12-07T22:01:00.000+03:00","seq":3,"event":"summary","seconds":60.0,"samples":4668,"lost":0,"threshold":{"min":28.0,"max":28.1,"mean":28.05},"useful":{"min":5.0,"max":15.0,"mean":10.0},"margin":{"min":13.0,"over_threshold":0},"settings":{"direct_component":"30","buffer_length":"56","network_address":"7","save_level":40.0}})",
    R"({"time":"2026-12-07T22:10:00.000+03:00","seq":4,"event":"alarm_begin","alarm_bits":6})",
    R"({"time":"2026-12-07T22:10:01.280+03:00","seq":5,"event":"saved","path":"Chart4pF/good.bin","trigger":"alarm","samples":5})",
    R"({"time":"2026-12-07T22:10:04.000+03:00","seq":6,"event":"alarm_end","alarm_bits":6})",
    R"({"time":"2026-12-07T22:1)",
    R"({"time":"2026-12-07T22:20:00.000+03:00","seq":8,"event":"link_lost"})",
    R"({"time":"2026-12-07T22:20:20.000+03:00","seq":9,"event":"link_up","firmware":"2.0"})",
    R"({"time":"2026-12-07T22:21:00.000+03:00","seq":10,"event":"summary","seconds":60.0,"samples":4600,"lost":3,"threshold":{"min":28.0,"max":28.1,"mean":28.05},"useful":{"min":5.0,"max":33.0,"mean":11.0},"margin":{"min":-5.0,"over_threshold":12},"settings":{"direct_component":"30","buffer_length":"56","network_address":null,"save_level":40.0}})",
    R"({"time":"2026-12-07T22:30:00.000+03:00","seq":11,"event":"saved","path":"Chart4pF/missing.bin","trigger":"level","samples":5})",
    R"({"time":"2026-12-07T22:31:00.000+03:00","seq":12,"event":"saved","path":"Chart4pF/damaged.bin","trigger":"level","samples":5})",
    R"({"time":"2026-12-07T22:40:00.000+03:00","seq":13,"event":"stop","reason":"signal","samples":9,"counters":{"checksum_errors":4,"timeouts":2}})",
    R"({"time":"2026-12-07T22:45:00.000+03:00","seq":1,"event":"start","port":"COM1","version":"1.0.0"})",
    R"({"time":"2026-12-07T22:45:00.040+03:00","seq":2,"event":"link_up","firmware":"2.0"})",
    R"({"time":"2026-12-07T22:50:00.000+03:00","seq":3,"event":"alarm_begin","alarm_bits":2})",
    R"({"time":"2026-12-07T23:00:00.000+03:00","seq":4,"event":"balance","text":"Фланги СЗ сбалансированы"})",
};

class OscReport : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directory(dir_.Path() / "Chart4pF");
    WriteBytes(dir_.Folder() + "Chart4pF/good.bin", KnownOscillogramBytes());
    WriteBytes(dir_.Folder() + "Chart4pF/damaged.bin", {2, 0x10, 0x00, 1, 2, 3});
    std::ofstream journal(dir_.Path() / "journal.jsonl");
    for (const char* line : kJournal) journal << line << "\n";
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

  TempFolder dir_;
};

TEST_F(OscReport, TwoRunsWithAlarmsATornLineAndMissingAndDamagedFiles) {
  const Outcome made = Report("journal.jsonl -o report.pdf --site 'Склад № 3' --sensor 'Ворота'");
  ASSERT_EQ(made.exit_code, 0) << made.err;
  // Drawn as such in their places, and told as every other command tells them.
  EXPECT_EQ(made.err,
            "tarvin9-osc: Файл не удается открыть: Chart4pF/missing.bin\n"
            "tarvin9-osc: Файл повреждён или неполон: Chart4pF/damaged.bin\n");
  const std::string text = PdfText("report.pdf");
  for (const char* expected : {
           "Отчёт о пусконаладке датчика «Тарвин-9»",
           "Объект: Склад № 3",
           "Датчик: Ворота",
           "Период: 07.12.2026 22:00:00 — 07.12.2026 23:00:00 (1 ч)",
           "Версия программы датчика: 2.0.",
           "постоянная составляющая порога 30, длина буфера порога 56",
           "Программа запускалась за период 2 раза",
           "без записи о завершении",  // the second run: no stop
           "Потерь связи: 1. Переоткрытий порта: 0.",
           "ошибок контрольной суммы 4, тайм-аутов 2",
           "20 с",  // the loss
           "good.bin",
           "Файл не удается открыть: ",
           "missing.bin",
           "Файл повреждён или неполон: ",
           "Наименьший запас до порога в покое: -5,0, в сводке, закончившейся 07.12.2026 22:21:00.",
           "потеряно: 3",
           "Пропущено строк журнала, не являющихся записями событий (оборваны или чужие): 1 "
           "(journal.jsonl:7)",
       })
    EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
  // The link: up 22:00:00.04–22:20, 22:20:20–22:40, 22:45:00.04–23:00 of the hour.
  EXPECT_NE(
      text.find("Проверок обнаружения не было. В покое (по сводкам без тревог) 2 мин 0 с: наименьший запас "
                "до порога -5,0; 2 тревоги вне проверок. Связь: 91,1 %."),
      std::string::npos)
      << text;
  // The alarm still on when the second run's journal ends: at least to its last line.
  for (const char* expected : {"22:50:00 шла при остановке", "не менее", "10 мин 0 с"})
    EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;

  // The oscillogram is drawn by the window's chart: its useful signal's green.
  const Outcome png = Run("pdftoppm", "-r 60 -png report.pdf page");
  ASSERT_EQ(png.exit_code, 0) << png.err;
  int green = 0;
  for (int page = 1; page <= Pages("report.pdf"); ++page) {
    const QImage image(QString::fromStdString(dir_.Folder() + "page-" + std::to_string(page) + ".png"));
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) green += image.pixel(x, y) == qRgb(0x00, 0x80, 0x40);
  }
  EXPECT_GT(green, 50);

  const Outcome json = Report("journal.jsonl --json --from 2026-12-07T22:00 --to '2026-12-07 22:44'");
  ASSERT_EQ(json.exit_code, 0) << json.err;
  const nlohmann::json j = nlohmann::json::parse(json.out);
  EXPECT_EQ(j["to"], "2026-12-07T22:44:00.000+03:00");
  EXPECT_EQ(j["runs"].size(), 1u);
  EXPECT_EQ(j["link"]["losses"][0]["seconds"], 20.0);
  // From the first answer, 40 ms into the period: the time before it is no loss.
  EXPECT_NEAR(j["link"]["availability"].get<double>(), (2640.0 - 20 - 0.04 - 240) / (2640 - 0.04), 1e-6);
  EXPECT_EQ(j["alarms"].size(), 1u);
  EXPECT_EQ(j["alarms"][0]["seconds"], 4.0);
  EXPECT_EQ(j["alarms"][0]["file"], "Chart4pF/good.bin");
  EXPECT_EQ(j["signal"]["margin_min"], -5.0);
  EXPECT_EQ(j["signal"]["over_threshold"], 12);
  std::vector<std::string> states;
  for (const auto& f : j["oscillograms"]) states.push_back(f["state"]);
  EXPECT_EQ(states, (std::vector<std::string>{"ok", "missing", "damaged"}));
  EXPECT_EQ(j["skipped_lines"]["where"], nlohmann::json::array({"journal.jsonl:7"}));
}

TEST_F(OscReport, AnEmptyPeriodIsOnePageAndARunWithoutSummariesSaysSo) {
  const Outcome empty = Report("journal.jsonl -o empty.pdf --from 2026-12-08 --to 2026-12-09");
  ASSERT_EQ(empty.exit_code, 0) << empty.err;
  EXPECT_EQ(Pages("empty.pdf"), 1);
  EXPECT_NE(PdfText("empty.pdf").find("За выбранный период в журнале нет записей"), std::string::npos);

  // The second run alone: no summary in it. Oscillograms from --folder.
  std::filesystem::rename(dir_.Path() / "Chart4pF", dir_.Path() / "elsewhere");
  const Outcome bare = Report("journal.jsonl -o bare.pdf --from 2026-12-07T22:45 --folder elsewhere");
  ASSERT_EQ(bare.exit_code, 0) << bare.err;
  const std::string text = PdfText("bare.pdf");
  EXPECT_NE(text.find("Минутных сводок за период в журнале нет"), std::string::npos) << text;
  EXPECT_NE(text.find("Сводок сигнала нет;"), std::string::npos) << text;
  EXPECT_NE(text.find("Осциллограммы за период не сохранялись."), std::string::npos) << text;
  const Outcome elsewhere = Report("journal.jsonl --json --folder elsewhere");
  EXPECT_EQ(nlohmann::json::parse(elsewhere.out)["alarms"][0]["file"], "elsewhere/good.bin");
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

// A recorder's run with 10 s summaries: alarm 1 arms a save that alarm 2,
// begun while it waited, shares; alarm 3 is still on at the stop.
const char* const kArmed[] = {
    R"({"time":"2026-12-08T18:00:00.000+03:00","seq":1,"event":"start","port":"COM1","version":"1.0.0"})",
    R"({"time":"2026-12-08T18:00:00.043+03:00","seq":2,"event":"link_up","firmware":"2.0"})",
    R"({"time":"2026-12-08T18:00:10.040+03:00","seq":3,"event":"summary","seconds":10.0,"samples":250,"lost":0,"useful":{"max":15.0},"threshold":{"min":28.0},"margin":{"min":13.0,"over_threshold":0}})",
    R"({"time":"2026-12-08T18:01:00.000+03:00","seq":4,"event":"alarm_begin","alarm_bits":6})",
    R"({"time":"2026-12-08T18:01:02.000+03:00","seq":5,"event":"alarm_end","alarm_bits":6})",
    R"({"time":"2026-12-08T18:01:05.000+03:00","seq":6,"event":"alarm_begin","alarm_bits":2})",
    R"({"time":"2026-12-08T18:01:10.000+03:00","seq":7,"event":"saved","path":"Chart4pF/good.bin","trigger":"alarm","samples":5,"level_exceeded":false,"alarm_seq":4,"alarm_begin":"2026-12-08T18:01:00.000+03:00"})",
    R"({"time":"2026-12-08T18:01:12.000+03:00","seq":8,"event":"alarm_end","alarm_bits":2})",
    R"({"time":"2026-12-08T18:02:47.000+03:00","seq":9,"event":"alarm_begin","alarm_bits":6})",
    R"({"time":"2026-12-08T18:02:47.500+03:00","seq":10,"event":"stop","reason":"duration"})",
};

TEST_F(OscReport, SavesGoToTheAlarmThatArmedThemAndAnAlarmOnAtTheStopSaysSo) {
  {
    std::ofstream journal(dir_.Path() / "armed.jsonl");
    for (const char* line : kArmed) journal << line << "\n";
  }
  const Outcome json = Report("armed.jsonl --json");
  ASSERT_EQ(json.exit_code, 0) << json.err;
  EXPECT_FALSE(std::regex_search(json.out, std::regex(R"(\.\d{7})"))) << json.out;  // no float noise
  const nlohmann::json alarms = nlohmann::json::parse(json.out)["alarms"];
  ASSERT_EQ(alarms.size(), 3u);
  EXPECT_EQ(alarms[0]["file"], "Chart4pF/good.bin");
  EXPECT_EQ(alarms[1]["file"], "Chart4pF/good.bin");  // begun while that save waited: in its file
  EXPECT_EQ(alarms[1]["saved_with"], "2026-12-08T18:01:00.000+03:00");
  EXPECT_EQ(alarms[2]["end"], nullptr);
  EXPECT_EQ(alarms[2]["still_on_at_stop"], "2026-12-08T18:02:47.500+03:00");
  EXPECT_EQ(alarms[2]["seconds"], 0.5);

  // The PDF on standard output, its words for all of it.
  const Outcome pdf = Report("armed.jsonl -o -");
  ASSERT_EQ(pdf.exit_code, 0) << pdf.err;
  EXPECT_FALSE(std::filesystem::exists(dir_.Path() / "-"));
  WriteBytes(dir_.Folder() + "armed.pdf", std::vector<uint8_t>(pdf.out.begin(), pdf.out.end()));
  const std::string text = PdfText("armed.pdf");
  for (const char* expected :
       {"Период: 08.12.2026 18:00:00 — 08.12.2026 18:02:47 (2 мин 48 с)", "Настройки датчика: нет данных.",
        "good.bin (вместе с № 1)", "шла при остановке", "Тревоги по минутам:", "Сигнал по сводкам за 10 с"})
    EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
}

// An alarm acknowledged from the control room after a restart of the
// recorder, the same seq in the next run not acknowledged, a second ack of
// the first alarm (the first stands) and a refused one that changes nothing.
const char* const kAcked[] = {
    R"({"time":"2026-12-09T01:00:00.000+03:00","seq":1,"event":"start","port":"COM1","version":"1.0.0"})",
    R"({"time":"2026-12-09T01:00:00.040+03:00","seq":2,"event":"link_up","firmware":"2.0"})",
    R"({"time":"2026-12-09T01:02:03.456+03:00","seq":3,"event":"alarm_begin","alarm_bits":6})",
    R"({"time":"2026-12-09T01:02:05.000+03:00","seq":4,"event":"alarm_end","alarm_bits":6})",
    R"({"time":"2026-12-09T01:04:00.000+03:00","seq":5,"event":"stop","reason":"signal"})",
    R"({"time":"2026-12-09T01:04:10.000+03:00","seq":1,"event":"start","port":"COM1","version":"1.0.0"})",
    R"({"time":"2026-12-09T01:04:10.040+03:00","seq":2,"event":"link_up","firmware":"2.0"})",
    R"({"time":"2026-12-09T01:05:04.656+03:00","seq":3,"event":"ack","alarm":3,"alarm_time":"2026-12-09T01:02:03.456+03:00","operator":"ivanov","comment":"ложная: <b>ветер</b>","pressed":"2026-12-08T22:05:04.000Z","seconds_to_ack":181.2,"id":"press-0001"})",
    R"({"time":"2026-12-09T01:05:05.000+03:00","seq":4,"event":"ack_refused","operator":"petrov","alarm":3,"alarm_time":"2026-12-09T01:04:10.040+03:00","id":"press-0002","reason":"unknown_alarm"})",
    R"({"time":"2026-12-09T01:05:06.000+03:00","seq":5,"event":"ack","alarm":3,"alarm_time":"2026-12-09T01:02:03.456+03:00","operator":"petrov","comment":"проверено","pressed":null,"seconds_to_ack":182.5,"id":"press-0003"})",
    R"({"time":"2026-12-09T01:06:00.000+03:00","seq":6,"event":"alarm_begin","alarm_bits":2})",
    R"({"time":"2026-12-09T01:06:01.000+03:00","seq":7,"event":"alarm_end","alarm_bits":2})",
};

TEST_F(OscReport, WhoAcknowledgedEachAlarmWhenAndHowFast) {
  {
    std::ofstream journal(dir_.Path() / "acked.jsonl");
    for (const char* line : kAcked) journal << line << "\n";
  }
  const Outcome json = Report("acked.jsonl --json");
  ASSERT_EQ(json.exit_code, 0) << json.err;
  const nlohmann::json report = nlohmann::json::parse(json.out);
  ASSERT_EQ(report["alarms"].size(), 2u);
  EXPECT_EQ(report["alarms"][0]["ack"], nlohmann::json::parse(R"({"operator":"ivanov",
      "time":"2026-12-09T01:05:04.656+03:00","comment":"ложная: <b>ветер</b>","seconds_to_ack":181.2})"));
  EXPECT_EQ(report["alarms"][1]["ack"], nullptr);
  EXPECT_EQ(report["alarms_outside_tests"][0]["ack"]["operator"], "ivanov");
  EXPECT_EQ(report["acknowledgements"],
            nlohmann::json::parse(R"({"control_room":true,"alarms":2,"acknowledged":1,
      "median_seconds_to_ack":181.2,"longest_seconds_to_ack":181.2})"));

  ASSERT_EQ(Report("acked.jsonl -o acked.pdf").exit_code, 0);
  const std::string text = PdfText("acked.pdf");
  for (const char* expected : {"Подтверждение тревог", "ivanov", "ложная: <b>ветер</b>", "3 мин 1 с",
                               "не подтверждена", "Подтверждено тревог: 1 из 2"})
    EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
}

// The window's run, with no control room: a walk test of one pass that raised
// two alarms, a note of 200 characters, the link up a second after the start;
// then a recorder's run that publishes to a broker, nobody acknowledging.
const char* const kUnattended[] = {
    R"({"time":"2026-12-11T12:00:00.000+03:00","seq":1,"event":"start","port":"COM1","version":"4.0"})",
    R"({"time":"2026-12-11T12:00:01.000+03:00","seq":2,"event":"link_up","firmware":"2.0"})",
    R"({"time":"2026-12-11T12:00:10.000+03:00","seq":3,"event":"walk_test_begin","walk_test":3,"note":"NOTE","limit_min":30})",
    R"({"time":"2026-12-11T12:00:20.000+03:00","seq":4,"event":"alarm_begin","alarm_bits":6,"walk_test":3,"detection":1})",
    R"({"time":"2026-12-11T12:00:21.500+03:00","seq":5,"event":"alarm_end","alarm_bits":6,"walk_test":3,"detection":1,"peak":40.0,"threshold":30.0,"margin":10.0,"over_threshold_s":2.7})",
    R"({"time":"2026-12-11T12:00:23.000+03:00","seq":6,"event":"alarm_begin","alarm_bits":6,"walk_test":3,"detection":2})",
    R"({"time":"2026-12-11T12:00:24.000+03:00","seq":7,"event":"alarm_end","alarm_bits":6,"walk_test":3,"detection":2,"peak":38.0,"threshold":30.0,"margin":8.0,"over_threshold_s":0.8})",
    R"({"time":"2026-12-11T12:00:40.000+03:00","seq":8,"event":"walk_test_end","walk_test":3,"passes":1,"detections":2,"missed":0,"reason":"operator","seconds":30.0})",
    R"({"time":"2026-12-11T12:01:00.000+03:00","seq":9,"event":"alarm_begin","alarm_bits":2})",
    R"({"time":"2026-12-11T12:01:02.000+03:00","seq":10,"event":"alarm_end","alarm_bits":2})",
    R"({"time":"2026-12-11T12:02:00.000+03:00","seq":11,"event":"stop","reason":"operator"})",
    R"({"time":"2026-12-11T12:05:00.000+03:00","seq":1,"event":"start","port":"/dev/ttyUSB0","version":"1.1.0","options":{"mqtt":"mqtt://north@broker","site":"north","sensor":"gate"}})",
    R"({"time":"2026-12-11T12:05:00.040+03:00","seq":2,"event":"link_up","firmware":"2.0"})",
    R"({"time":"2026-12-11T12:06:00.000+03:00","seq":3,"event":"alarm_begin","alarm_bits":6})",
    R"({"time":"2026-12-11T12:06:03.000+03:00","seq":4,"event":"alarm_end","alarm_bits":6})",
    R"({"time":"2026-12-11T12:07:00.000+03:00","seq":5,"event":"stop","reason":"signal"})",
};

TEST_F(OscReport, NoControlRoomNoUnacknowledgedAlarmsAndTotalsThatAddUp) {
  std::string note;  // 200 characters, in words
  while (note.size() < 200) note += "ворота, в полный рост. ";
  note = QString::fromStdString(note).left(200).trimmed().toStdString();
  {
    std::ofstream journal(dir_.Path() / "window.jsonl");
    for (const char* line : kUnattended)
      journal << std::regex_replace(line, std::regex("NOTE"), note) << "\n";
  }
  ASSERT_EQ(Report("window.jsonl -o window.pdf --to 2026-12-11T12:02").exit_code, 0);
  const std::string text = PdfText("window.pdf");
  const std::string cut = QString::fromStdString(note).left(40).trimmed().toStdString() + "…";
  for (const std::string& expected : {
           std::string("Пульт за период подключён не был"),
           std::string("1 проверка: 1 проход, обнаружено 1."),
           std::string("Тревог больше, чем проходов: в проверке 1 — 2 тревоги на 1 проход."),
           std::string("1 (тревог: 2) 0 оператором"), "«" + cut + "»",
           "1 " + note,  // cut in the headline, whole across the page
           std::string("от первого ответа датчика, 11.12.2026 12:00:01"), std::string("Связь: 100 %."),
           std::string("11.12.2026 12:01:02 2,0 с"),  // as the detections' "2,7 с", never "2 с"
       })
    EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
  EXPECT_EQ(text.find("Подтверждено тревог"), std::string::npos) << text;
  EXPECT_EQ(text.find("не подтверждена"), std::string::npos) << text;

  // With the recorder's run: only its alarm was the control room's to take.
  const nlohmann::json j = nlohmann::json::parse(Report("window.jsonl --json").out);
  EXPECT_EQ(j["acknowledgements"]["control_room"], true);
  EXPECT_EQ(j["acknowledgements"]["alarms"], 1);
  EXPECT_EQ(j["walk_tests"][0]["detected"], 1);
  EXPECT_EQ(j["walk_tests"][0]["missed"], 0);
}

}  // namespace
}  // namespace tarvin::testing
