// What the oscilloscope shows: the newest values, the five series as they
// grow, the axis, and a stored oscillogram. The window draws it on its chart;
// tests record it.
#pragma once

#include <cstdint>

#include "engine/scope_sample.h"

namespace tarvin {

struct Oscillogram;  // scope/oscillogram_file.h

class ScopeView {
 public:
  virtual ~ScopeView() = default;

  // The newest threshold, useful signal and input.
  virtual void ScopeGrid(float threshold, uint32_t useful, uint32_t input) = 0;
  virtual void ScopeAddPoints(uint16_t x, const ScopeSample& sample) = 0;
  virtual void ScopeClear() = 0;       // the five series, in the documented order
  virtual void ScopeDropOldest() = 0;  // index 0 of each series
  virtual void ScopeAxis(int32_t min, int32_t max) = 0;
  // A stored oscillogram: clear the series and draw it from X = 0; nothing else changes.
  virtual void ScopeShowStored(const Oscillogram& stored) = 0;
};

}  // namespace tarvin
