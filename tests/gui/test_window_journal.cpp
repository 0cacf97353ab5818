// The window's journal over the scripted port: the recorder's events in
// journal.jsonl in their order, none written inside a tick, the list of
// "Журнал событий" newest first with the earlier runs below, a saved
// oscillogram opened from it, and the status bar's word on a save.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QCoreApplication>
#include <QDir>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "app/journal_window.h"
#include "app/journal_words.h"
#include "app/save_notice.h"
#include "app/walk_test_dialog.h"
#include "chart/chart_view.h"
#include "tests/gui/window_rig.h"
#include "tests/support/engine_probe.h"
#include "tests/support/link_frames.h"
#ifndef _WIN32
#include "tests/support/child_process.h"
#include "tests/support/session_parts.h"
#endif

namespace tarvin::testing {
namespace {

std::vector<nlohmann::json> JournalLines(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::vector<nlohmann::json> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(nlohmann::json::parse(line));
  return lines;
}

std::vector<std::string> EventNames(const std::vector<nlohmann::json>& lines) {
  std::vector<std::string> names;
  for (const auto& line : lines) names.push_back(line["event"].get<std::string>());
  return names;
}

// The journal's count of events at each reading of the engine's clock: the
// clock is read as LinkTick begins and as it ends.
const Journal* g_watched = nullptr;
std::vector<uint64_t> g_seq_at_clock;
int64_t WatchingClock() {
  g_seq_at_clock.push_back(g_watched->LastSeq());
  return static_cast<int64_t>(g_seq_at_clock.size()) * 1000;
}

TEST(WindowJournal, EventsOfALinkAnAlarmASaveAndALostPortInTheRecordersOrder) {
  WindowRig rig(OpenResult::Opened);
  TFmain& w = *rig.window;
  ASSERT_NE(w.EventJournal(), nullptr);
  g_watched = &w.EventJournal()->Events();
  g_seq_at_clock.clear();
  SessionParts::Engine(w.Session()).SetClock(WatchingClock);

  // Status with the first flank low and an alarm bit: the link returns.
  rig.Answer(0x0141, Reply(0x41, {0x12}));
  // The version reply completes the return; then a balanced, quiet status.
  rig.Answer(0x014D, VersionReply(0x0002, 0));
  rig.Answer(0x0141, Reply(0x41, {0x00}));

  // The threshold above the level: saved half a window of 10 later.
  w.Controls().EditX->setText("10");
  ASSERT_TRUE(w.EditXExit());
  LinkEngineProbe::SetChartTag(SessionParts::Engine(w.Session()), 1);
  std::string frames;
  for (uint32_t n = 0; n < 8; ++n) frames += ChartFrame(10, n, 50.0f);
  rig.port->Deliver(frames);
  w.TimerRvTimer();
  WindowRig::RunPosted();

  // Three failed writes: the engine lets the port go. Then the operator opens it again.
  rig.port->fail_writes = true;
  for (int i = 0; i < 10 && w.Engine().PortHeld(); ++i) {
    SessionParts::Engine(w.Session()).QueueCommand(0x0141);
    w.TimerRvTimer();
  }
  ASSERT_FALSE(w.Engine().PortHeld());
  WindowRig::RunPosted();
  rig.port->fail_writes = false;
  w.ComboBox1Click(0);

  // Nothing was written while a tick ran: each tick's first and last clock
  // reading saw the same count of events.
  ASSERT_EQ(g_seq_at_clock.size() % 2, 0u);
  ASSERT_GE(g_seq_at_clock.size(), 16u);
  for (std::size_t i = 0; i < g_seq_at_clock.size(); i += 2)
    EXPECT_EQ(g_seq_at_clock[i], g_seq_at_clock[i + 1]) << "tick " << i / 2;

  const auto journal = rig.folder.Path() / "journal.jsonl";
  std::vector<nlohmann::json> lines = JournalLines(journal);
  EXPECT_EQ(EventNames(lines),
            (std::vector<std::string>{"start", "balance", "alarm_begin", "link_up", "balance", "alarm_end",
                                      "saved", "link_lost", "port_closed", "port_reopened"}));
  ASSERT_EQ(lines.size(), 10u);
  EXPECT_EQ(lines[0]["port"], "COM1");
  EXPECT_EQ(lines[0]["version"], "4.0");
  // The balance as a value; the window's label says it in words.
  EXPECT_EQ(lines[1]["value"], "first_flank_low");
  EXPECT_EQ(lines[2]["alarm_bits"], 2);
  EXPECT_EQ(lines[3]["firmware"], "2.0");
  EXPECT_EQ(lines[6]["trigger"], "level");
  EXPECT_EQ(lines[6]["samples"], 6);  // those that came: the window of 10 was never full
  const std::string saved = lines[6]["path"];
  EXPECT_TRUE(std::filesystem::exists(std::filesystem::u8path(saved))) << saved;
  EXPECT_EQ(std::filesystem::u8path(saved).parent_path(), rig.folder.Path() / "Chart4pF");
  EXPECT_EQ(lines[8]["port"], "COM1");
  for (std::size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i]["seq"], i + 1);

