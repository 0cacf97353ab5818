// The engine's reports shown on the window's controls. Notices become posted
// events (1025, 1026, 1090) handled after the tick; a box asked for inside a
// tick is posted too, so no modal loop ever opens inside the engine's tick.
#pragma once

#include <QEvent>
#include <QObject>
#include <QString>

#include "app/boxes.h"
#include "app/fmain_controls.h"
#include "engine/engine_sink.h"

namespace tarvin {

// The posted box: after the notices' numbers, out of their way.
inline constexpr QEvent::Type kDeferredBoxEvent = QEvent::Type(QEvent::User + 200);

class DeferredBoxEvent : public QEvent {
 public:
  explicit DeferredBoxEvent(Box box) : QEvent(kDeferredBoxEvent), box_(std::move(box)) {}
  const Box& box() const { return box_; }

 private:
  Box box_;
};

class QtEngineSink : public EngineSink {
 public:
  // `window` receives the posted events; `in_tick` is true while the engine's tick runs.
  QtEngineSink(FmainControls& controls, Boxes& boxes, QObject* window, const bool& in_tick, QString work_dir);

  void Post(Notice notice) override;
  void ShowBox(const Box& box) override;

  void SetStatusPanel(int panel, const std::string& text) override;
  void SetBalance(const std::string& text, uint32_t background, uint32_t font) override;
  void SetFirmware(const std::string& major, const std::string& minor) override;
  void SetDirectComponentText(const std::string& text) override;
  void SetBufferLengthText(const std::string& text) override;
  void SetNetworkAddressRead(const std::string& text) override;
  void SetPicture(Picture picture) override;
  void SetTimerRv(bool enabled) override;
  void SetChartButton(bool started) override;
  void SetSaveOnAlarmButton(bool enabled) override;

  // Inside a tick only the newest values are kept, and FlushGrid shows them
  // after the tick: nothing is painted in between, and a tick brings several samples.
  void ScopeGrid(float threshold, uint32_t useful, uint32_t input) override;
  void FlushGrid();
  void ScopeAddPoints(uint16_t x, const ScopeSample& sample) override;
  void ScopeClear() override;
  void ScopeDropOldest() override;
  void ScopeAxis(int32_t min, int32_t max) override;
  void ScopeShowStored(const Oscillogram& stored) override;

  Picture ShownPicture() const { return shown_; }
  // Chart samples drawn since the start.
  uint64_t SamplesShown() const { return samples_; }

 private:
  FmainControls& c_;
  Boxes& boxes_;
  QObject* window_;
  const bool& in_tick_;
  QString work_dir_;
  Picture shown_ = Picture::Smile;
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
