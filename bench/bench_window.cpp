// The window's half of a sample: the real TFmain, offscreen, at its initial
// size, with the oscilloscope at its widest window (5000). Measured:
//  - AppendScopeSample through the Qt sink into the grid and the chart, without
//    redrawing: the cost of one sample on the tick;
//  - one 40 ms tick of TimerRv at the line's full rate (3 chart frames through
//    LinkTick, the diagnostics, the grid and the chart) followed by the one
//    redraw it asks for, reported per tick and as the chart's own replot time.
#include <benchmark/benchmark.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <memory>
#include <string>

#include "app/fmain.h"
#include "bench/alloc_count.h"
#include "bench/bench_support.h"
#include "chart/chart_view.h"
#include "link/port_fake.h"
#include "tests/support/session_parts.h"

namespace tarvin::bench {
namespace {

// Answers every box silently: nothing modal may open in a benchmark.
class SilentBoxes : public Boxes {
 public:
  void Inform(const Box&) override {}
  bool AskYesNo(const std::string&, const std::string&) override { return false; }
  std::optional<std::string> AskText(const std::string&, const std::string&, const std::string&) override {
    return std::nullopt;
  }
  std::optional<int> AskNumber(const std::string&, const std::string&, int, int, int) override {
    return std::nullopt;
  }
  std::optional<std::string> AskOpenFile(const std::string&) override { return std::nullopt; }
  std::optional<SavePick> AskSaveFile(const std::string&, const std::string&, const std::string&,
                                      const std::vector<std::string>&) override {
    return std::nullopt;
  }
};

// The window with its port open on a fake line and the chart started, as the
// operator leaves it after "ПУСК" with EditX at 5000. No periodic requests:
// no reply would come, and a lost link would change the picture mid-run.
struct WindowUnderTest {
  WindowUnderTest() {
    QDir(folder.path()).mkdir("Chart4pF");
    const QString here = QDir::currentPath();
    QDir::setCurrent(folder.path());
    auto fake = std::make_unique<FakePort>();
    port = fake.get();
    window = std::make_unique<TFmain>(&boxes, std::move(fake));
    QDir::setCurrent(here);
    window->Session().Halt(tarvin::SessionSchedule::Cadence::Poll);
    window->show();
    QApplication::processEvents();

    window->Controls().EditX->setText("5000");
    window->EditXExit();
    StartChartAnswered(*port, SessionParts::Engine(window->Session()));
    ScopeModel& scope = SessionParts::Scope(window->Session());
    for (uint32_t n = 0; n < kHistorySize + 1; ++n) scope.AppendScopeSample(SampleNumber(next++));
    window->Controls().Chart4->ReplotIfDirty();
    QApplication::processEvents();
  }

  QTemporaryDir folder;
  SilentBoxes boxes;
  FakePort* port = nullptr;
  std::unique_ptr<TFmain> window;
  uint32_t next = 0;
};

// Made in main, after the application object, and gone before it.
WindowUnderTest* g_window = nullptr;
WindowUnderTest& Window() { return *g_window; }

void BM_WindowAppendScopeSample(benchmark::State& state) {
  WindowUnderTest& w = Window();
  ScopeModel& scope = SessionParts::Scope(w.window->Session());
  if (!CountingWorks()) state.SkipWithError("allocations are not being counted");
  ResetAllocations();
  for (auto _ : state) {
    AllocationScope counting;
    scope.AppendScopeSample(SampleNumber(w.next++));
  }
  // Leave nothing queued for the next benchmark.
  w.window->Controls().Chart4->ReplotIfDirty();
  QApplication::processEvents();
  state.SetItemsProcessed(state.iterations());
  state.counters["points_per_series"] = w.window->Controls().Chart4->PointsOf(Series::Series12);
  state.counters["mallocs_per_sample"] =
      static_cast<double>(Allocations()) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_WindowAppendScopeSample);

// The same with the history out of the caches before each sample, as in the
// running program, where a redraw and other programs pass between two ticks:
// the shift of 5 × 5000 entries then runs at memory speed.
void BM_WindowAppendScopeSampleColdHistory(benchmark::State& state) {
  WindowUnderTest& w = Window();
  ScopeModel& scope = SessionParts::Scope(w.window->Session());
  const auto* begin = reinterpret_cast<const char*>(&scope.ScopeHistory());
  const auto* end = begin + sizeof(ScopeHistoryArrays);
#if !defined(__SSE2__)
  state.SkipWithError("needs SSE2's cache-line flush");
#endif
  for (auto _ : state) {
    state.PauseTiming();
#if defined(__SSE2__)
    for (const char* p = begin; p < end; p += 64) _mm_clflush(p);
    _mm_mfence();
#endif
    state.ResumeTiming();
    scope.AppendScopeSample(SampleNumber(w.next++));
  }
  w.window->Controls().Chart4->ReplotIfDirty();
  QApplication::processEvents();
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_WindowAppendScopeSampleColdHistory);

// One iteration is one tick at the line's rate: 3 chart frames (3 × 49 of the
// 154 characters of 40 ms), then the event loop runs the redraw the tick queued.
void BM_WindowTickAndReplot(benchmark::State& state) {
  WindowUnderTest& w = Window();
  ChartView* chart = w.window->Controls().Chart4;
  int replots = 0;
  const auto counted = QObject::connect(chart, &QCustomPlot::afterReplot, [&replots] { ++replots; });
  double replot_ms = 0;
  constexpr int kFramesPerTick = 3;
  for (auto _ : state) {
    state.PauseTiming();
    std::string batch;
    for (int i = 0; i < kFramesPerTick; ++i) batch += ChartFrame(SampleNumber(w.next++));
    w.port->Deliver(batch);
    state.ResumeTiming();
    w.window->TimerRvTimer();
    QApplication::processEvents();
    replot_ms += chart->replotTime();
  }
  QObject::disconnect(counted);
  if (replots != state.iterations()) state.SkipWithError("not one redraw per tick");
  state.SetItemsProcessed(state.iterations() * kFramesPerTick);
  state.counters["replot_us"] = 1000.0 * replot_ms / static_cast<double>(state.iterations());
  state.counters["s_per_sample"] =
      benchmark::Counter(static_cast<double>(state.iterations() * kFramesPerTick),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  // The share of one core the chart would take at 25 ticks a second.
  state.counters["core_share_at_25Hz"] =
      benchmark::Counter(static_cast<double>(state.iterations()) / 25.0,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_WindowTickAndReplot)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tarvin::bench

int main(int argc, char** argv) {
  // Offscreen unless the caller chose a display.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromUtf8(tarvin::kAppTitle));
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  auto window = std::make_unique<tarvin::bench::WindowUnderTest>();
  tarvin::bench::g_window = window.get();
  benchmark::RunSpecifiedBenchmarks();
  tarvin::bench::g_window = nullptr;
  window.reset();
  benchmark::Shutdown();
  return 0;
}
