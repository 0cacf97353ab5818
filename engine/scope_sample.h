// The chart sample the engine decodes from a stream frame, and where it goes.
#pragma once

#include <cstdint>

namespace tarvin {

// One chart sample as the sensor streams it.
struct ScopeSample {
  float threshold = 0.0f;
  uint32_t useful = 0;
  uint32_t ekNoise = 0;
  uint32_t ekClimate = 0;
  uint32_t input = 0;
};

// Where chart samples and alarm edges go (the oscilloscope's data half).
class ScopeInput {
 public:
  virtual ~ScopeInput() = default;
  virtual void AppendScopeSample(const ScopeSample& sample) = 0;
  virtual void ArmSaveOnAlarm() = 0;
};

}  // namespace tarvin
