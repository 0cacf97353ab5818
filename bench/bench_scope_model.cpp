// The core's half of a sample: AppendScopeSample with a 5000-sample window
// (history shift and automatic-save step), and LinkTick feeding the real
// ScopeModel, so the whole path from characters to history is measured and
// checked for allocations.
#include <benchmark/benchmark.h>

#include <string>

#include "bench/alloc_count.h"
#include "bench/bench_support.h"
#include "bench/tick_loop.h"
#include "engine/link_engine.h"
#include "link/port_fake.h"
#include "scope/scope_model.h"
#include "session/sensor_session.h"
#include "tests/support/session_parts.h"

namespace tarvin::bench {
namespace {

// A model at its widest window, already full: every append shifts 5 × 4999
// entries and drops the oldest point.
void FillWideWindow(ScopeModel& scope) {
  scope.SetWindowLength("5000");
  for (uint32_t n = 0; n < kHistorySize + 1; ++n) scope.AppendScopeSample(SampleNumber(n));
}

void BM_AppendScopeSample(benchmark::State& state) {
  NullSink sink;
  ScopeModel scope(sink, sink);
  FillWideWindow(scope);

  uint32_t n = kHistorySize + 1;
  if (!CountingWorks()) state.SkipWithError("allocations are not being counted");
  ResetAllocations();
  for (auto _ : state) {
    AllocationScope counting;
    scope.AppendScopeSample(SampleNumber(n++));
  }
  benchmark::DoNotOptimize(scope.ScopeHistory().ekClimate[kHistorySize - 1]);
  state.SetItemsProcessed(state.iterations());
  state.counters["allocs_per_sample"] =
      static_cast<double>(Allocations()) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_AppendScopeSample);

// One iteration is one tick draining `range(0)` chart frames into the history.
void BM_LinkTickIntoScope(benchmark::State& state) {
  FakePort port;
  NullSink sink;
  SensorSession session(port, sink, nullptr);
  ScopeModel& scope = SessionParts::Scope(session);
  LinkEngine& engine = SessionParts::Engine(session);
  engine.OpenPort(1);
  StartChartAnswered(port, engine);
  FillWideWindow(scope);

  const uint16_t first_count = scope.PointCount();
  const TickRun run = TimeTicksOverChartFrames(state, port, engine, static_cast<int>(state.range(0)));
  const long long frames = run.frames;
  const std::string& batch = run.batch;
  // PointCount wraps at 65535: compare modulo the wrap.
  const long long drawn = (scope.PointCount() - first_count + 65535LL * (frames / 65535 + 1)) % 65535;
  if (drawn != frames % 65535) state.SkipWithError("a chart frame did not reach the history");
  const double chars = static_cast<double>(batch.size()) * static_cast<double>(state.iterations());
  state.SetBytesProcessed(static_cast<int64_t>(chars));
  state.SetItemsProcessed(frames);
  state.counters["x_line_rate"] =
      benchmark::Counter(chars / kLineCharsPerSecond, benchmark::Counter::kIsRate);
  state.counters["allocs_per_frame"] =
      frames == 0 ? 0.0 : static_cast<double>(Allocations()) / static_cast<double>(frames);
}
BENCHMARK(BM_LinkTickIntoScope)->Arg(3)->Arg(80);

}  // namespace
}  // namespace tarvin::bench
