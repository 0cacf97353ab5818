// A summary of the chart samples over a period: for each of the five signals
// the minimum, maximum and mean, and how close the useful signal came to the
// threshold. Fed one sample at a time inside the tick, so it only compares
// and adds: nothing is allocated per sample.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>

#include "engine/scope_sample.h"

namespace tarvin {

// One signal's extremes and sum over the period.
struct SignalSpan {
  double min = 0, max = 0, sum = 0;

  void Add(double value, bool first);
  nlohmann::ordered_json Json(uint64_t samples) const;
};

class SignalSummary {
 public:
  void Add(const ScopeSample& sample);
  void Reset() { *this = SignalSummary(); }

  uint64_t Samples() const { return samples_; }
  // threshold − useful at its smallest; only meaningful once a sample came.
  double MarginMin() const { return margin_min_; }
  // Samples whose useful signal reached the threshold.
  uint64_t OverThreshold() const { return over_; }

  // The signals as the `summary` event carries them: threshold, useful,
  // ekNoise, ekClimate, input, then margin.
  void AddTo(nlohmann::ordered_json& event) const;

 private:
  uint64_t samples_ = 0;
  SignalSpan threshold_, useful_, noise_, climate_, input_;
  double margin_min_ = 0;
  uint64_t over_ = 0;
};

}  // namespace tarvin
