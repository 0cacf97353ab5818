// One way the recorder's events leave the site: a broker, an alarm receiver.
// Every outlet is fed the same way: each journal event as it is written, each
// chart sample as it arrives (only by the outlets that want them), and a step
// after each of the recorder's own, in which it does its network work without
// waiting; none of them may hold the link up.
#pragma once

#include <chrono>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>

#include "engine/scope_sample.h"

namespace tarvin {

class Outlet {
 public:
  using Clock = std::chrono::steady_clock;
  // A line for the operator's console: what the outlet has to say of itself.
  using ConsoleLine = std::function<void(const std::string&)>;

  virtual ~Outlet() = default;
  // The journal's observer: called for every event as it is written.
  virtual void TakeEvent(const nlohmann::ordered_json& event) = 0;
  // Every chart sample, inside the tick: it must be cheap.
  virtual void TakeSample(const ScopeSample& sample) { (void)sample; }
  virtual bool WantsSamples() const { return false; }
  // Does what is due; returns when it wants to run again.
  virtual Clock::time_point Step(Clock::time_point now) = 0;
  // The end of the run: what waits may go out within `drain`, then it closes.
  virtual void Stop(Clock::duration drain) = 0;
};

}  // namespace tarvin
