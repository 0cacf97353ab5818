// Throughput of LinkTick on a stream of chart frames, and proof that nothing
// is allocated per frame. The line carries 3840 characters a second; the
// engine must keep up with a thousand times that on one core.
#include <benchmark/benchmark.h>

#include <string>

#include "bench/alloc_count.h"
#include "bench/bench_support.h"
#include "bench/tick_loop.h"
#include "engine/link_engine.h"
#include "link/port_fake.h"

namespace tarvin::bench {
namespace {

class CountingScope : public ScopeInput {
 public:
  void AppendScopeSample(const ScopeSample& sample) override {
    ++samples;
    benchmark::DoNotOptimize(sample);
  }
  void ArmSaveOnAlarm() override {}
  long long samples = 0;
};

// One iteration is one tick draining `range(0)` chart frames.
void BM_LinkTickChartFrames(benchmark::State& state) {
  FakePort port;
  NullSink sink;
  CountingScope scope;
  LinkEngine engine(port, sink, scope);
  engine.OpenPort(1);
  StartChartAnswered(port, engine);

  const TickRun run = TimeTicksOverChartFrames(state, port, engine, static_cast<int>(state.range(0)));
  const long long frames = run.frames;
  const std::string& batch = run.batch;
  if (scope.samples != frames) state.SkipWithError("a chart frame was lost");
  const double chars = static_cast<double>(batch.size()) * static_cast<double>(state.iterations());
  state.SetBytesProcessed(static_cast<int64_t>(chars));
  state.SetItemsProcessed(frames);
  state.counters["chars_per_s"] = benchmark::Counter(chars, benchmark::Counter::kIsRate);
  state.counters["x_line_rate"] =
      benchmark::Counter(chars / kLineCharsPerSecond, benchmark::Counter::kIsRate);
  state.counters["allocs_per_frame"] =
      frames == 0 ? 0.0 : static_cast<double>(Allocations()) / static_cast<double>(frames);
}
BENCHMARK(BM_LinkTickChartFrames)->Arg(3)->Arg(80);

}  // namespace
}  // namespace tarvin::bench
