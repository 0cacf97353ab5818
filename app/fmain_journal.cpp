// The window's journal: fed as the recorder feeds it (after every tick, and as
// the notices are handled), listed in "Журнал событий", a save named in the
// status bar for a few seconds, and the walk tests told by its events.
#include <QCoreApplication>
#include <QDir>

#include "app/fmain.h"
#include "app/journal_window.h"
#include "app/journal_words.h"
#include "app/port_list.h"
#include "app/save_notice.h"
#include "app/walk_test_dialog.h"
#include "app/window_report.h"
#include "chart/chart_view.h"

namespace tarvin {

namespace {

// How much of the earlier runs the list shows: some thousands of events.
constexpr uint64_t kEarlierBytes = 1u << 20;

}  // namespace

void TFmain::OpenJournal(bool keep_journal) {
  if (!keep_journal) return;
  journal_ = std::make_unique<WindowJournal>();
  journal_->Open(
      QDir::toNativeSeparators(QDir(work_dir_).filePath(QString::fromLatin1(kJournalFile))).toStdString());
  journal_->Events().AddObserver([this](const nlohmann::ordered_json& event) { OnJournalEvent(event); });
}

void TFmain::OnJournalEvent(const nlohmann::ordered_json& event) {
  if (journal_window_ != nullptr) journal_window_->Add(event);
  if (walk_test_ != nullptr) walk_test_->Add(event);
  const JournalEvent e(event);
  if (e.Kind() == Event::Saved) save_notice_->Show(QString::fromStdString(FileNameOf(e.Text("path"))));
}

void TFmain::ShowJournal() {
  if (journal_window_ == nullptr) {
    journal_window_ = new JournalWindow(this);
    connect(journal_window_, &JournalWindow::OpenRequested, this,
            [this](const QString& path) { OpenOscillogramFile(path.toStdString()); });
    connect(journal_window_, &JournalWindow::ReportRequested, this, &TFmain::MakeReport);
    connect(journal_window_, &JournalWindow::WalkTestRequested, this, &TFmain::ShowWalkTest);
    if (journal_) {
      const Journal& file = journal_->Events();
      journal_window_->SetSource(QString::fromStdString(file.Path()),
                                 file.IsOpen() ? QString() : QString::fromStdString(journal_->OpenError()));
      journal_window_->AddAll(journal_->EarlierEvents(kEarlierBytes));
      journal_window_->AddAll({journal_->RunEvents().begin(), journal_->RunEvents().end()});
    } else {
      journal_window_->SetSource(QString(), QStringLiteral("журнал выключен"));
    }
    PlaceOver(journal_window_);
  }
  journal_window_->show();
  journal_window_->raise();
  journal_window_->activateWindow();
}

void TFmain::PlaceOver(QWidget* dialog) const {
  dialog->move(frameGeometry().center() - QPoint(dialog->width() / 2, dialog->height() / 2));
}

void TFmain::WireWalkTest() {
  c_.ActionWalkTest = new QAction(QStringLiteral("Проверка обнаружения…"), this);
  c_.ActionWalkTest->setObjectName("ActionWalkTest");
  c_.ActionWalkTest->setShortcut(QKeySequence(Qt::Key_F3));
  c_.ActionWalkTest->setShortcutContext(Qt::WindowShortcut);
  addAction(c_.ActionWalkTest);
  connect(c_.ActionWalkTest, &QAction::triggered, this, &TFmain::ShowWalkTest);
  // Commissioning reads top down: the test, its journal, the report.
  c_.Chart4->ContextMenu()->insertAction(c_.ActionJournal, c_.ActionWalkTest);
}

void TFmain::ShowWalkTest() {
  if (walk_test_ == nullptr) {
    // The window's own boxes sit over the main window: the dialog asks over itself.
    walk_test_ = new WalkTestDialog(*session_, own_boxes_ ? nullptr : &boxes_, this);
    PlaceOver(walk_test_);
  }
  walk_test_->show();
  walk_test_->raise();
  walk_test_->activateWindow();
}

void TFmain::MakeReport() { WindowReport(boxes_, journal_.get(), work_dir_.toStdString()).Make(); }

}  // namespace tarvin
