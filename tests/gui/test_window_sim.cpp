// The window against the sensor simulator on a pseudo-terminal linked as COM1
// in the working folder. The window's tick slots are called directly; the
// loops are bounded by a number of ticks, not by time.
#include <gtest/gtest.h>

#ifdef TARVIN_SIM_PATH

#include <QPushButton>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "scope/oscillogram_file.h"
#include "tests/gui/window_rig.h"
#include "tests/support/sim_process.h"

namespace tarvin::testing {
namespace {

// One second of the program's life: 25 ticks of TimerRv, one of Timer1, two of Timer2.
void RunOneSecond(TFmain& w) {
  w.Timer1Timer();
  for (int i = 0; i < 25; ++i) {
    w.TimerRvTimer();
    if (i % 12 == 0) w.Timer2Timer();
    QCoreApplication::sendPostedEvents();
    QThread::msleep(40);  // the line's pace: the sensor answers in real time
  }
}

TEST(WindowWithSimulator, StartUpReachesTheStatusPoll) {
  TempFolder folder;
  SimProcess sim;
  ASSERT_TRUE(sim.Start(folder.Folder(), {}));
  RecorderBoxes boxes;
  std::unique_ptr<TFmain> w;
  {
    CurrentFolder here(QString::fromStdString(folder.Path().string()));
    w = std::make_unique<TFmain>(&boxes);  // the real port: COM1 in the working folder
  }
  EXPECT_TRUE(boxes.informed.empty());
  EXPECT_EQ(S(w->Controls().Panel[2]->text()), "COM1 включён");
  for (int second = 0; second < 8 && w->Engine().PollStage() != PollStage::Status; ++second) RunOneSecond(*w);
  for (int second = 0; second < 3 && w->Controls().Panel[0]->text() == "0"; ++second) RunOneSecond(*w);

  ASSERT_FALSE(boxes.informed.empty());
  EXPECT_EQ(boxes.informed[0].text, "Связь восстановлена!");
  EXPECT_EQ(w->Sink().ShownPicture(), LinkSign::Answering);
  EXPECT_EQ(S(w->Controls().ENSoft1->text()), "2");
  EXPECT_EQ(S(w->Controls().ENSoft2->text()), "0");
  EXPECT_EQ(w->Engine().PollStage(), PollStage::Status);
  EXPECT_EQ(S(w->Controls().Panel[0]->text()), "65");
  EXPECT_EQ(S(w->Controls().Panel[4]->text()), "Связь восстановлена");
  EXPECT_NE(S(w->Controls().N_rv_frame->text()), "0");
}

TEST(WindowWithSimulator, WrongFirmwareEndsTheProgram) {
  TempFolder folder;
  SimProcess sim;
  ASSERT_TRUE(sim.Start(folder.Folder(), {"--firmware", "0x0102"}));
  RecorderBoxes boxes;
  std::unique_ptr<TFmain> w;
  {
    CurrentFolder here(QString::fromStdString(folder.Path().string()));
    w = std::make_unique<TFmain>(&boxes);
  }
  w->show();
  for (int second = 0; second < 8 && w->isVisible(); ++second) RunOneSecond(*w);
  EXPECT_FALSE(w->isVisible());
  ASSERT_FALSE(boxes.informed.empty());
  EXPECT_EQ(boxes.informed.back().caption, "ОШИБКА !");
  EXPECT_FALSE(w->Engine().PortHeld());
  EXPECT_FALSE(TimerRvRuns(*w));
}

// The operator's whole path: start the chart, enable saving on alarm, an
// intrusion happens, and half a window later the automatic oscillogram lies
// in Chart4pF with the event in its middle and no sample missing.
TEST(WindowWithSimulator, IntrusionIsSavedWithTheEventInTheMiddle) {
  TempFolder folder;
  const std::filesystem::path scope_folder = folder.Path() / "Chart4pF";
  std::filesystem::create_directory(scope_folder);
  SimProcess sim;
  ASSERT_TRUE(sim.Start(folder.Folder(), {}));
  RecorderBoxes boxes;
  std::unique_ptr<TFmain> w;
  {
    CurrentFolder here(QString::fromStdString(folder.Path().string()));
    w = std::make_unique<TFmain>(&boxes);
  }
  for (int second = 0; second < 8 && w->Engine().PollStage() != PollStage::Status; ++second) RunOneSecond(*w);
  ASSERT_EQ(w->Engine().PollStage(), PollStage::Status);

  // A window of 400 samples keeps the test short: the save comes 201 samples
  // after the alarm, and a whole window of the stream precedes the intrusion.
  w->Controls().EditX->setText("400");
  ASSERT_TRUE(w->EditXExit());
  w->findChild<QPushButton*>("BitBtnEnableSaveChartAlarm")->click();
  w->findChild<QPushButton*>("BitBtnEnable4pF")->click();
  EXPECT_EQ(S(w->findChild<QPushButton*>("BitBtnEnable4pF")->text()), "СТОП");
  for (int second = 0; second < 7; ++second) RunOneSecond(*w);
  ASSERT_GT(w->Scope().PointCount(), 400) << "the chart stream did not start";
  // The grid shows the newest sample once the tick is over.
  EXPECT_EQ(w->Controls().StringGrid4pF->item(2, 1)->text().toUInt(), w->Scope().ScopeHistory().input[399]);

  ASSERT_TRUE(sim.Send("intrusion 3"));
  auto saved = [&] {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(scope_folder)) files.push_back(entry.path());
    return files;
  };
  for (int second = 0; second < 15 && saved().empty(); ++second) RunOneSecond(*w);
  const std::vector<std::filesystem::path> files = saved();
  ASSERT_FALSE(files.empty()) << "no automatic save after the intrusion";
  const std::string name = files.front().filename().string();
  EXPECT_EQ(name.substr(name.size() - 5), " .bin") << name;
  EXPECT_NE(name.find(" мин. "), std::string::npos) << name;

