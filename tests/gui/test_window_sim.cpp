// The window against the sensor simulator on a pseudo-terminal linked as COM1
// in the working folder. The window's tick slots are called directly; the
// loops are bounded by a number of ticks, not by time.
#include <gtest/gtest.h>

#ifdef TARVIN_SIM_PATH

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QThread>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "tests/gui/window_rig.h"

namespace tarvin::testing {
namespace {

// The simulator, started in `dir`; waits for its "ready" line.
class Simulator {
 public:
  Simulator(const std::string& dir, std::initializer_list<const char*> extra) {
    int out[2];
    if (pipe(out) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], STDOUT_FILENO);
      close(out[0]);
      close(out[1]);
      if (chdir(dir.c_str()) != 0) _exit(127);
      std::vector<const char*> argv{TARVIN_SIM_PATH, "--quiet"};
      argv.insert(argv.end(), extra.begin(), extra.end());
      argv.push_back(nullptr);
      execv(TARVIN_SIM_PATH, const_cast<char* const*>(argv.data()));
      _exit(127);
    }
    close(out[1]);
    out_ = fdopen(out[0], "r");
    char line[256];
    while (out_ && std::fgets(line, sizeof line, out_)) {
      if (std::strncmp(line, "ready", 5) == 0) {
        ready_ = true;
        break;
      }
    }
  }
  ~Simulator() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
    if (out_) std::fclose(out_);
  }
  bool Ready() const { return ready_; }

 private:
  pid_t pid_ = -1;
  std::FILE* out_ = nullptr;
  bool ready_ = false;
};

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
  Simulator sim(folder.Path().string(), {});
  ASSERT_TRUE(sim.Ready());
  RecorderBoxes boxes;
  std::unique_ptr<TFmain> w;
  {
    CurrentFolder here(QString::fromStdString(folder.Path().string()));
    w = std::make_unique<TFmain>(&boxes);  // the real port: COM1 in the working folder
  }
  EXPECT_TRUE(boxes.informed.empty());
  EXPECT_EQ(S(w->Controls().Panel[2]->text()), "COM1 включён");
  for (int second = 0; second < 8 && w->Engine().PollStage != 2; ++second) RunOneSecond(*w);
  for (int second = 0; second < 3 && w->Controls().Panel[0]->text() == "0"; ++second) RunOneSecond(*w);

  ASSERT_FALSE(boxes.informed.empty());
  EXPECT_EQ(boxes.informed[0].text, "Связь восстановлена!");
  EXPECT_EQ(w->Sink().ShownPicture(), Picture::Ok);
  EXPECT_EQ(S(w->Controls().ENSoft1->text()), "2");
  EXPECT_EQ(S(w->Controls().ENSoft2->text()), "0");
  EXPECT_EQ(w->Engine().PollStage, 2);
  EXPECT_EQ(S(w->Controls().Panel[0]->text()), "65");
  EXPECT_EQ(S(w->Controls().Panel[4]->text()), "Связь восстановлена");
  EXPECT_NE(S(w->Controls().N_rv_frame->text()), "0");
}

TEST(WindowWithSimulator, WrongFirmwareEndsTheProgram) {
  TempFolder folder;
  Simulator sim(folder.Path().string(), {"--firmware", "0x0102"});
  ASSERT_TRUE(sim.Ready());
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
  EXPECT_FALSE(w->Controls().TimerRv->isActive());
}

}  // namespace
}  // namespace tarvin::testing

#endif  // TARVIN_SIM_PATH
