#include "app/journal_window.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/fmain_controls.h"
#include "app/journal_words.h"
#include "app/qt_text.h"
#include "chart/fonts.h"
#include "journal/event_tracker.h"

namespace tarvin {

namespace {

// The saved file's path rides on the row's first cell.
constexpr int kFileRole = Qt::UserRole + 1;

}  // namespace

JournalWindow::JournalWindow(QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint) {
  setObjectName("JournalWindow");
  setWindowTitle(QStringLiteral("Журнал событий"));
  setFont(SansFont(13));

  auto* column = new QVBoxLayout(this);
  QLabel* caption = MakeLabel(this, "JournalListLabel", "&События, новые сверху:");
  list_ = new QTableWidget(0, 3, this);
  list_->setObjectName("JournalList");
  list_->setHorizontalHeaderLabels(
      {QStringLiteral("Время"), QStringLiteral("Событие"), QStringLiteral("Подробности")});
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setWordWrap(false);
  list_->verticalHeader()->setVisible(false);
  list_->horizontalHeader()->setStretchLastSection(true);
  const QFontMetrics fm(list_->font());
  list_->setColumnWidth(0, fm.horizontalAdvance(QStringLiteral("07.12.2026 23:59:59")) + 24);
  list_->setColumnWidth(1, fm.horizontalAdvance(QStringLiteral("Неверная версия программы датчика")) + 24);
  caption->setBuddy(list_);
  source_ = MakeLabel(this, "JournalSource", "");
  source_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto* report = new QPushButton(QStringLiteral("Отчёт…"), this);
  report->setObjectName("JournalReport");
  connect(report, &QPushButton::clicked, this, &JournalWindow::ReportRequested);
  auto* walk_test = new QPushButton(QStringLiteral("Проверка обнаружения…"), this);
  walk_test->setObjectName("JournalWalkTest");
  connect(walk_test, &QPushButton::clicked, this, &JournalWindow::WalkTestRequested);
  auto* foot = new QHBoxLayout;
  foot->addWidget(source_, 1);
  foot->addWidget(walk_test);
  foot->addWidget(report);
  column->addWidget(caption);
  column->addWidget(list_, 1);
  column->addLayout(foot);

  connect(list_, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { RowDoubleClicked(row); });
  resize(980, 460);
}

void JournalWindow::Add(const nlohmann::ordered_json& event) {
  if (IsSummary(event)) return;  // one a minute: they belong in a report, not in the list
  const JournalRow row = DescribeEvent(event);
  list_->insertRow(0);
  auto* time = new QTableWidgetItem(Q(row.time));
  time->setData(kFileRole, Q(row.file));
  list_->setItem(0, 0, time);
  list_->setItem(0, 1, new QTableWidgetItem(Q(row.event)));
  auto* details = new QTableWidgetItem(Q(row.details));
  details->setToolTip(Q(row.file.empty() ? row.details : row.file));
  list_->setItem(0, 2, details);
  if (list_->rowCount() > kMaxRows) list_->removeRow(list_->rowCount() - 1);
}

void JournalWindow::AddAll(const std::vector<nlohmann::ordered_json>& events) {
  list_->setUpdatesEnabled(false);
  for (const nlohmann::ordered_json& event : events) Add(event);
  list_->setUpdatesEnabled(true);
}

void JournalWindow::SetSource(const QString& path, const QString& error) {
  source_->setText(error.isEmpty()
                       ? QStringLiteral("Файл журнала: ") + path
                       : QStringLiteral("Журнал не записывается в ") + path + QStringLiteral(": ") + error);
}

QString JournalWindow::FileOfRow(int row) const {
  const QTableWidgetItem* item = list_->item(row, 0);
  return item == nullptr ? QString() : item->data(kFileRole).toString();
}

void JournalWindow::RowDoubleClicked(int row) {
  const QString file = FileOfRow(row);
  if (!file.isEmpty()) emit OpenRequested(file);
}

}  // namespace tarvin
