// Sets the engine's operator state directly, where a test, a benchmark or the
// fuzz target needs a state that would otherwise take a conversation with a
// sensor to reach. Programs change it only through the engine's operations.
#pragma once

#include <cstdio>
#include <string>

#include "engine/link_engine.h"

namespace tarvin {

class LinkEngineProbe {
 public:
  // The link's state under its documentation's names (LinkState, PollStage, Queue ...).
  static LinkEngine::State& State(LinkEngine& e) { return e.s_; }
  static void SetChartTag(LinkEngine& e, int32_t tag) { e.chart_tag_ = tag; }
  static void SetSaveAlarmTag(LinkEngine& e, int32_t tag) { e.save_alarm_tag_ = tag; }
  static void SetSensorFlags(LinkEngine& e, uint16_t flags) { e.sensor_flags_ = flags; }
  static void SetRepeatGuard(LinkEngine& e, int16_t countdowns) { e.repeat_guard_ = countdowns; }
  static void SetPortText(LinkEngine& e, const std::string& text) { e.port_text_ = text; }
  static void SetSlowestTick(LinkEngine& e, const char* text) {
    std::snprintf(e.slowest_tick_, sizeof e.slowest_tick_, "%s", text);
  }
};

}  // namespace tarvin