  // The status bar names the save for a while; the five panels keep their texts.
  QLabel* notice = w.SavedNotice().Label();
  EXPECT_FALSE(notice->isHidden());
  EXPECT_EQ(S(notice->text()), "Осциллограмма сохранена: " + FileNameOf(saved));
  EXPECT_EQ(S(rig.Panel(1)), "0");
  EXPECT_EQ(S(rig.Panel(3)), " Alt+X - выход");
  QTimer* shown = w.SavedNotice().Timer();
  EXPECT_TRUE(shown->isActive());
  EXPECT_TRUE(shown->isSingleShot());
  EXPECT_EQ(shown->interval(), SaveNotice::kShownMs);
  shown->start(0);
  QCoreApplication::processEvents();
  EXPECT_TRUE(notice->isHidden());

  // The exit writes the counters.
  rig.window.reset();
  lines = JournalLines(journal);
  ASSERT_EQ(lines.back()["event"], "stop");
  EXPECT_EQ(lines.back()["reason"], "window_closed");
  EXPECT_EQ(lines.back()["samples"], 8);
  EXPECT_GT(lines.back()["counters"]["frames_received"].get<int>(), 3);
  EXPECT_EQ(lines.back()["counters"].size(), 7u);
}

TEST(WindowJournal, ListShowsNewestFirstWithEarlierRunsAndOpensASave) {
  WindowRig rig(OpenResult::Opened);
  {
    // An earlier run in the same folder left its lines behind.
    rig.window->EventJournal()->Events().Write(Event::AlarmBegin, {{"alarm_bits", 4}});
    rig.window.reset();
    CurrentFolder here(QString::fromStdString(rig.folder.Path().string()));
    auto port = std::make_unique<FakePort>();
    rig.port = port.get();
    rig.window = std::make_unique<TFmain>(&rig.boxes, std::move(port));
  }
  TFmain& w = *rig.window;

  // Menu entry of the chart and F2 on the window: one action.
  QAction* action = w.Controls().ActionJournal;
  ASSERT_NE(action, nullptr);
  EXPECT_EQ(S(action->objectName()), "ActionJournal");
  EXPECT_EQ(S(action->text()), "Журнал событий…");
  EXPECT_EQ(action->shortcut(), QKeySequence(Qt::Key_F2));
  EXPECT_EQ(action->shortcutContext(), Qt::WindowShortcut);
  EXPECT_TRUE(w.actions().contains(action));
  ASSERT_NE(w.Controls().Chart4->ContextMenu(), nullptr);
  const QList<QAction*> menu = w.Controls().Chart4->ContextMenu()->actions();
  ASSERT_FALSE(menu.isEmpty());
  ASSERT_GE(menu.size(), 4);
  EXPECT_EQ(menu[menu.size() - 2], action);  // after the exports and the walk test, behind a separator
  EXPECT_EQ(menu[menu.size() - 3], w.Controls().ActionWalkTest);
  EXPECT_TRUE(menu[menu.size() - 4]->isSeparator());
  EXPECT_EQ(menu.back(), w.Controls().ActionReport);  // its report beside it

  EXPECT_EQ(w.JournalView(), nullptr);
  action->trigger();
  JournalWindow* view = w.JournalView();
  ASSERT_NE(view, nullptr);
  EXPECT_TRUE(view->isWindow());
  EXPECT_EQ(S(view->windowTitle()), "Журнал событий");
  // A screen reader says what opened: a dialog by its title, not a "filler".
  QAccessibleInterface* announced = QAccessible::queryAccessibleInterface(view);
  ASSERT_NE(announced, nullptr);
  EXPECT_EQ(announced->role(), QAccessible::Dialog);
  EXPECT_EQ(S(announced->text(QAccessible::Name)), "Журнал событий");
  QTableWidget* list = view->List();
  EXPECT_EQ(S(list->objectName()), "JournalList");
  EXPECT_EQ(view->findChild<QLabel*>("JournalListLabel")->buddy(), list);
  ASSERT_EQ(list->columnCount(), 3);
  EXPECT_EQ(S(list->horizontalHeaderItem(0)->text()), "Время");
  EXPECT_EQ(S(list->horizontalHeaderItem(1)->text()), "Событие");
  EXPECT_EQ(S(list->horizontalHeaderItem(2)->text()), "Подробности");

  // This run's start on top, then the earlier run newest first.
  const auto column = [&](int c) {
    std::vector<std::string> texts;
    for (int row = 0; row < list->rowCount(); ++row) texts.push_back(S(list->item(row, c)->text()));
    return texts;
  };
  EXPECT_EQ(column(1), (std::vector<std::string>{"Запуск программы", "Завершение работы", "Тревога",
                                                 "Запуск программы"}));
  EXPECT_EQ(column(2)[0], "порт COM1, версия 4.0");
  EXPECT_EQ(column(2)[2], "биты тревоги 0x04");
  EXPECT_EQ(column(2)[1].rfind("окно закрыто; принято кадров 0", 0), 0u) << column(2)[1];
  EXPECT_EQ(column(0)[0].size(), std::string("07.12.2026 23:59:01").size());

  // A save arrives while the list is open: on top at once.
  w.Controls().EditX->setText("10");
  ASSERT_TRUE(w.EditXExit());
  LinkEngineProbe::SetChartTag(SessionParts::Engine(w.Session()), 1);
  std::string frames;
  for (uint32_t n = 0; n < 8; ++n) frames += ChartFrame(10, n, 50.0f);
  rig.port->Deliver(frames);
  w.TimerRvTimer();
  ASSERT_EQ(list->rowCount(), 5);
  EXPECT_EQ(S(list->item(0, 1)->text()), "Осциллограмма сохранена");
  const std::string file = S(view->FileOfRow(0));
  ASSERT_FALSE(file.empty());
  EXPECT_EQ(S(list->item(0, 2)->text()), FileNameOf(file) + ", по уровню порога");
  EXPECT_TRUE(view->FileOfRow(1).isEmpty());

  // A double click on another row does nothing; on the save it shows the file
  // as "Открыть" would: the live chart stopped, the stored trace drawn.
  emit list->cellDoubleClicked(1, 1);
  EXPECT_EQ(w.Engine().ChartTag(), 1);
  rig.boxes.informed.clear();
  emit list->cellDoubleClicked(0, 2);
  EXPECT_TRUE(rig.boxes.informed.empty());
  EXPECT_EQ(w.Engine().ChartTag(), 0);
  EXPECT_EQ(w.Controls().Chart4->PointsOf(Series::Series1), 6);  // the samples the file holds
  EXPECT_TRUE(rig.boxes.open_dirs.empty());                      // no dialog asked
  EXPECT_EQ(S(view->findChild<QLabel*>("JournalSource")->text()),
            "Файл журнала: " + (rig.folder.Path() / "journal.jsonl").string());
}

TEST(WindowJournal, AJournalThatCannotBeWrittenStillListsTheRunAndOffMeansNone) {
  TempFolder folder;
  QDir(QString::fromStdString(folder.Path().string())).mkdir("Chart4pF");
  // A folder where the file should be: it cannot be opened.
  std::filesystem::create_directory(folder.Path() / "journal.jsonl");
  RecorderBoxes boxes;
  CurrentFolder here(QString::fromStdString(folder.Path().string()));
  {
    TFmain w(&boxes, std::make_unique<FakePort>());
    ASSERT_NE(w.EventJournal(), nullptr);
    EXPECT_FALSE(w.EventJournal()->Events().IsOpen());
    w.ShowJournal();
    QTableWidget* list = w.JournalView()->List();
    ASSERT_EQ(list->rowCount(), 1);
    EXPECT_EQ(S(list->item(0, 1)->text()), "Запуск программы");
    EXPECT_EQ(S(w.JournalView()->findChild<QLabel*>("JournalSource")->text())
                  .rfind("Журнал не записывается в " + (folder.Path() / "journal.jsonl").string() + ": ", 0),
              0u);
  }
  std::filesystem::remove(folder.Path() / "journal.jsonl");
  {
    TFmain w(&boxes, std::make_unique<FakePort>(), nullptr, false);
    EXPECT_EQ(w.EventJournal(), nullptr);
    w.ShowJournal();
    EXPECT_EQ(w.JournalView()->List()->rowCount(), 0);
    // A walk test is made of journal events: the dialog says so, and that is all.
    w.ShowWalkTest();
    EXPECT_EQ(S(w.WalkTestView()->findChild<QLabel*>("WalkTestState")->text()),
              "Для проверки обнаружения нужен журнал событий, а он выключен.");
    EXPECT_EQ(w.WalkTestView()->findChild<QPushButton*>("WalkTestBegin"), nullptr);
  }
  EXPECT_FALSE(std::filesystem::exists(folder.Path() / "journal.jsonl"));
}

TEST(WindowJournal, EachWayOfEndingIsStoppedOnceWithItsReason) {
  const struct {
    const char* reason;
    void (*end)(WindowRig&);
  } ways[] = {
      {"operator",
       [](WindowRig& rig) {
         rig.boxes.yes_no = {true};
         rig.window->ExitConfirmation();
       }},
      {"session_end",
       [](WindowRig& rig) {
         rig.window->EndSession();
         rig.window->EndSession();
       }},
      {"window_closed", [](WindowRig&) {}},
  };
  for (const auto& way : ways) {
    WindowRig rig(OpenResult::Opened);
    way.end(rig);
    rig.window.reset();
    const std::vector<nlohmann::json> lines = JournalLines(rig.folder.Path() / "journal.jsonl");
    ASSERT_EQ(EventNames(lines), (std::vector<std::string>{"start", "stop"})) << way.reason;
    EXPECT_EQ(lines.back()["reason"], way.reason);
  }
}

TEST(WindowJournal, MinuteSummariesOfTheChartGoToTheFileButNotToTheList) {
  WindowRig rig(OpenResult::Opened);
  TFmain& w = *rig.window;
  rig.Answer(0x014D, VersionReply(0x0002, 0));
  LinkEngineProbe::SetChartTag(SessionParts::Engine(w.Session()), 1);
  std::string frames;
  for (uint32_t n = 0; n < 8; ++n) frames += ChartFrame(10, n, n < 4 ? 50.0f : 5.0f);
  rig.port->Deliver(frames);
  w.TimerRvTimer();
  // The minute is up: the tick after it writes what the samples did.
  w.Session().Tick(std::chrono::steady_clock::now() + std::chrono::seconds(61));
  WindowRig::RunPosted();

  std::vector<nlohmann::json> summaries;
  for (const nlohmann::json& line : JournalLines(rig.folder.Path() / "journal.jsonl"))
    if (line["event"] == "summary") summaries.push_back(line);
  ASSERT_EQ(summaries.size(), 1u);
  EXPECT_EQ(summaries[0].value("samples", 0), 8);
  EXPECT_EQ(summaries[0]["ekClimate"].dump(), R"({"max":7.0,"mean":3.5,"min":0.0})");
  // useful 10 against thresholds 50 and 5: the last four reached it.
  EXPECT_EQ(summaries[0]["margin"].dump(), R"({"min":-5.0,"over_threshold":4})");
  EXPECT_EQ(summaries[0]["settings"].value("save_level", 0.0), 40.0);

  w.ShowJournal();
  QTableWidget* list = w.JournalView()->List();
  for (int row = 0; row < list->rowCount(); ++row) EXPECT_NE(S(list->item(row, 1)->text()), "summary");
  for (const auto& event : w.EventJournal()->RunEvents()) EXPECT_NE(event.value("event", ""), "summary");
}

TEST(WindowJournal, TheReportIsMadeFromTheChartsMenuAndFromTheJournalWindow) {
  WindowRig rig(OpenResult::Opened);
  TFmain& w = *rig.window;
  rig.Answer(0x014D, VersionReply(0x0002, 0));
  rig.Answer(0x0141, Reply(0x41, {0x06}));  // an alarm
  const std::string pdf = rig.folder.Folder() + "отчёт.pdf";
  rig.boxes.save_answer = SavePick{pdf, 0};
  WindowRig::RunPosted();
  const std::size_t boxes = rig.boxes.informed.size();  // the link's return
  w.Controls().ActionReport->trigger();
  ASSERT_EQ(rig.boxes.informed.size(), boxes) << rig.boxes.informed.back().text;
  ASSERT_EQ(rig.boxes.save_asked.size(), 1u);
  EXPECT_EQ(rig.boxes.save_asked[0].rfind("Отчёт|" + rig.folder.Path().string() + "|Отчёт ", 0), 0u);
  const std::vector<uint8_t> bytes = ReadBytes(pdf);
  ASSERT_GE(bytes.size(), 5u);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 5), "%PDF-");
