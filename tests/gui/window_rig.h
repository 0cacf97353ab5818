// A window over a scripted port and recorded boxes, built in a fresh working
// folder, with helpers to find its named controls and run its posted events.
#pragma once

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/boxes.h"
#include "app/fmain.h"
#include "link/port_fake.h"
#include "tests/support/session_parts.h"
#include "tests/support/temp_folder.h"

namespace tarvin::testing {

// Records every box and answers the questions from a script (default: No, Cancel).
class RecorderBoxes : public Boxes {
 public:
  void Inform(const Box& box) override { informed.push_back(box); }
  bool AskYesNo(const std::string& caption, const std::string& text) override {
    questions.push_back(caption + "|" + text);
    if (yes_no.empty()) return false;
    const bool answer = yes_no.front();
    yes_no.pop_front();
    return answer;
  }
  std::optional<std::string> AskText(const std::string& caption, const std::string& prompt,
                                     const std::string& initial) override {
    text_asked.push_back(caption + "|" + prompt + "|" + initial);
    return text_answer;
  }
  std::optional<int> AskNumber(const std::string& caption, const std::string& prompt, int initial, int min,
                               int max) override {
    number_asked.push_back(caption + "|" + prompt + "|" + std::to_string(initial) + "|" +
                           std::to_string(min) + ".." + std::to_string(max));
    return number_answer;
  }
  std::optional<std::string> AskOpenFile(const std::string& dir) override {
    open_dirs.push_back(dir);
    return open_answer;
  }

  std::optional<SavePick> AskSaveFile(const std::string& caption, const std::string& dir,
                                      const std::string& name,
                                      const std::vector<std::string>& filters) override {
    save_asked.push_back(caption + "|" + dir + "|" + name);
    save_filters = filters;
    return save_answer;
  }

  std::vector<Box> informed;
  std::vector<std::string> questions, text_asked, number_asked, open_dirs;
  std::deque<bool> yes_no;
  std::optional<std::string> text_answer;
  std::optional<int> number_answer;
  std::optional<std::string> open_answer;
  std::vector<std::string> save_asked, save_filters;
  std::optional<SavePick> save_answer;
};

// Runs with the current folder set to `dir`, restored afterwards.
class CurrentFolder {
 public:
  explicit CurrentFolder(const QString& dir) : saved_(QDir::currentPath()) { QDir::setCurrent(dir); }
  ~CurrentFolder() { QDir::setCurrent(saved_); }

 private:
  QString saved_;
};

struct WindowRig {
  explicit WindowRig(OpenResult open = OpenResult::NotOpened, bool make_scope_folder = true) {
    if (make_scope_folder) QDir(QString::fromStdString(folder.Path().string())).mkdir("Chart4pF");
    auto fake = std::make_unique<FakePort>();
    fake->open_result = open;
    port = fake.get();
    CurrentFolder here(QString::fromStdString(folder.Path().string()));
    window = std::make_unique<TFmain>(&boxes, std::move(fake));
  }

  template <typename T>
  T* Find(const char* name) const {
    return window->findChild<T*>(QString::fromUtf8(name));
  }
  QString Panel(int i) const { return window->Controls().Panel[i]->text(); }
  // The sensor answers the command the next tick writes.
  void Answer(uint16_t command, const std::string& reply) {
    SessionParts::Engine(window->Session()).QueueCommand(command);
    window->TimerRvTimer();
    port->Deliver(reply);
    window->TimerRvTimer();
    RunPosted();
  }
  // Handles what the window posted to itself (notices, deferred boxes).
  static void RunPosted() {
    for (int i = 0; i < 3; ++i) QCoreApplication::sendPostedEvents();
  }

  TempFolder folder;
  RecorderBoxes boxes;
  FakePort* port = nullptr;
  std::unique_ptr<TFmain> window;
};

inline std::string S(const QString& q) { return q.toStdString(); }

// TimerRv's cadence: the link tick runs.
inline bool TimerRvRuns(TFmain& w) { return w.Session().Schedule().Running(SessionSchedule::Cadence::Tick); }

}  // namespace tarvin::testing
