// What the minute summaries cost: one sample added up (inside the tick, at
// about 78 a second; no allocation allowed), and one summary written after
// the tick (once a minute), here to a journal with no file behind it.
#include <benchmark/benchmark.h>

#include "bench/alloc_count.h"
#include "bench/bench_support.h"
#include "journal/event_tracker.h"
#include "journal/walk_test.h"

namespace tarvin::bench {
namespace {

void BM_SummarySample(benchmark::State& state) {
  Journal journal;
  EventTracker tracker(journal);
  uint32_t n = 0;
  if (!CountingWorks()) state.SkipWithError("allocations are not being counted");
  ResetAllocations();
  for (auto _ : state) {
    AllocationScope counting;
    tracker.Sample(SampleNumber(n++));
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["allocs_per_sample"] =
      static_cast<double>(Allocations()) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_SummarySample);

// What the walk test and the quiet figures add to a sample when the sample
// is quiet: the peak followed and the quiet figures added up (Welford's sums).
void BM_QuietSample(benchmark::State& state) {
  QuietFigures quiet;
  DetectionPeak peak;
  uint32_t n = 0;
  if (!CountingWorks()) state.SkipWithError("allocations are not being counted");
  ResetAllocations();
  for (auto _ : state) {
    AllocationScope counting;
    const ScopeSample sample = SampleNumber(n++);
    peak.Add(sample);
    quiet.Add(sample);
  }
  benchmark::DoNotOptimize(quiet.Samples());
  state.SetItemsProcessed(state.iterations());
  state.counters["allocs_per_sample"] =
      static_cast<double>(Allocations()) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_QuietSample);

// One iteration: a minute's 4668 samples, then its summary written.
void BM_SummaryMinute(benchmark::State& state) {
  Journal journal;
  EventTracker tracker(journal);
  LinkCounters counters;
  auto now = std::chrono::steady_clock::time_point{} + std::chrono::hours(1);
  tracker.Summarise(now, counters, 40.0f);
  uint32_t n = 0;
  for (auto _ : state) {
    for (int i = 0; i < 4668; ++i) tracker.Sample(SampleNumber(n++));
    now += kSummaryEvery;
    tracker.Summarise(now, counters, 40.0f);
  }
  benchmark::DoNotOptimize(journal.LastSeq());
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SummaryMinute);

}  // namespace
}  // namespace tarvin::bench
