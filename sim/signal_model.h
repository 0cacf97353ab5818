// Signals that look like a guarded zone: a drifting, noisy input signal, a calm
// useful signal, and an adaptive threshold near the constant component.
// Intrusions lift the useful signal over the threshold and raise the alarm.
#pragma once

#include <cstdint>
#include <random>

namespace tarvin::sim {

struct SignalSample {
  uint32_t useful = 0;
  uint32_t ekNoise = 0;
  uint32_t input = 0;
  float threshold = 0.0f;
};

class SignalModel {
 public:
  explicit SignalModel(uint32_t seed) : rng_(seed) {}

  // Values at time t (seconds since start) for the constant component `direct`.
  SignalSample At(double t, uint16_t direct);

  void StartIntrusion(double t, double seconds);
  // The threshold is held above `level` until t + seconds.
  void StartThresholdRise(double t, double level, double seconds);
  // Intrusions at random, `mean_interval` seconds apart on average; 0 stops them.
  void SetRandomIntrusions(double t, double mean_interval);

  bool Alarm(double t);

 private:
  void MaybeRandomIntrusion(double t);
  double Noise(double amplitude);

  std::mt19937 rng_;
  double intrusion_from_ = -1.0;
  double intrusion_until_ = -1.0;
  double rise_level_ = 0.0;
  double rise_until_ = -1.0;
  double random_interval_ = 0.0;
  double next_random_ = 0.0;
  double adapt_ = 10.0;  // slow average of the useful signal the threshold follows
  double last_t_ = 0.0;
};

}  // namespace tarvin::sim
