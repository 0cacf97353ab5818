// Throughput of LinkTick on a stream of chart frames, and proof that nothing
// is allocated per frame. The line carries 3840 characters a second; the
// engine must keep up with a thousand times that on one core.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "engine/link_engine.h"
#include "link/frame_codec.h"
#include "link/port_fake.h"

namespace {

std::atomic<bool> g_counting{false};
std::atomic<long long> g_allocations{0};

}  // namespace

// Every allocation of the process passes here; only those inside LinkTick count.
void* operator new(std::size_t size) {
  if (g_counting.load(std::memory_order_relaxed)) g_allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace tarvin {
namespace {

class NullSink : public EngineSink {
 public:
  void Post(Notice) override {}
  void ShowBox(const Box&) override {}
  void SetStatusPanel(int, const std::string&) override {}
  void SetBalance(const std::string&, uint32_t, uint32_t) override {}
  void SetFirmware(const std::string&, const std::string&) override {}
  void SetDirectComponentText(const std::string&) override {}
  void SetBufferLengthText(const std::string&) override {}
  void SetNetworkAddressRead(const std::string&) override {}
  void SetPicture(Picture) override {}
  void SetTimerRv(bool) override {}
  void SetChartButton(bool) override {}
  void SetSaveOnAlarmButton(bool) override {}
  void ScopeGrid(float, uint32_t, uint32_t) override {}
  void ScopeAddPoints(uint16_t, const ScopeSample&) override {}
  void ScopeClear() override {}
  void ScopeDropOldest() override {}
  void ScopeAxis(int32_t, int32_t) override {}
  void ScopeShowStored(const Oscillogram&) override {}
};

class CountingScope : public ScopeInput {
 public:
  void AppendScopeSample(const ScopeSample& sample) override {
    ++samples;
    benchmark::DoNotOptimize(sample);
  }
  void ArmSaveOnAlarm() override {}
  long long samples = 0;
};

std::string ChartFrame(uint16_t n) {
  std::vector<uint16_t> words = {0x0142, n, 0x0001, 0x1234, 0x0000, 0xFFFF, 0x0000, 0x0100, 0x0000, 0x0000, 0x4228};
  words.push_back(Calc_KS(words.data(), static_cast<uint16_t>(words.size())));
  std::string out(FrameLength(static_cast<uint16_t>(words.size())), '\0');
  Write_Frame(kStreamStart, words.data(), static_cast<uint16_t>(words.size()), out.data(), out.size());
  return out;
}

// One iteration is one tick draining `range(0)` chart frames.
void BM_LinkTickChartFrames(benchmark::State& state) {
  FakePort port;
  NullSink sink;
  CountingScope scope;
  LinkEngine engine(port, sink, scope);
  engine.Open_Port(1);
  engine.ChartTag = 1;

  const auto frames_per_tick = static_cast<int>(state.range(0));
  std::string batch;
  for (int i = 0; i < frames_per_tick; ++i) batch += ChartFrame(static_cast<uint16_t>(i));

  long long frames = 0;
  g_allocations = 0;
  for (auto _ : state) {
    state.PauseTiming();
    port.Deliver(batch);
    state.ResumeTiming();
    g_counting = true;
    engine.LinkTick();
    g_counting = false;
    frames += frames_per_tick;
  }
  if (scope.samples != frames) state.SkipWithError("a chart frame was lost");
  state.SetBytesProcessed(static_cast<int64_t>(batch.size()) * state.iterations());
  state.SetItemsProcessed(frames);
  state.counters["chars_per_s"] =
      benchmark::Counter(static_cast<double>(batch.size()) * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate);
  state.counters["x_line_rate"] =
      benchmark::Counter(static_cast<double>(batch.size()) * static_cast<double>(state.iterations()) / 3840.0,
                         benchmark::Counter::kIsRate);
  state.counters["allocs_per_frame"] =
      frames == 0 ? 0.0 : static_cast<double>(g_allocations.load()) / static_cast<double>(frames);
}
BENCHMARK(BM_LinkTickChartFrames)->Arg(3)->Arg(80);

}  // namespace
}  // namespace tarvin

BENCHMARK_MAIN();
