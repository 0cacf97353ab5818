// The two margins a commissioning proves: how far each walk test's detection
// went over the threshold, and how far the quiet zone stayed under it.
#include <algorithm>
#include <cmath>

#include "report/model/report_data.h"

namespace tarvin {
namespace {

// The quiet figures leave out the 10 s after an alarm or a walk test ends,
// as the programs that write them do.
constexpr int64_t kSettleMs = 10000;

using Span = std::pair<int64_t, int64_t>;

// The alarms and walk tests with the 10 s after each, merged: sorted, apart,
// so their ends rise too.
std::vector<Span> BusySpans(const std::vector<ReportAlarm>& alarms,
                            const std::vector<ReportWalkTest>& tests) {
  std::vector<Span> spans;
  spans.reserve(alarms.size() + tests.size());
  for (const ReportAlarm& a : alarms) spans.push_back({a.begin, a.end.value_or(a.begin) + kSettleMs});
  for (const ReportWalkTest& t : tests) spans.push_back({t.begin, t.end + kSettleMs});
  std::sort(spans.begin(), spans.end());
  std::vector<Span> merged;
  for (const Span& s : spans) {
    if (!merged.empty() && s.first <= merged.back().second)
      merged.back().second = std::max(merged.back().second, s.second);
    else
      merged.push_back(s);
  }
  return merged;
}

}  // namespace

void TakeQuietMargins(std::vector<ReportMinute>& minutes, const std::vector<ReportAlarm>& alarms,
                      const std::vector<ReportWalkTest>& tests) {
  const std::vector<Span> busy = BusySpans(alarms, tests);
  for (ReportMinute& m : minutes) {
    if (m.has_quiet) {  // the program counted them itself
      m.quiet_seconds =
          m.samples > 0 ? m.seconds * static_cast<double>(m.quiet_samples) / static_cast<double>(m.samples)
                        : 0;
      continue;
    }
    // An older summary is quiet as a whole when nothing busy touched its period.
    const int64_t begin = m.at - std::llround(m.seconds * 1000.0);
    const auto first = std::upper_bound(busy.begin(), busy.end(), begin,
                                        [](int64_t t, const Span& s) { return t < s.second; });
    if (first != busy.end() && first->first < m.at) continue;
    m.quiet_margin = m.margin_min;
    m.quiet_useful_max = m.useful_max;
    m.quiet_seconds = m.seconds;
  }
}

ReportQuiet ReportData::Quiet() const {
  ReportQuiet q;
  bool counted = false, taken = false;
  double squares = 0, sums = 0, all_squares = 0;
  uint64_t sd_samples = 0;
  bool means = true;
  for (const ReportMinute& m : minutes) {
    (m.has_quiet ? counted : taken) = true;
    q.samples += m.quiet_samples;
    if (!m.quiet_margin) continue;
    ++q.summaries;
    q.seconds += m.quiet_seconds;
    if (!q.margin_min || *m.quiet_margin < *q.margin_min) {
      q.margin_min = m.quiet_margin;
      q.margin_min_at = m.at;
    }
    if (m.quiet_useful_max && (!q.useful_max || *m.quiet_useful_max > *q.useful_max))
      q.useful_max = m.quiet_useful_max;
    if (m.quiet_sd && m.quiet_samples > 0) {
      const double n = static_cast<double>(m.quiet_samples);
      squares += *m.quiet_sd * *m.quiet_sd * n;
      sd_samples += m.quiet_samples;
      // With each summary's mean the deviation over all of them is exact:
      // the sum of squares about zero, less the square of the whole mean.
      means = means && m.quiet_mean.has_value();
      if (m.quiet_mean) {
        sums += *m.quiet_mean * n;
        all_squares += (*m.quiet_sd * *m.quiet_sd + *m.quiet_mean * *m.quiet_mean) * n;
      }
      if (!q.useful_sd_max || *m.quiet_sd > *q.useful_sd_max) {
        q.useful_sd_max = m.quiet_sd;
        q.useful_sd_max_at = m.at;
      }
    }
  }
  if (sd_samples > 0) {
    const double n = static_cast<double>(sd_samples);
    q.useful_sd_exact = means;
    const double mean = sums / n;
    q.useful_sd = std::sqrt(means ? std::max(0.0, all_squares / n - mean * mean) : squares / n);
  }
  q.source = counted && taken ? QuietSource::Both
             : counted        ? QuietSource::QuietSamples
             : taken          ? QuietSource::SummariesWithoutAlarms
                              : QuietSource::None;
  return q;
}

const ReportAlarm* ReportData::WeakestDetection() const {
  const ReportAlarm* weakest = nullptr;
  for (const ReportAlarm& a : alarms)
    if (a.InTest() && a.margin && (weakest == nullptr || *a.margin < *weakest->margin)) weakest = &a;
  return weakest;
}

std::size_t ReportData::AlarmsOutsideTests() const {
  return static_cast<std::size_t>(
      std::count_if(alarms.begin(), alarms.end(), [](const ReportAlarm& a) { return !a.InTest(); }));
}

}  // namespace tarvin
