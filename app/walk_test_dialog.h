// "Проверка обнаружения": the engineer's walk test, in a window of its own
// beside the main one (never modal: the chart stays in view while walking).
// It starts and ends a test through the session's event tracker and lists
// the test's detections from the journal's events as they are written: a row
// appears when an alarm begins and gets its figures when the alarm ends. How
// a test ended, by the operator or by itself, is read from the journal too.
#pragma once

#include <QDialog>
#include <QString>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "journal/walk_test.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;
class QTimer;

namespace tarvin {

class Boxes;
class EventTracker;
class SensorSession;
class QtBoxes;

// A refusal in the operator's words ("проверка уже идёт").
std::string WalkTestRefusalWords(WalkTestRefusal refusal);

class WalkTestDialog : public QDialog {
  Q_OBJECT
 public:
  // Without the session's journal there is nothing to do but say so.
  // `boxes` null: Qt's own boxes over this dialog.
  WalkTestDialog(SensorSession& session, Boxes* boxes, QWidget* parent = nullptr);
  ~WalkTestDialog() override;

  // One journal event: a test begun or ended, a detection begun or ended.
  void Add(const nlohmann::ordered_json& event);

  // "Начать проверку" and "Закончить проверку".
  void Begin();
  void End();

  // The table's columns.
  enum Column { kNumber, kTime, kPeak, kThreshold, kMargin, kOver, kColumns };

 private:
  void BuildForm();
  void DetectionBegun(const nlohmann::ordered_json& event);
  void DetectionEnded(const nlohmann::ordered_json& event);
  void TestEnded(const nlohmann::ordered_json& event);
  // The row of detection `number`, made when missing.
  int RowOf(int number);
  void Refuse(const char* what, WalkTestRefusal refusal);
  // The running test's time and count, once a second.
  void ShowRunning();

  SensorSession& session_;
  const EventTracker* tracker_;  // the session's; null without a journal
  std::unique_ptr<QtBoxes> own_boxes_;
  Boxes* boxes_;
  int shown_test_ = 0;  // the test the table lists, 0: none yet

  QLineEdit* note_ = nullptr;
  QSpinBox* limit_ = nullptr;
  QPushButton* begin_ = nullptr;
  QPushButton* end_ = nullptr;
  QLabel* state_ = nullptr;
  QLabel* refusal_ = nullptr;
  QTableWidget* table_ = nullptr;
  QTimer* clock_ = nullptr;
};

}  // namespace tarvin