#ifndef _WIN32  // read back with poppler's pdftotext, a tool of the Linux host
  const Outcome read = RunProgram({"pdftotext", pdf, "-"});
  const std::string text = read.out + read.err;
  EXPECT_NE(text.find("программой Тарвин-9 4.0"), std::string::npos) << text;  // its maker
#endif

  // The journal's window offers it too; a folder in the way is told, naming the path.
  std::filesystem::remove(std::filesystem::u8path(pdf));
  std::filesystem::create_directories(std::filesystem::u8path(pdf + "/x"));
  w.ShowJournal();
  auto* button = w.JournalView()->findChild<QPushButton*>("JournalReport");
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(S(button->text()), "Отчёт…");
  button->click();
  ASSERT_EQ(rig.boxes.informed.size(), boxes + 1);
  EXPECT_EQ(rig.boxes.informed.back().text.rfind("Файл не удается", 0), 0u);
  EXPECT_NE(rig.boxes.informed.back().text.find(pdf), std::string::npos);
}

TEST(WindowJournal, EveryEventInTheOperatorsWords) {
  const struct {
    const char* line;
    const char* event;
    const char* details;
    const char* file;
  } cases[] = {
      {R"({"time":"2026-12-07T23:59:01.123+03:00","seq":1,"event":"start","port":"COM1","version":"4.0"})",
       "Запуск программы", "порт COM1, версия 4.0", ""},
      {R"({"time":"t","seq":2,"event":"link_up","firmware":"2.0"})", "Связь восстановлена", "версия 2.0", ""},
      {R"({"time":"t","seq":2,"event":"link_up","firmware":null})", "Связь восстановлена", "", ""},
      {R"({"time":"t","seq":3,"event":"link_lost"})", "Нет связи с датчиком", "", ""},
      {R"({"time":"t","seq":4,"event":"port_closed","port":"COM3"})", "Порт закрыт",
       "COM3, три неудачные попытки записи", ""},
      {R"({"time":"t","seq":5,"event":"port_reopened","port":"COM3"})", "Порт открыт снова", "COM3", ""},
      {R"({"time":"t","seq":6,"event":"wrong_firmware","firmware":"1.2"})",
       "Неверная версия программы датчика", "версия 1.2", ""},
      {R"({"time":"t","seq":7,"event":"alarm_begin","alarm_bits":6})", "Тревога", "биты тревоги 0x06", ""},
      {R"({"time":"t","seq":8,"event":"alarm_end","alarm_bits":2})", "Конец тревоги", "биты тревоги 0x02",
       ""},
      {R"({"time":"t","seq":8,"event":"alarm_known","alarm_bits":6})", "Состояние тревоги прочитано",
       "тревога, биты тревоги 0x06", ""},
      {R"({"time":"t","seq":8,"event":"alarm_known","alarm_bits":0})", "Состояние тревоги прочитано",
       "тревоги нет", ""},
      {R"({"time":"t","seq":9,"event":"balance","text":"  Недопустимый разбаланс флангов СЗ !  "})",
       "Баланс флангов", "Недопустимый разбаланс флангов СЗ !", ""},
      {R"({"time":"t","seq":9,"event":"balance","value":"second_flank_low"})", "Баланс флангов",
       "Недопустимый разбаланс флангов СЗ ! Ёмкость второго фланга меньше ёмкости первого", ""},
      {R"({"time":"t","seq":10,"event":"saved","path":"/w/Chart4pF/2026.12.07  23 час. 59 мин. .bin","trigger":"alarm","samples":1000})",
       "Осциллограмма сохранена", "2026.12.07  23 час. 59 мин. .bin, по тревоге",
       "/w/Chart4pF/2026.12.07  23 час. 59 мин. .bin"},
      {R"({"time":"t","seq":11,"event":"saved","path":"C:\\w\\Chart4pF\\a (2).bin","trigger":"level","samples":10})",
       "Осциллограмма сохранена", "a (2).bin, по уровню порога", "C:\\w\\Chart4pF\\a (2).bin"},
      {R"({"time":"t","seq":12,"event":"save_failed","path":"/ro/a.bin","trigger":"level","reason":"Read-only file system"})",
       "Осциллограмма не сохранена", "a.bin, по уровню порога: Read-only file system", ""},
      {R"({"time":"t","seq":13,"event":"stop","reason":"operator","counters":{"bytes_received":9,"frames_received":3,"bytes_sent":4,"frames_sent":2,"checksum_errors":1,"overflows":0,"timeouts":5}})",
       "Завершение работы",
       "выход по команде оператора; принято кадров 3, передано кадров 2, ошибок КС 1, тайм-аутов 5", ""},
      {R"({"time":"t","seq":14,"event":"stop","reason":"wrong_firmware"})", "Завершение работы",
       "неверная версия программы датчика", ""},
      {R"({"time":"t","seq":14,"event":"stop","reason":"session_end"})", "Завершение работы",
       "конец сеанса (сигнал завершения)", ""},
      {R"({"time":"t","seq":15,"event":"mqtt_down","broker":"b"})", "mqtt_down", R"({"broker":"b"})", ""},
      {R"({"time":"t","seq":16,"event":"ack","alarm":7,"alarm_time":"2026-12-09T01:02:03.456+03:00","operator":"ivanov","comment":"ложная: <b>ветер</b>","pressed":null,"seconds_to_ack":181.2,"id":"press-0001"})",
       "Тревога подтверждена",
       "оператор ivanov, тревога 09.12.2026 01:02:03 (№ 7), через 181,2 с: «ложная: <b>ветер</b>»", ""},
      {R"({"time":"t","seq":17,"event":"ack_refused","operator":"petrov","alarm":7,"alarm_time":"2026-12-09T01:02:03.456+03:00","id":"press-0002","reason":"already_acknowledged","by":"ivanov"})",
       "Подтверждение отклонено", "оператор petrov, тревога 09.12.2026 01:02:03 (№ 7): уже принято: ivanov",
       ""},
      {R"({"time":"t","seq":18,"event":"ack_refused","operator":"petrov","alarm":null,"alarm_time":null,"id":null,"reason":"malformed"})",
       "Подтверждение отклонено", "оператор petrov: сообщение не по форме", ""},
  };
  for (const auto& c : cases) {
    const JournalRow row = DescribeEvent(nlohmann::ordered_json::parse(c.line));
    EXPECT_EQ(row.event, c.event) << c.line;
    EXPECT_EQ(row.details, c.details) << c.line;
    EXPECT_EQ(row.file, c.file) << c.line;
  }
  EXPECT_EQ(ShownJournalTime("2026-12-07T23:59:01.123+03:00"), "07.12.2026 23:59:01");
  EXPECT_EQ(ShownJournalTime("2026-12-07T23:59:01-05:00"), "07.12.2026 23:59:01");
  EXPECT_EQ(ShownJournalTime("yesterday"), "yesterday");
  EXPECT_EQ(ShownJournalTime("2026-12-07 23:59:01"), "2026-12-07 23:59:01");
}

}  // namespace
}  // namespace tarvin::testing