  Oscillogram file;
  ASSERT_EQ(ReadOscillogram(files.front().string(), &file), FileStatus::Ok);
  ASSERT_EQ(file.count, 400);
  // The intrusion begins in the middle of the window: the save comes 201
  // samples after the status reply that reported the alarm, and that reply
  // follows the alarm's start within a second (78 samples).
  int onset = 0;
  while (onset < file.count && file.useful[onset] <= 30u) ++onset;
  EXPECT_GE(onset, 199 - 80);
  EXPECT_LE(onset, 199 + 15);
  ASSERT_LT(onset + 30, file.count);
  EXPECT_GT(file.useful[onset + 30], 30u);
  // The simulator numbers its samples in ekClimate: the window is whole.
  for (int i = 1; i < file.count; ++i)
    ASSERT_EQ(file.ekClimate[i], file.ekClimate[i - 1] + 1) << "entry " << i;
  for (const Box& box : boxes.informed) EXPECT_NE(box.text.rfind("Файл", 0), 0u) << box.text;

  // The journal tells the same story: the link, the alarm, then its save.
  std::ifstream journal(folder.Path() / "journal.jsonl");
  std::vector<std::string> events;
  std::string saved_path, trigger;
  for (std::string line; std::getline(journal, line);) {
    const nlohmann::json event = nlohmann::json::parse(line);
    events.push_back(event["event"]);
    if (events.back() == "saved") {
      saved_path = event["path"];
      trigger = event["trigger"];
    }
  }
  const auto at = [&](const char* name) {
    return std::find(events.begin(), events.end(), name) - events.begin();
  };
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.front(), "start");
  EXPECT_LT(at("link_up"), at("alarm_begin"));
  EXPECT_LT(at("alarm_begin"), at("saved"));
  EXPECT_LT(at("saved"), static_cast<std::ptrdiff_t>(events.size()));
  EXPECT_EQ(std::filesystem::u8path(saved_path), files.front());
  EXPECT_EQ(trigger, "alarm");
}

}  // namespace
}  // namespace tarvin::testing

#endif  // TARVIN_SIM_PATH
