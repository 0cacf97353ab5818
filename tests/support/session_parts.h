// The session's parts for changing, which programs never get: tests set an
// engine's clock or a scope's window directly, the fuzz target and the
// benchmarks drive the parts one by one.
#pragma once

#include "session/sensor_session.h"

namespace tarvin {

struct SessionParts {
  static LinkEngine& Engine(SensorSession& s) { return s.engine_; }
  static ScopeModel& Scope(SensorSession& s) { return s.scope_; }
  static Supervision& Supervisor(SensorSession& s) { return s.supervision_; }
  static EventTracker* Tracker(SensorSession& s) { return s.tracker_.get(); }
};

}  // namespace tarvin
