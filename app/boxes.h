// Every message box and dialog of the window goes through this interface: the
// program shows modal Qt boxes, tests record and answer from a script.
#pragma once

#include <optional>
#include <string>

#include "engine/engine_sink.h"

class QWidget;

namespace tarvin {

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
  // An existing oscillogram file in `dir`; nullopt when cancelled.
  virtual std::optional<std::string> AskOpenFile(const std::string& dir) = 0;
};

// Modal Qt boxes over `parent`. Their nested event loop keeps the timers running.
class QtBoxes : public Boxes {
 public:
  explicit QtBoxes(QWidget* parent = nullptr) : parent_(parent) {}
  void SetParent(QWidget* parent) { parent_ = parent; }

  void Inform(const Box& box) override;
  bool AskYesNo(const std::string& caption, const std::string& text) override;
  std::optional<std::string> AskText(const std::string& caption, const std::string& prompt,
                                     const std::string& initial) override;
  std::optional<std::string> AskOpenFile(const std::string& dir) override;

 private:
  QWidget* parent_;
};

}  // namespace tarvin
