// Fmain: the one window. It builds the controls, wires each to the core
// (LinkEngine, ScopeModel, SensorCommands, Supervision) and shows what they
// report through QtEngineSink. Behaviour lives in those units, not here.
#pragma once

#include <QMainWindow>
#include <QString>
#include <memory>

#include "app/boxes.h"
#include "app/fmain_controls.h"
#include "app/qt_sink.h"
#include "engine/link_engine.h"
#include "engine/supervision.h"
#include "link/serial_port.h"
#include "scope/scope_model.h"
#include "scope/sensor_commands.h"

namespace tarvin {

class ChartExport;
class FieldExitFilter;

class TFmain : public QMainWindow {
  Q_OBJECT
 public:
  // `boxes` null: modal Qt boxes. `port` null: the platform's port, looked up
  // in the working folder. The working folder is the current one at creation.
  explicit TFmain(Boxes* boxes = nullptr, std::unique_ptr<SerialPort> port = nullptr, QWidget* parent = nullptr);
  ~TFmain() override;

  // For tests and the program's parts: the named controls and the core.
  FmainControls& Controls() { return c_; }
  LinkEngine& Engine() { return *engine_; }
  ScopeModel& Scope() { return *scope_; }
  QtEngineSink& Sink() { return *sink_; }
  const QString& WorkDir() const { return work_dir_; }
  void SetLocalTime(LocalTimeFn fn) { local_time_ = fn; }

 public slots:
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

 protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildWindow();
  void Wire();
  void FormCreate();
  bool AskExit();
  void SyncTimerRv();
  void RefreshDiagnostics();
  void AfterOperator();

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
  std::unique_ptr<ScopeModel> scope_;
  std::unique_ptr<LinkEngine> engine_;
  std::unique_ptr<SensorCommands> commands_;
  std::unique_ptr<Supervision> supervision_;
  std::unique_ptr<ChartExport> chart_export_;
  FieldExitFilter* field_exits_ = nullptr;
};

}  // namespace tarvin
