// Start-up, the port change, the exit and the link notices, seen on the window.
#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QTimer>

#include "app/qt_sink.h"
#include "control/supervision.h"
#include "tests/gui/window_rig.h"

namespace tarvin::testing {
namespace {

void PressAltX(QWidget* target, Qt::KeyboardModifiers extra = Qt::NoModifier, const QString& text = "x") {
  QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::AltModifier | extra, text);
  QApplication::sendEvent(target, &press);
}

TEST(WindowStartup, NoDeviceBehindCom1) {
  WindowRig rig(OpenResult::NotOpened);
  ASSERT_EQ(rig.boxes.informed.size(), 1u);
  EXPECT_EQ(rig.boxes.informed[0].text, "Не открылся СОМ-порт!");
  EXPECT_EQ(rig.boxes.informed[0].caption, "Внимание");
  EXPECT_EQ(rig.boxes.informed[0].icon, BoxIcon::Warning);
  EXPECT_EQ(S(rig.Panel(2)), "COM1 выключен");
  EXPECT_EQ(rig.window->Sink().ShownPicture(), LinkSign::Silent);
  EXPECT_FALSE(TimerRvRuns(*rig.window));
  EXPECT_EQ(rig.port->last_number, 1);
  // The steps after the failed open still ran.
  EXPECT_EQ(S(rig.Find<QTableWidget>("StringGrid4pF")->item(0, 0)->text()), "Порог");
  EXPECT_EQ(rig.window->Scope().WindowLength(), 1000);
  // The folders follow the current folder at start.
  EXPECT_EQ(S(rig.window->WorkDir()), rig.folder.Path().string());
  const std::string sep(1, static_cast<char>(std::filesystem::path::preferred_separator));
  EXPECT_EQ(rig.window->Scope().ScopeFolder(), rig.folder.Path().string() + sep + "Chart4pF" + sep);
}

TEST(WindowStartup, PortOpenedRunsTheLinkTimer) {
  WindowRig rig(OpenResult::Opened);
  EXPECT_TRUE(rig.boxes.informed.empty());
  EXPECT_EQ(S(rig.Panel(2)), "COM1 включён");
  EXPECT_EQ(S(rig.Panel(4)), "");
  EXPECT_EQ(rig.window->Sink().ShownPicture(), LinkSign::Unknown);
  EXPECT_TRUE(TimerRvRuns(*rig.window));
  EXPECT_EQ(rig.window->findChild<QTimer*>("ScheduleTimer")->timerType(), Qt::PreciseTimer);
  // The first request goes out with the tick after Timer1 queued it.
  rig.window->Timer1Timer();
  rig.window->TimerRvTimer();
  EXPECT_EQ(rig.port->written, ":014DB2\r\n");
  EXPECT_EQ(S(rig.Find<QLabel>("N_tr_frame")->text()), "1");
  EXPECT_EQ(S(rig.Find<QLabel>("N_tr_byte")->text()), "9");
}

TEST(WindowStartup, PortChangeToMissingPortAndBack) {
  WindowRig rig(OpenResult::Opened);
  rig.port->open_result = OpenResult::NotOpened;
  rig.window->ComboBox1Click(4);
  EXPECT_EQ(rig.port->closes, 1);      // the old port, no purge
  EXPECT_EQ(rig.port->purges_all, 1);  // only the one of the first opening
  EXPECT_EQ(rig.port->last_number, 5);
  EXPECT_EQ(S(rig.Panel(2)), "COM5 выключен");
  EXPECT_EQ(rig.window->Sink().ShownPicture(), LinkSign::Silent);
  EXPECT_FALSE(TimerRvRuns(*rig.window));
  ASSERT_EQ(rig.boxes.informed.size(), 1u);
  EXPECT_EQ(rig.boxes.informed[0].text, "Не открылся СОМ-порт!");
  EXPECT_EQ(S(rig.Find<QPushButton>("BitBtnEnable4pF")->text()), "ПУСК");

  rig.port->open_result = OpenResult::Opened;
  rig.window->ComboBox1Click(0);
  EXPECT_EQ(S(rig.Panel(2)), "COM1 включён");
  EXPECT_EQ(rig.port->last_number, 1);
  EXPECT_TRUE(TimerRvRuns(*rig.window));
  EXPECT_EQ(rig.window->Engine().LinkState(), LinkState::Opened);
  EXPECT_EQ(rig.boxes.informed.size(), 1u);
}

TEST(WindowExit, AltXAnsweredNoThenYes) {
  WindowRig rig(OpenResult::Opened);
  rig.window->show();
  QWidget* focus = rig.Find<QWidget>("NetworkAdr");

  rig.boxes.yes_no = {false};
  PressAltX(focus, Qt::ShiftModifier, "X");
  ASSERT_EQ(rig.boxes.questions.size(), 1u);
  EXPECT_EQ(rig.boxes.questions[0], "Выход|Завершить работу ?");
  EXPECT_TRUE(rig.window->isVisible());
  EXPECT_TRUE(rig.port->IsOpen());
  EXPECT_TRUE(TimerRvRuns(*rig.window));

  // X without Alt is typing, not an exit.
  QKeyEvent plain(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, "x");
  QApplication::sendEvent(focus, &plain);
  EXPECT_EQ(rig.boxes.questions.size(), 1u);

  // The same key with the Russian layout active types "Ч": still the exit.
  QKeyEvent che(QEvent::KeyPress, 0x0427, Qt::AltModifier, QString(QChar(0x0447)));
  QApplication::sendEvent(focus, &che);
  EXPECT_EQ(rig.boxes.questions.size(), 2u);
  EXPECT_TRUE(rig.window->isVisible());

  rig.boxes.yes_no = {true};
  PressAltX(focus, Qt::ControlModifier);
  EXPECT_EQ(rig.boxes.questions.size(), 3u);
  EXPECT_FALSE(rig.window->isVisible());
  EXPECT_FALSE(rig.port->IsOpen());
  EXPECT_EQ(rig.port->purges_all, 2);  // the opening's and the exit's
  EXPECT_FALSE(TimerRvRuns(*rig.window));
}

TEST(WindowExit, SessionEndLetsThePortGoWithoutAskingOnce) {
  WindowRig rig(OpenResult::Opened);
  rig.window->show();
  rig.window->EndSession();
  EXPECT_TRUE(rig.boxes.questions.empty());
  EXPECT_FALSE(rig.window->isVisible());
  EXPECT_FALSE(rig.port->IsOpen());
  EXPECT_EQ(rig.port->purges_all, 2);  // the opening's and the exit's
  EXPECT_FALSE(TimerRvRuns(*rig.window));
  rig.window->EndSession();  // a second signal
  EXPECT_EQ(rig.port->closes, 1);
}

TEST(WindowExit, CloseButtonAsksAndExitWithoutPortTouchesNothing) {
  WindowRig rig(OpenResult::NotOpened);
  rig.window->show();
  rig.boxes.yes_no = {false, true};
  rig.window->close();
  EXPECT_TRUE(rig.window->isVisible());
  rig.window->close();
  EXPECT_FALSE(rig.window->isVisible());
  EXPECT_EQ(rig.boxes.questions.size(), 2u);
  EXPECT_EQ(rig.port->purges_all, 0);
  EXPECT_EQ(rig.port->closes, 0);
}

TEST(WindowNotices, LostAndRestoredShowPictureThenBox) {
  WindowRig rig(OpenResult::Opened);
  rig.window->Sink().Post(Notice::LinkRestored);
  rig.window->Sink().Post(Notice::LinkLost);
  EXPECT_TRUE(rig.boxes.informed.empty());  // handled after the tick, not at once
  WindowRig::RunPosted();
  ASSERT_EQ(rig.boxes.informed.size(), 2u);
  EXPECT_EQ(rig.boxes.informed[0].text, "Связь восстановлена!");
  EXPECT_EQ(rig.boxes.informed[0].caption, "");
  EXPECT_EQ(rig.boxes.informed[0].icon, BoxIcon::None);
  EXPECT_EQ(rig.boxes.informed[1].text, "Нет связи с датчиком!");
  EXPECT_EQ(rig.boxes.informed[1].caption, "Ошибка");
  EXPECT_EQ(rig.boxes.informed[1].icon, BoxIcon::Error);
  EXPECT_EQ(rig.window->Sink().ShownPicture(), LinkSign::Silent);
}

TEST(WindowNotices, BoxAskedInsideATickWaitsForTheTickToEnd) {
  WindowRig rig(OpenResult::Opened);
  bool in_tick = true;
  QtEngineSink sink(rig.window->Controls(), rig.boxes, rig.window.get(), in_tick, rig.window->WorkDir());
  const Message first{MessageCode::RepeatCommand, {}, {}};
  const Message second{MessageCode::SaveCannotOpen, {}, {}};
  sink.ShowBox(first);
  sink.Post(Notice::LinkRestored);
  sink.ShowBox(second);
  EXPECT_TRUE(rig.boxes.informed.empty());
  in_tick = false;
  WindowRig::RunPosted();
  // After the tick, in the order raised.
  ASSERT_EQ(rig.boxes.informed.size(), 3u);
  EXPECT_EQ(rig.boxes.informed[0].text, "Повторите команду");
  EXPECT_EQ(rig.boxes.informed[1].text, "Связь восстановлена!");
  EXPECT_EQ(rig.boxes.informed[2].text, "Файл не удается открыть");
  // Outside a tick a box is shown at once.
  sink.ShowBox(first);
  EXPECT_EQ(rig.boxes.informed.size(), 4u);
}

TEST(WindowNotices, WrongFirmwareEndsTheProgram) {
  WindowRig rig(OpenResult::Opened);
  rig.window->show();
  rig.window->Sink().Post(Notice::WrongVersion);
  WindowRig::RunPosted();
  ASSERT_EQ(rig.boxes.informed.size(), 1u);
  EXPECT_EQ(rig.boxes.informed[0].caption, "ОШИБКА !");
  EXPECT_EQ(rig.boxes.informed[0].icon, BoxIcon::Error);
  EXPECT_EQ(rig.boxes.informed[0].text,
            "ВНИМАНИЕ!\n\nРазрешена работа только с версией 2.0 программного обеспечения датчика.\n\n"
            "Выполните перепрограммирование датчика");
  EXPECT_EQ(rig.window->Sink().ShownPicture(), LinkSign::Silent);
  EXPECT_TRUE(rig.boxes.questions.empty());  // no exit question
  EXPECT_FALSE(rig.window->isVisible());
  EXPECT_FALSE(rig.port->IsOpen());
  EXPECT_EQ(rig.port->purges_all, 1);  // closed without a purge
  EXPECT_FALSE(TimerRvRuns(*rig.window));
}

}  // namespace
}  // namespace tarvin::testing
