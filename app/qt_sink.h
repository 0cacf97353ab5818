// The session's reports shown on the window's controls. Notices become posted
// events (1025, 1026, 1090) handled after the tick; a box asked for inside a
// tick is posted too, so no modal loop ever opens inside the engine's tick.
#pragma once

#include <QEvent>
#include <QObject>
#include <QString>
#include <functional>

#include "app/boxes.h"
#include "app/fmain_controls.h"
#include "session/session_sink.h"

namespace tarvin {

// The notices' posted events: the link lost, restored, the wrong firmware.
inline constexpr int kLinkLostEvent = 1025;
inline constexpr int kLinkRestoredEvent = 1026;
inline constexpr int kWrongVersionEvent = 1090;
int NoticeEvent(Notice notice);
// The notice a posted event stands for; false for any other event.
bool NoticeOfEvent(int type, Notice* notice);

// The status bar's panels: the last reply's code, the port, the link.
inline constexpr int kReplyCodePanel = 0;
inline constexpr int kPortPanel = 2;
inline constexpr int kLinkPanel = 4;

// The posted box: after the notices' numbers, out of their way.
inline constexpr QEvent::Type kDeferredBoxEvent = QEvent::Type(QEvent::User + 200);

class DeferredBoxEvent : public QEvent {
 public:
  explicit DeferredBoxEvent(Box box) : QEvent(kDeferredBoxEvent), box_(std::move(box)) {}
  const Box& box() const { return box_; }

 private:
  Box box_;
};

class QtEngineSink : public SessionSink {
 public:
  // `window` receives the posted events; `in_tick` is true while the engine's tick runs.
  QtEngineSink(FmainControls& controls, Boxes& boxes, QObject* window, const bool& in_tick, QString work_dir);

  void Post(Notice notice) override;
  void ShowBox(const Message& message) override;

  void SetReplyCode(unsigned code) override;
  void SetPortState(const std::string& port, bool open) override;
  void SetLinkState(LinkState state) override;
  void SetBalance(Balance balance) override;
  void SetFirmware(unsigned major, unsigned minor) override;
  void SetDirectComponent(int value) override;
  void SetBufferLength(int value) override;
  void SetNetworkAddressRead(unsigned address) override;
  void SetTicking(bool on) override;             // TimerRv: then `changed` below
  void ShowLinkSign(LinkSign picture) override;  // ImageSmile
  void ShowChartRunning(bool running) override;  // BitBtnEnable4pF: "СТОП" / "ПУСК"
  void ShowSaveOnAlarm(bool enabled) override;   // BitBtnEnableSaveChartAlarm's captions

  // Inside a tick only the newest values are kept, and FlushGrid shows them
  // after the tick: nothing is painted in between, and a tick brings several samples.
  void ScopeGrid(float threshold, uint32_t useful, uint32_t input) override;
  void FlushGrid();
  void ScopeAddPoints(uint16_t x, const ScopeSample& sample) override;
  void ScopeClear() override;
  void ScopeDropOldest() override;
  void ScopeAxis(int32_t min, int32_t max) override;
  void ScopeShowStored(const Oscillogram& stored) override;

  // Called when the ticking is switched on or off: the window's timer follows.
  void SetTickingChanged(std::function<void()> changed) { ticking_changed_ = std::move(changed); }

  LinkSign ShownPicture() const { return shown_; }
  // Chart samples drawn since the start.
  uint64_t SamplesShown() const { return samples_; }

 private:
  FmainControls& c_;
  Boxes& boxes_;
  QObject* window_;
  const bool& in_tick_;
  std::function<void()> ticking_changed_;
  QString work_dir_;
  LinkSign shown_ = LinkSign::Unknown;
  uint64_t samples_ = 0;

  struct GridValues {
    float threshold;
    uint32_t useful, input;
  };
  GridValues grid_ = {};
  bool grid_pending_ = false;
};

// The threshold as the grid shows it: three decimals, the system's separator, no grouping.
QString FormatThreshold(float threshold);

}  // namespace tarvin
