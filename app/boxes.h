// Every message box and dialog of the window goes through this interface: the
// program shows modal Qt boxes, tests record and answer from a script.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "words/box_words.h"

class QFileDialog;
class QInputDialog;
class QMessageBox;
class QWidget;

namespace tarvin {

// A file chosen to be written, and which of the offered kinds was chosen.
struct SavePick {
  std::string path;
  int filter = 0;  // index into the filters offered
};

class Boxes {
 public:
  virtual ~Boxes() = default;
  // A box with one OK button.
  virtual void Inform(const Box& box) = 0;
  // A question with Yes and No, Yes the default. True only for Yes.
  virtual bool AskYesNo(const std::string& caption, const std::string& text) = 0;
  // A line of text; nullopt when cancelled.
  virtual std::optional<std::string> AskText(const std::string& caption, const std::string& prompt,
                                             const std::string& initial) = 0;
  // A whole number from `min` to `max`, `initial` offered; nullopt when cancelled.
  virtual std::optional<int> AskNumber(const std::string& caption, const std::string& prompt, int initial,
                                       int min, int max) = 0;
  // An existing oscillogram file in `dir`; nullopt when cancelled.
  virtual std::optional<std::string> AskOpenFile(const std::string& dir) = 0;
  // A file to write, offered in `dir` as `name`, of one of the kinds in
  // `filters` ("CSV (*.csv)"); the first is chosen at first. A name typed
  // without a suffix gets the chosen kind's. nullopt when cancelled.
  virtual std::optional<SavePick> AskSaveFile(const std::string& caption, const std::string& dir,
                                              const std::string& name,
                                              const std::vector<std::string>& filters) = 0;
};

// The dialogs QtBoxes shows, built but not yet shown, so that tests can read
// what the operator will see.
std::unique_ptr<QMessageBox> MakeInformBox(const Box& box, QWidget* parent);
std::unique_ptr<QMessageBox> MakeQuestionBox(const std::string& caption, const std::string& text,
                                             QWidget* parent);
std::unique_ptr<QInputDialog> MakeTextDialog(const std::string& caption, const std::string& prompt,
                                             const std::string& initial, QWidget* parent);
std::unique_ptr<QInputDialog> MakeNumberDialog(const std::string& caption, const std::string& prompt,
                                               int initial, int min, int max, QWidget* parent);
// Qt's own file dialog (never the desktop's, whose texts and columns the
// program cannot set), wide enough for the columns to show whole.
std::unique_ptr<QFileDialog> MakeOpenDialog(const std::string& dir, QWidget* parent);
// The same dialog for a file to write (AskSaveFile).
std::unique_ptr<QFileDialog> MakeSaveDialog(const std::string& caption, const std::string& dir,
                                            const std::string& name, const std::vector<std::string>& filters,
                                            QWidget* parent);

// Modal Qt boxes over `parent`. Their nested event loop keeps the timers running.
class QtBoxes : public Boxes {
 public:
  explicit QtBoxes(QWidget* parent = nullptr) : parent_(parent) {}
  void SetParent(QWidget* parent) { parent_ = parent; }

  void Inform(const Box& box) override;
  bool AskYesNo(const std::string& caption, const std::string& text) override;
  std::optional<std::string> AskText(const std::string& caption, const std::string& prompt,
                                     const std::string& initial) override;
  std::optional<int> AskNumber(const std::string& caption, const std::string& prompt, int initial, int min,
                               int max) override;
  std::optional<std::string> AskOpenFile(const std::string& dir) override;
  std::optional<SavePick> AskSaveFile(const std::string& caption, const std::string& dir,
                                      const std::string& name,
                                      const std::vector<std::string>& filters) override;

 private:
  QWidget* parent_;
};

}  // namespace tarvin
