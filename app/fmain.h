// Fmain: the one window. It builds the controls, wires each to the sensor's
// session and shows what the session reports through QtEngineSink. Behaviour
// lives in the session's units, not here; the handlers carry the controls'
// names and call the session's operations.
#pragma once

#include <QMainWindow>
#include <QString>
#include <QTimer>
#include <memory>
#include <optional>

#include "app/boxes.h"
#include "app/fmain_controls.h"
#include "app/qt_sink.h"
#include "app/window_journal.h"
#include "link/serial_port.h"
#include "session/sensor_session.h"

namespace tarvin {

class ChartExport;
class FieldExitFilter;
class JournalWindow;
class SaveNotice;
class WalkTestDialog;

class TFmain : public QMainWindow {
  Q_OBJECT
 public:
  // `boxes` null: modal Qt boxes. `port` null: the platform's port, looked up
  // in the working folder. The working folder is the current one at creation.
  // `keep_journal` false: no event journal at all (the benchmark compares).
  explicit TFmain(Boxes* boxes = nullptr, std::unique_ptr<SerialPort> port = nullptr,
                  QWidget* parent = nullptr, bool keep_journal = true);
  ~TFmain() override;

  // For tests and the program's parts: the named controls and the core.
  FmainControls& Controls() { return c_; }
  SensorSession& Session() { return *session_; }
  const LinkEngine& Engine() const { return session_->Engine(); }
  const ScopeModel& Scope() const { return session_->Scope(); }
  QtEngineSink& Sink() { return *sink_; }
  const QString& WorkDir() const { return work_dir_; }
  // Null when the window keeps no journal.
  WindowJournal* EventJournal() { return journal_.get(); }
  // Null until "Журнал событий…" is first chosen.
  JournalWindow* JournalView() const { return journal_window_; }
  // Null until "Проверка обнаружения…" is first chosen.
  WalkTestDialog* WalkTestView() const { return walk_test_; }
  SaveNotice& SavedNotice() { return *save_notice_; }
  void SetLocalTime(LocalTimeFn fn) { local_time_ = fn; }

 public slots:
  // The one timer: whatever the session's schedule has due now.
  void RunSchedule();
  // One cadence at once, as its timer's event would run it (the window's tests).
  void TimerRvTimer();
  void Timer1Timer();
  void Timer2Timer();
  void ComboBox1Click(int index);
  // Exit handlers of the fields: false when the entry was refused.
  bool EDirect_componentExit();
  bool EditValuePorogSaveOscillExit();
  bool EditXExit();
  bool EditYminExit();
  bool EditYmaxExit();
  void BitBtnEnable4pFClick();
  void BitBtnSave4pFClick();
  void BitBtnOpen4pFClick();
  void BitBtn2Click();
  void BitBtnEnableSaveChartAlarmClick();
  void BitBtnWriteNetworkDataClick();
  void BitBtnReadNetworkDataClick();
  void BitBtn12Click();
  // "Завершить работу ?": on Yes the port is let go and the window closes.
  void ExitConfirmation();
  // The desktop session ends (SIGTERM at logout): nobody is there to answer,
  // so the port is let go and the window closes as after a Yes.
  void EndSession();
  // "Журнал событий…" (F2): the journal's window, shown and raised.
  void ShowJournal();
  // "Проверка обнаружения…" (F3): the walk test's window, shown and raised.
  void ShowWalkTest();
  // "Отчёт…": the report from this window's journal.
  void MakeReport();
  // A saved oscillogram shown as "Открыть" shows the chosen file.
  void OpenOscillogramFile(const std::string& path);

 protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildWindow();
  void Wire();
  void FormCreate();
  bool AskExit();
  // Every way out of the window ends here, once: the session stopped with
  // `reason` (ticking off, the port let go), then the window closed.
  void Exit(const char* reason);
  // The one place the window calls the session's cadences: those due now, or
  // the ones given, in the session's order; then what they raised is posted.
  void RunCadences(std::optional<SensorSession::Due> out_of_turn);
  // The one timer set to the session's next due time.
  void Rearm();
  void RefreshDiagnostics();
  void AfterOperator();
  // The journal's side of the window (fmain_journal.cpp).
  void OpenJournal(bool keep_journal);
  void OnJournalEvent(const nlohmann::ordered_json& event);
  // "Проверка обнаружения…": F3, and the chart's menu before the journal's
  // action (so called once that is there).
  void WireWalkTest();
  // Over the main window, where the operator is looking, not in a corner.
  void PlaceOver(QWidget* dialog) const;

  std::unique_ptr<QtBoxes> own_boxes_;
  Boxes& boxes_;
  FmainControls c_;
  QString work_dir_;
  bool in_tick_ = false;
  bool exiting_ = false;
  uint32_t diag_shown_ = 0xFFFFFFFFu;
  LocalTimeFn local_time_ = LocalTimeNow;

  std::unique_ptr<SerialPort> port_;
  std::unique_ptr<QtEngineSink> sink_;
  std::unique_ptr<WindowJournal> journal_;
  std::unique_ptr<SensorSession> session_;
  std::unique_ptr<ChartExport> chart_export_;
  QTimer schedule_timer_;
  FieldExitFilter* field_exits_ = nullptr;
  JournalWindow* journal_window_ = nullptr;
  WalkTestDialog* walk_test_ = nullptr;
  SaveNotice* save_notice_ = nullptr;
};

// Posted after a tick in which the engine closed the port: handled after the
// tick's own notices, so the journal says "link_lost" before "port_closed".
inline constexpr QEvent::Type kPortClosedEvent = QEvent::Type(QEvent::User + 201);

}  // namespace tarvin
