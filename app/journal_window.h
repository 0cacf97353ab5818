// "Журнал событий": a window of its own listing the journal's events newest
// first (time, event, details). A double click on a saved oscillogram asks
// for it to be opened as "Открыть" would. A dialog, shown without being
// modal, so assistive technology announces it by its title; Escape closes it.
#pragma once

#include <QDialog>
#include <QString>
#include <nlohmann/json.hpp>
#include <vector>

class QLabel;
class QTableWidget;

namespace tarvin {

class JournalWindow : public QDialog {
  Q_OBJECT
 public:
  explicit JournalWindow(QWidget* parent = nullptr);

  // One event, put on top.
  void Add(const nlohmann::ordered_json& event);
  // Events oldest first, each put on top in turn.
  void AddAll(const std::vector<nlohmann::ordered_json>& events);
  // Where the journal is written, or why it is not.
  void SetSource(const QString& path, const QString& error);

  QTableWidget* List() const { return list_; }
  // The oscillogram of row `row`; empty when the row is not a saved one.
  QString FileOfRow(int row) const;

  static constexpr int kMaxRows = 5000;

 signals:
  void OpenRequested(const QString& path);
  // "Отчёт…" was pressed.
  void ReportRequested();
  // "Проверка обнаружения…" was pressed.
  void WalkTestRequested();

 private:
  void RowDoubleClicked(int row);

  QTableWidget* list_ = nullptr;
  QLabel* source_ = nullptr;
};

}  // namespace tarvin
