// Sets the engine's and the scope's state directly, where a test needs a state
// that would otherwise take a conversation with a sensor (or a path no public
// operation reaches). Programs change it only through their operations.
#pragma once

#include <string>

#include "engine/link_engine.h"
#include "scope/scope_model.h"

namespace tarvin {

class LinkEngineProbe {
 public:
  // The link's state under its documentation's names (link, poll, Queue ...).
  static LinkEngine::ExchangeState& State(LinkEngine& e) { return e.s_; }
  static void SetChartTag(LinkEngine& e, int32_t tag) { e.chart_tag_ = tag; }
  static void SetSaveAlarmTag(LinkEngine& e, int32_t tag) { e.save_alarm_tag_ = tag; }
  static void SetSensorFlags(LinkEngine& e, uint16_t flags) { e.sensor_flags_ = flags; }
  static void SetRepeatGuard(LinkEngine& e, int16_t countdowns) { e.repeat_guard_ = countdowns; }
  static void SetPortText(LinkEngine& e, const std::string& text) { e.port_text_ = text; }
  static void SetSlowestTickUs(LinkEngine& e, int32_t us) { e.slowest_tick_us_ = us; }
  // The commands' routines behind the queue, with what no queued command can hold.
  static void Enqueue(LinkEngine& e, char start, const uint16_t* words, uint16_t count) {
    e.Enqueue(start, words, count);
  }
  static bool WriteFrame(LinkEngine& e, char start, const uint16_t* words, uint16_t count) {
    return e.WriteFrame(start, words, count);
  }
};

class ScopeModelProbe {
 public:
  static void SetWindowLength(ScopeModel& m, uint16_t length) { m.window_length_ = length; }
  static void SetPointCount(ScopeModel& m, uint16_t count) { m.point_count_ = count; }
  static void SetAxis(ScopeModel& m, int32_t min, int32_t max) {
    m.y_min_ = min;
    m.y_max_ = max;
  }
  static ScopeHistoryArrays& History(ScopeModel& m) { return *m.history_; }
};

}  // namespace tarvin
