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

}  // namespace tarvin
