#include "journal/signal_summary.h"

#include <cmath>

#include "journal/journal.h"

namespace tarvin {

void SignalSpan::Add(double value, bool first) {
  if (first || value < min) min = value;
  if (first || value > max) max = value;
  sum += value;
}

nlohmann::ordered_json SignalSpan::Json(uint64_t samples) const {
  const double mean = samples > 0 ? sum / static_cast<double>(samples) : 0.0;
  return {{"min", JournalFigure(min)}, {"max", JournalFigure(max)}, {"mean", JournalFigure(mean)}};
}

void SignalSummary::Add(const ScopeSample& s) {
  const bool first = samples_ == 0;
  ++samples_;
  threshold_.Add(s.threshold, first);
  useful_.Add(s.useful, first);
  noise_.Add(s.ekNoise, first);
  climate_.Add(s.ekClimate, first);
  input_.Add(s.input, first);
  const double margin = static_cast<double>(s.threshold) - static_cast<double>(s.useful);
  if (first || margin < margin_min_) margin_min_ = margin;
  if (margin <= 0) ++over_;
}

void SignalSummary::AddTo(nlohmann::ordered_json& event) const {
  event["threshold"] = threshold_.Json(samples_);
  event["useful"] = useful_.Json(samples_);
  event["ekNoise"] = noise_.Json(samples_);
  event["ekClimate"] = climate_.Json(samples_);
  event["input"] = input_.Json(samples_);
  event["margin"] = {{"min", JournalFigure(margin_min_)}, {"over_threshold", over_}};
}

}  // namespace tarvin
