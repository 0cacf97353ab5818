// The timed loop both LinkTick benchmarks run: one tick an iteration, over a
// batch of chart frames delivered to the fake port outside the timing.
#pragma once

#include <benchmark/benchmark.h>

#include <string>

#include "bench/alloc_count.h"
#include "bench/bench_support.h"
#include "engine/link_engine.h"
#include "link/port_fake.h"

namespace tarvin::bench {

struct TickRun {
  std::string batch;     // the frames of one tick
  long long frames = 0;  // frames fed over all iterations
};

inline TickRun TimeTicksOverChartFrames(benchmark::State& state, FakePort& port, LinkEngine& engine,
                                        int frames_per_tick) {
  TickRun run;
  for (int i = 0; i < frames_per_tick; ++i) run.batch += ChartFrame(SampleNumber(static_cast<uint32_t>(i)));
  if (!CountingWorks()) state.SkipWithError("allocations are not being counted");
  ResetAllocations();
  for (auto _ : state) {
    state.PauseTiming();
    port.Deliver(run.batch);
    state.ResumeTiming();
    {
      AllocationScope counting;
      engine.LinkTick();
    }
    run.frames += frames_per_tick;
  }
  return run;
}

}  // namespace tarvin::bench
