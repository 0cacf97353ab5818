// Values typed into a field take effect when the field is left, not on each
// keystroke. This filter runs a field's exit handler when it loses the focus
// to another control of the window, and puts the focus back when the handler
// refuses the entry. Focus lost to another window (a box, a dialog, another
// program) is not leaving the field.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <map>

namespace tarvin {

class FieldExitFilter : public QObject {
  Q_OBJECT
 public:
  explicit FieldExitFilter(QObject* parent = nullptr) : QObject(parent) {}

  // `handler` returns false when the entry was refused.
  void Watch(QWidget* field, std::function<bool()> handler);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void PutFocusBack(QWidget* field);

  std::map<QObject*, std::function<bool()>> handlers_;
  // While the focus is being put back, the field that had just received it is
  // not being left by the operator.
  bool restoring_ = false;
  bool running_ = false;
};

}  // namespace tarvin
