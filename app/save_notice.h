// A few seconds' word in the status bar that an oscillogram was just saved.
// It stands at the bar's right end, after the five panels, and is hidden the
// rest of the time, so the panels and their texts stay as they are.
#pragma once

#include <QObject>
#include <QString>

class QLabel;
class QStatusBar;
class QTimer;

namespace tarvin {

class SaveNotice : public QObject {
  Q_OBJECT
 public:
  static constexpr int kShownMs = 10000;

  explicit SaveNotice(QStatusBar* bar);
  // "Осциллограмма сохранена: <file name>" until kShownMs have passed.
  void Show(const QString& file_name);

  QLabel* Label() const { return label_; }
  QTimer* Timer() const { return timer_; }

 private:
  QLabel* label_;
  QTimer* timer_;
};

}  // namespace tarvin
