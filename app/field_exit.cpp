#include "app/field_exit.h"

#include <QFocusEvent>

namespace tarvin {

void FieldExitFilter::Watch(QWidget* field, std::function<bool()> handler) {
  handlers_[field] = std::move(handler);
  field->installEventFilter(this);
}

bool FieldExitFilter::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::FocusOut || restoring_ || running_) return false;
  const auto reason = static_cast<QFocusEvent*>(event)->reason();
  if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) return false;
  auto it = handlers_.find(watched);
  if (it == handlers_.end()) return false;
  running_ = true;  // a box shown by the handler takes the focus too
  const bool accepted = it->second();
  running_ = false;
  if (!accepted) PutFocusBack(static_cast<QWidget*>(watched));
  return false;
}

void FieldExitFilter::PutFocusBack(QWidget* field) {
  QPointer<QWidget> target(field);
  QMetaObject::invokeMethod(
      this,
      [this, target] {
        if (!target) return;
        restoring_ = true;
        target->setFocus(Qt::OtherFocusReason);
        restoring_ = false;
      },
      Qt::QueuedConnection);
}

}  // namespace tarvin
