#include "sim/signal_model.h"

#include <algorithm>
#include <cmath>

namespace tarvin::sim {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kIntrusionRise = 0.3;  // seconds from calm to the peak
constexpr double kIntrusionPeak = 45.0;

uint32_t Clamp(double v) { return static_cast<uint32_t>(std::lround(std::max(0.0, v))); }

}  // namespace

double SignalModel::Noise(double amplitude) {
  std::uniform_real_distribution<double> d(-amplitude, amplitude);
  return d(rng_);
}

void SignalModel::StartIntrusion(double t, double seconds) {
  intrusion_from_ = t;
  intrusion_until_ = t + seconds;
}

void SignalModel::StartThresholdRise(double t, double level, double seconds) {
  rise_level_ = level;
  rise_until_ = t + seconds;
}

void SignalModel::SetRandomIntrusions(double t, double mean_interval) {
  random_interval_ = mean_interval;
  if (mean_interval > 0) {
    std::exponential_distribution<double> d(1.0 / mean_interval);
    next_random_ = t + d(rng_);
  }
}

void SignalModel::MaybeRandomIntrusion(double t) {
  if (random_interval_ <= 0 || t < next_random_) return;
  std::uniform_real_distribution<double> length(2.0, 5.0);
  StartIntrusion(t, length(rng_));
  SetRandomIntrusions(t, random_interval_);
}

bool SignalModel::Alarm(double t) {
  MaybeRandomIntrusion(t);
  return t >= intrusion_from_ && t < intrusion_until_;
}

SignalSample SignalModel::At(double t, uint16_t direct) {
  MaybeRandomIntrusion(t);
  SignalSample s;
  // Input: a slow drift over two minutes (weather, ground) plus noise; 50..70.
  const double input = 60.0 + 7.0 * std::sin(2 * kPi * t / 120.0) + Noise(2.5);
  // Useful: calm wandering 5..15.
  double useful = 10.0 + 3.5 * std::sin(2 * kPi * t / 7.0) + Noise(1.5);
  if (t >= intrusion_from_ && t < intrusion_until_) {
    const double since = t - intrusion_from_;
    const double until = intrusion_until_ - t;
    const double ramp = std::min({1.0, since / kIntrusionRise, until / kIntrusionRise});
    useful += ramp * (kIntrusionPeak - useful) + Noise(3.0);
  }
  // The threshold adapts slowly to the calm level, never to an intrusion.
  const double dt = std::clamp(t - last_t_, 0.0, 1.0);
  last_t_ = t;
  if (t >= intrusion_until_) adapt_ += (useful - adapt_) * std::min(1.0, dt / 20.0);
  double threshold = 0.85 * direct + 0.25 * adapt_;
  if (t < rise_until_) threshold = std::max(threshold, rise_level_ + 2.0 + Noise(0.5));
  s.input = Clamp(input);
  s.useful = Clamp(useful);
  s.ekNoise = Clamp(2.0 + std::fabs(Noise(1.5)));
  s.threshold = static_cast<float>(threshold);
  return s;
}

}  // namespace tarvin::sim
