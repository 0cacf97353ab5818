#include "app/fmain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QScreen>
#include <QVBoxLayout>

#include "app/chart_export.h"
#include "app/field_exit.h"
#include "app/journal_words.h"
#include "app/pictures.h"
#include "app/port_list.h"
#include "app/save_notice.h"
#include "app/window_report.h"
#include "chart/chart_view.h"
#include "chart/fonts.h"

namespace tarvin {

namespace {

std::string S(const QString& q) { return q.toStdString(); }

// The X key whatever the keyboard layout: with the Russian layout the same key
// types "Ч", and on Windows the virtual-key code stays 88 in every layout.
bool IsExitKey(const QKeyEvent& key) {
  constexpr int kCyrillicChe = 0x0427;
#ifdef Q_OS_WIN
  if (key.nativeVirtualKey() == 88) return true;
#endif
  return key.key() == Qt::Key_X || key.key() == kCyrillicChe;
}

std::unique_ptr<QtBoxes> BoxesUnlessGiven(Boxes* given) {
  return given ? nullptr : std::make_unique<QtBoxes>();
}

}  // namespace

TFmain::TFmain(Boxes* boxes, std::unique_ptr<SerialPort> port, QWidget* parent, bool keep_journal)
    : QMainWindow(parent),
      own_boxes_(BoxesUnlessGiven(boxes)),
      boxes_(boxes ? *boxes : *own_boxes_),
      // As the platform reports it: C:\...\Тарвин-9 on Windows, which the
      // operator sees in messages and the journal.
      work_dir_(QDir::toNativeSeparators(QDir::currentPath())),
      port_(port ? std::move(port) : MakeNativePort(S(work_dir_))) {
  if (own_boxes_) own_boxes_->SetParent(this);
  BuildWindow();
  sink_ = std::make_unique<QtEngineSink>(c_, boxes_, this, in_tick_, work_dir_);
  OpenJournal(keep_journal);
  session_ = std::make_unique<SensorSession>(*port_, *sink_, journal_ ? &journal_->Events() : nullptr);
  Wire();
  if (journal_) journal_->Start(c_.ComboBox1->itemText(0).toStdString());
  FormCreate();
}

TFmain::~TFmain() {
  // Destroyed without any exit (a test's window, the application quit by
  // other means): the run still ends in the journal.
  session_->EndRun("window_closed");
  qApp->removeEventFilter(this);
}

void TFmain::BuildWindow() {
  setObjectName("Fmain");
  setWindowTitle(QStringLiteral("Программа комплекта пользователя для датчика \"Тарвин-9\""));
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  setFont(SansFont(11));
  setWindowIcon(QPixmap::fromImage(LoadPicture(QString(), LinkSign::Unknown)).scaled(32, 32));

  auto* central = new QWidget(this);
  central->setObjectName("FmainClient");
  auto* column = new QVBoxLayout(central);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(2);
  BuildTopGroup(central, c_);
  c_.ComboBox1->SetWorkDir(work_dir_);
  c_.ComboBox1->RefreshToolTips();
  column->addWidget(c_.GroupBox4);

  c_.PageControl1 = new QTabWidget(central);
  c_.PageControl1->setObjectName("PageControl1");
  c_.PageControl1->setFont(SerifFont(16, true));
  c_.TabSheet6 = new QWidget();
  c_.TabSheet6->setObjectName("TabSheet6");
  c_.TabSheet2 = new QWidget();
  c_.TabSheet2->setObjectName("TabSheet2");
  c_.TabSheet4 = new QWidget();
  c_.TabSheet4->setObjectName("TabSheet4");
  c_.PageControl1->addTab(c_.TabSheet6, QStringLiteral("Осциллограф"));
  c_.PageControl1->addTab(c_.TabSheet2, QStringLiteral("Диагностика работы канала связи с датчиком"));
  c_.PageControl1->addTab(c_.TabSheet4, QString());
  c_.PageControl1->setTabEnabled(2, false);
  c_.PageControl1->setCurrentIndex(0);
  BuildScopePage(c_);
  BuildDiagnosticsPage(c_);
  column->addWidget(c_.PageControl1, 1);
  setCentralWidget(central);

  BuildStatusBar(statusBar(), c_);
  save_notice_ = new SaveNotice(c_.StatusBar1);

  c_.ActionJournal = new QAction(QStringLiteral("Журнал событий…"), this);
  c_.ActionJournal->setObjectName("ActionJournal");
  c_.ActionJournal->setShortcut(QKeySequence(Qt::Key_F2));
  c_.ActionJournal->setShortcutContext(Qt::WindowShortcut);
  addAction(c_.ActionJournal);  // F2 anywhere in the window; the chart's menu gets it in Wire

  setMinimumSize(696, 480);
  resize(1217, 843);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
}

void TFmain::Wire() {
  // TimerRv, Timer1 and Timer2 are the session's cadences: one timer steps them all, in the
  // session's order, at the moment the next one is due.
  schedule_timer_.setParent(this);
  schedule_timer_.setObjectName("ScheduleTimer");
  schedule_timer_.setSingleShot(true);
  schedule_timer_.setTimerType(Qt::PreciseTimer);
  connect(&schedule_timer_, &QTimer::timeout, this, &TFmain::RunSchedule);
  // Ticking switched on restarts the tick's phase: the timer must follow.
  sink_->SetTickingChanged([this] { Rearm(); });
  // activated: choosing the item already shown opens that port again.
  connect(c_.ComboBox1, QOverload<int>::of(&QComboBox::activated), this, &TFmain::ComboBox1Click);
  connect(c_.BitBtnEnable4pF, &QPushButton::clicked, this, &TFmain::BitBtnEnable4pFClick);
  connect(c_.BitBtnSave4pF, &QPushButton::clicked, this, &TFmain::BitBtnSave4pFClick);
  connect(c_.BitBtnOpen4pF, &QPushButton::clicked, this, &TFmain::BitBtnOpen4pFClick);
  connect(c_.BitBtn2, &QPushButton::clicked, this, &TFmain::BitBtn2Click);
  connect(c_.BitBtnEnableSaveChartAlarm, &QPushButton::clicked, this,
          &TFmain::BitBtnEnableSaveChartAlarmClick);
  connect(c_.BitBtnWriteNetworkData, &QPushButton::clicked, this, &TFmain::BitBtnWriteNetworkDataClick);
  connect(c_.BitBtnReadNetworkData, &QPushButton::clicked, this, &TFmain::BitBtnReadNetworkDataClick);
  connect(c_.BitBtn12, &QPushButton::clicked, this, &TFmain::BitBtn12Click);
  connect(c_.ActionJournal, &QAction::triggered, this, &TFmain::ShowJournal);

  chart_export_ = std::make_unique<ChartExport>(*c_.Chart4, boxes_, Scope().ScopeFolder());
  QAction* png = c_.Chart4->AddContextAction(QString::fromUtf8(ChartExport::kPictureAction));
  png->setObjectName("ActionSavePng");
  connect(png, &QAction::triggered, this, [this] { chart_export_->SavePicture(); });
  QAction* csv = c_.Chart4->AddContextAction(QString::fromUtf8(ChartExport::kCsvAction));
  csv->setObjectName("ActionExportCsv");
  connect(csv, &QAction::triggered, this, [this] { chart_export_->ExportCsv(); });
  c_.Chart4->ContextMenu()->addSeparator();
  c_.Chart4->ContextMenu()->addAction(c_.ActionJournal);
  c_.ActionReport = new QAction(QString::fromUtf8(WindowReport::kAction), this);
  c_.ActionReport->setObjectName("ActionReport");
  connect(c_.ActionReport, &QAction::triggered, this, &TFmain::MakeReport);
  c_.Chart4->ContextMenu()->addAction(c_.ActionReport);
  WireWalkTest();

  field_exits_ = new FieldExitFilter(this);
  field_exits_->Watch(c_.EDirect_component, [this] { return EDirect_componentExit(); });
  field_exits_->Watch(c_.EditValuePorogSaveOscill, [this] { return EditValuePorogSaveOscillExit(); });
  field_exits_->Watch(c_.EditX, [this] { return EditXExit(); });
  field_exits_->Watch(c_.EditYmin, [this] { return EditYminExit(); });
  field_exits_->Watch(c_.EditYmax, [this] { return EditYmaxExit(); });

  // Key preview: Alt+X is seen before the control that has the focus.
  qApp->installEventFilter(this);
}

void TFmain::FormCreate() {
  const QString sep = QDir::separator();
  session_->SetScopeFolder(S(work_dir_ + sep + QStringLiteral("Chart4pF") + sep));
  c_.Panel[0]->setText(QStringLiteral("0"));
  c_.Panel[1]->setText(QStringLiteral("0"));
  c_.Panel[3]->setText(QStringLiteral(" Alt+X - выход"));
  sink_->ShowLinkSign(LinkSign::Unknown);
  c_.ComboBox1->setCurrentIndex(0);
  session_->OpenAtStartup(0, S(c_.ComboBox1->currentText()));
  c_.StringGrid4pF->item(0, 0)->setText(QStringLiteral("Порог"));
  c_.StringGrid4pF->item(1, 0)->setText(QStringLiteral("Полезный сигнал"));
  c_.StringGrid4pF->item(2, 0)->setText(QStringLiteral("Вх.сигнал"));
  session_->SetScopeDefaults();
  c_.EditX->setText(QString::number(kWindowDefault));
  c_.EditYmax->setText(QStringLiteral("100"));
  c_.EditYmin->setText(QStringLiteral("0"));
  // The poll and the countdown start as the layout's enabled timers would: one period from now.
  session_->Start(SensorSession::Clock::now(), SessionSchedule::FirstRun::AfterOnePeriod);
  Rearm();
  RefreshDiagnostics();
  c_.Chart4->ReplotIfDirty();
}

// ---- timers ----------------------------------------------------------------

void TFmain::RunSchedule() { RunCadences(std::nullopt); }

void TFmain::TimerRvTimer() { RunCadences(SensorSession::Due::Only(SessionSchedule::Cadence::Tick)); }

void TFmain::Timer1Timer() { RunCadences(SensorSession::Due::Only(SessionSchedule::Cadence::Poll)); }

void TFmain::Timer2Timer() { RunCadences(SensorSession::Due::Only(SessionSchedule::Cadence::Countdown)); }

void TFmain::RunCadences(std::optional<SensorSession::Due> out_of_turn) {
  const SensorSession::Clock::time_point now = SensorSession::Clock::now();
  in_tick_ = true;
  if (out_of_turn)
    session_->Run(*out_of_turn, now);
  else
    session_->Step(now);
  in_tick_ = false;
  sink_->FlushGrid();
  // Handled as posted events, in order, after this step: the port's closing last.
  const Raised raised = session_->TakeRaised();
  for (const Notice notice : raised.notices) sink_->Post(notice);
  if (raised.port_closed) QCoreApplication::postEvent(this, new QEvent(kPortClosedEvent));
  AfterOperator();
}

void TFmain::Rearm() {
  using std::chrono::milliseconds;
  const SensorSession::Clock::time_point next = session_->Next();
  if (next == SensorSession::Clock::time_point::max()) {
    schedule_timer_.stop();
    return;
  }
  // Rounded up: a timer a fraction early would only wake to find nothing due.
  const milliseconds wait = std::chrono::ceil<milliseconds>(next - SensorSession::Clock::now());
  schedule_timer_.start(std::max(wait, milliseconds(0)));
}

void TFmain::RefreshDiagnostics() {
  if (Engine().DiagGeneration() == diag_shown_) return;
  diag_shown_ = Engine().DiagGeneration();
  const LinkCounters& n = Engine().Counters();
  c_.N_rv_byte->setText(QString::number(n.N_rv_byte));
  c_.N_rv_frame->setText(QString::number(n.N_rv_frame));
  c_.N_tr_byte->setText(QString::number(n.N_tr_byte_shown));
  c_.N_tr_frame->setText(QString::number(n.N_tr_frame));
  c_.KS_ERR->setText(QString::number(n.ChecksumErrors));
  c_.Overflow_buffer->setText(QString::number(n.Overflow_buffer));
  c_.Time_out->setText(QString::number(n.Time_out));
  c_.Rv_Frame->setText(QString::fromLatin1(Engine().Rv_Frame()));
  c_.Tr_Frame->setText(QString::fromLatin1(Engine().Tr_Frame()));
  // Until 50 ticks are measured the label keeps its own name, as it always has.
  if (const std::optional<int32_t> us = Engine().SlowestTickUs()) c_.Label35->setText(QString::number(*us));
}

void TFmain::AfterOperator() {
  Rearm();
  RefreshDiagnostics();
  c_.Chart4->ReplotIfDirty();
}

// ---- operator ----------------------------------------------------------------

void TFmain::ComboBox1Click(int index) {
  const std::string port = S(c_.ComboBox1->itemText(index));
  session_->ChangePort(index, port);
  AfterOperator();
}

bool TFmain::EDirect_componentExit() {
  const ThresholdResult r =
      session_->Commands().SetThreshold(S(c_.EDirect_component->text()), S(c_.EPorog_Buffer_lenght->text()));
  AfterOperator();
  // The buffer length's field is hidden: its refusal has no field to return to.
  return r != ThresholdResult::FocusDirectComponent;
}

bool TFmain::EditValuePorogSaveOscillExit() {
  return session_->Commands().SetSaveLevel(S(c_.EditValuePorogSaveOscill->text())) == FieldResult::Accepted;
}

bool TFmain::EditXExit() {
  const bool ok = session_->Commands().SetWindowLength(S(c_.EditX->text())) == FieldResult::Accepted;
  AfterOperator();
  return ok;
}

bool TFmain::EditYminExit() {
  const bool ok = session_->Commands().SetAxisMin(S(c_.EditYmin->text())) == FieldResult::Accepted;
  AfterOperator();
  return ok;
}

bool TFmain::EditYmaxExit() {
  const bool ok = session_->Commands().SetAxisMax(S(c_.EditYmax->text())) == FieldResult::Accepted;
  AfterOperator();
  return ok;
}

void TFmain::BitBtnEnable4pFClick() {
  session_->Commands().StartOrStopChart();
  AfterOperator();
}

void TFmain::BitBtnSave4pFClick() {
  if (!session_->Commands().ManualSaveAllowed()) return;
  // The file carries the moment of the click, not the moment the name is confirmed.
  const LocalTime moment = local_time_();
  const std::optional<std::string> name =
      boxes_.AskText("Пожалуйста, назовите сохраняемый файл", "Укажите имя файла", Scope().LastSaveName());
  if (!name) return;  // Cancel means: do not save
  if (session_->Commands().SaveManual(*name, moment))
    save_notice_->Show(
        QString::fromStdString(FileNameOf(ManualFileName(Scope().ScopeFolder(), moment, *name))));
}

void TFmain::BitBtnOpen4pFClick() {
  const std::optional<std::string> path = boxes_.AskOpenFile(Scope().ScopeFolder());
  if (!path) return;
  OpenOscillogramFile(*path);
}

void TFmain::OpenOscillogramFile(const std::string& path) {
  // The file's name stays above the chart until it runs again.
  if (session_->Commands().OpenOscillogram(path))
    c_.Chart4->SetFileTitle(QFileInfo(QString::fromStdString(path)).fileName());
  AfterOperator();
}

void TFmain::BitBtn2Click() {
  session_->Commands().ReadSettings();
  AfterOperator();
}

void TFmain::BitBtnEnableSaveChartAlarmClick() { session_->Commands().ToggleSaveOnAlarm(); }

void TFmain::BitBtnWriteNetworkDataClick() {
  if (session_->Commands().WriteNetworkAddress(S(c_.NetworkAdr->text())) == FieldResult::Refused)
    c_.NetworkAdr->setFocus(Qt::OtherFocusReason);
  AfterOperator();
}

void TFmain::BitBtnReadNetworkDataClick() {
  session_->Commands().ReadNetworkAddress();
  AfterOperator();
}

void TFmain::BitBtn12Click() {
  session_->ResetDiagnostics();
  RefreshDiagnostics();
}

// ---- exit and notices ----------------------------------------------------------

bool TFmain::AskExit() { return boxes_.AskYesNo("Выход", "Завершить работу ?"); }

void TFmain::ExitConfirmation() {
  if (AskExit()) Exit("operator");
}

void TFmain::EndSession() { Exit("session_end"); }

void TFmain::Exit(const char* reason) {
  if (!exiting_) {
    exiting_ = true;
    session_->Stop(reason);
  }
  // Inside closeEvent the close is already under way, and this does nothing.
  close();
}

void TFmain::closeEvent(QCloseEvent* event) {
  // The title-bar close asks as Alt+X does; the other ways out have asked already or must not ask.
  if (!exiting_) {
    if (!AskExit()) {
      event->ignore();
      return;
    }
    Exit("operator");
  }
  event->accept();
}

bool TFmain::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
      static_cast<QWidget*>(watched)->window() == this) {
    auto* key = static_cast<QKeyEvent*>(event);
    // Only Alt is tested: Shift or Ctrl held with it do not matter.
    if (IsExitKey(*key) && (key->modifiers() & Qt::AltModifier) && !key->isAutoRepeat()) {
      ExitConfirmation();
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

bool TFmain::event(QEvent* event) {
  Notice notice = Notice::LinkLost;
  if (NoticeOfEvent(static_cast<int>(event->type()), &notice)) {
    if (session_->HandleNotice(notice) == NoticeOutcome::CloseWindow) Exit("wrong_firmware");
    return true;
  }
  if (event->type() == kPortClosedEvent) {
    session_->PortClosed();
    return true;
  }
  if (event->type() == kDeferredBoxEvent) {
    boxes_.Inform(static_cast<DeferredBoxEvent*>(event)->box());
    return true;
  }
  return QMainWindow::event(event);
}

}  // namespace tarvin
