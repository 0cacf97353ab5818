// The program's window as tarvin9 builds it, driven like an operator would for
// the whole-program measurement (bench/whole_program.sh): once the link is up,
// EditX gets 5000 through its exit handler and "ПУСК" is clicked; then, after a
// warm-up, the process measures itself for a while and prints one figure a line:
//   startup_ms, cpu_percent, label35_max_us (and every Label35 value seen), the
//   wall and CPU time of the LinkTick passes, samples_received, samples_lost,
//   replots_per_s, replot_ms_mean, replot_ms_max, bad_frames, overflows, vmhwm_kb.
// With --startup-only it prints startup_ms once the first frame is on screen and ends.
// --no-journal builds the window without its event journal, and --save-on-alarm
// clicks "Разрешить сохранение осциллограмм по срабатыванию" too: with both the
// journal's cost shows beside a run that keeps it (bench/journal_cost.sh).
// --port N fixes the window's port to the platform's port N whatever it opens
// (COM7 under Wine, bench/windows_window.sh); without it the window opens its
// own port 1, the entry COM1 of the working folder on Linux.
// The same program builds for Windows: what it reads about its own process is
// in process_stats_*.cpp.
#include <CLI/CLI.hpp>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/fmain.h"
#include "app/translations.h"
#include "bench/process_stats.h"
#include "chart/chart_view.h"
#include "link/serial_port.h"
#include "tests/support/session_parts.h"

namespace {

using tarvin::bench::MsSinceProcessStart;

struct Options {
  bool startup_only = false;
  int window_length = 5000;
  double warmup_s = 10;
  double measure_s = 60;
  double link_wait_s = 30;
  bool no_journal = false;
  bool save_on_alarm = false;
  int port = 0;  // 0: the window's own choice
};

void Figure(const char* key, double value) {
  std::printf("%s %.3f\n", key, value);
  std::fflush(stdout);
}

// The platform's port, opened as port `number` whatever number the window
// asks for: under Wine the window's port 1 would be this machine's own serial
// port, so the benchmark sends it to the port mapped to the simulator.
class FixedNumberPort : public tarvin::SerialPort {
 public:
  // On Linux port N is the entry COMn of the working folder, as for the window.
  explicit FixedNumberPort(int16_t number) : port_(tarvin::MakeNativePort(".")), number_(number) {}

  tarvin::OpenResult Open(int16_t) override { return port_->Open(number_); }
  bool IsOpen() const override { return port_->IsOpen(); }
  int ReadByte(uint8_t* byte) override { return port_->ReadByte(byte); }
  bool WriteByte(uint8_t byte) override { return port_->WriteByte(byte); }
  void PurgeOutput() override { port_->PurgeOutput(); }
  void PurgeInputOutput() override { port_->PurgeInputOutput(); }
  void Close() override { port_->Close(); }
  std::string LastError() const override { return port_->LastError(); }
  std::string LastDevice() const override { return port_->LastDevice(); }
  tarvin::OpenFailure LastFailure() const override { return port_->LastFailure(); }
  std::string LastDeviceGroup() const override { return port_->LastDeviceGroup(); }

 private:
  std::unique_ptr<tarvin::SerialPort> port_;
  int16_t number_;
};

// Follows the simulator's sample numbers (ekClimate) through the history: every
// sample sent since the last look must be there, in order, without a gap.
class SampleContinuity {
 public:
  explicit SampleContinuity(const tarvin::ScopeModel& scope) : scope_(scope) {}

  void Look() {
    const uint16_t window = scope_.WindowLength();
    if (scope_.PointCount() == 0 || window < 2) return;
    const uint32_t* h = scope_.ScopeHistory().ekClimate;
    const uint32_t newest = h[window - 1];
    if (!started_) {
      started_ = true;
      last_ = newest;
      return;
    }
    // Walk back from the newest entry to the one seen last time.
    int i = window - 1;
    while (i > 0 && h[i] != last_ && h[i] > last_) {
      if (h[i] - h[i - 1] != 1) lost_ += h[i] - h[i - 1] - 1;
      --i;
    }
    if (h[i] != last_) ++unfollowed_;  // the last one seen scrolled out: should never happen
    received_ += (window - 1) - i;
    last_ = newest;
  }

  long long received() const { return received_; }
  long long lost() const { return lost_ + unfollowed_; }

 private:
  const tarvin::ScopeModel& scope_;
  bool started_ = false;
  uint32_t last_ = 0;
  long long received_ = 0, lost_ = 0, unfollowed_ = 0;
};

// The engine's clock for Label35, wrapped: each pass of LinkTick is also
// recorded, in wall time and in the thread's CPU time, so that a slow pass can
// be told apart from a pass that was only waiting for the processor.
struct TickRecord {
  bool in_tick = false;
  bool recording = false;
  int64_t wall0 = 0, cpu0 = 0;
  std::vector<double> wall_us, cpu_us;
} g_ticks;

int64_t RecordingClock() {
  const int64_t wall = std::chrono::duration_cast<std::chrono::nanoseconds>(
                           std::chrono::steady_clock::now().time_since_epoch())
                           .count();
  const int64_t cpu = tarvin::bench::ThreadCpuNs();
  if (!g_ticks.in_tick) {
    g_ticks.wall0 = wall;
    g_ticks.cpu0 = cpu;
  } else if (g_ticks.recording) {
    g_ticks.wall_us.push_back(static_cast<double>(wall - g_ticks.wall0) / 1000.0);
    g_ticks.cpu_us.push_back(static_cast<double>(cpu - g_ticks.cpu0) / 1000.0);
  }
  g_ticks.in_tick = !g_ticks.in_tick;
  return wall;
}

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, static_cast<std::size_t>(p * static_cast<double>(v.size())))];
}

// Marks the first frame on screen: the first expose of the window, once the
// event loop has painted it.
class FirstFrame : public QObject {
 public:
  explicit FirstFrame(std::function<void()> done) : done_(std::move(done)) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (!seen_ && event->type() == QEvent::Expose && static_cast<QWindow*>(watched)->isExposed()) {
      seen_ = true;
      QTimer::singleShot(0, this, [this] { done_(); });
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  std::function<void()> done_;
  bool seen_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  Options opt;
  CLI::App cli("The real window against the simulator, measuring itself", "window_harness");
  cli.add_flag("--startup-only", opt.startup_only,
               "print startup_ms once the first frame is on screen and end");
  cli.add_flag("--no-journal", opt.no_journal, "build the window without its event journal");
  cli.add_flag("--save-on-alarm", opt.save_on_alarm, "also allow automatic saves on alarm");
  cli.add_option("--window", opt.window_length, "EditX: the chart's window in samples")
      ->capture_default_str();
  cli.add_option("--warmup", opt.warmup_s, "seconds of streaming before measuring")->capture_default_str();
  cli.add_option("--measure", opt.measure_s, "seconds measured")->capture_default_str();
  cli.add_option("--link-wait", opt.link_wait_s, "seconds to wait for the link")->capture_default_str();
  cli.add_option("--port", opt.port, "open the platform's port N instead of the window's choice")
      ->check(CLI::Range(1, 70));
  CLI11_PARSE(cli, argc, argv);

  // As tarvin9 does (app/main.cpp). The stages of the start-up go to standard error.
  const double at_main = MsSinceProcessStart();
  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromUtf8(tarvin::kAppTitle));
  tarvin::InstallQtTranslations(app, QCoreApplication::applicationDirPath());
  const double at_app = MsSinceProcessStart();
  std::unique_ptr<tarvin::SerialPort> port;
  if (opt.port != 0) port = std::make_unique<FixedNumberPort>(static_cast<int16_t>(opt.port));
  tarvin::TFmain window(nullptr, std::move(port), nullptr, !opt.no_journal);
  const double at_window = MsSinceProcessStart();

  double at_show = 0;
  FirstFrame first_frame([&] {
    const double at_frame = MsSinceProcessStart();
    std::fprintf(stderr,
                 "startup stages (ms since process start): main %.0f, application %.0f, window built %.0f, "
                 "shown %.0f, first frame %.0f\n",
                 at_main, at_app, at_window, at_show, at_frame);
    Figure("startup_ms", at_frame);
    // The wall clock at the first frame, for a start-up measured from outside (Wine's own start included).
    Figure("first_frame_unix_ms", static_cast<double>(std::chrono::duration_cast<std::chrono::microseconds>(
                                                          std::chrono::system_clock::now().time_since_epoch())
                                                          .count()) /
                                      1000.0);
    if (opt.startup_only) QCoreApplication::exit(0);
  });
  window.show();
  at_show = MsSinceProcessStart();
  window.windowHandle()->installEventFilter(&first_frame);
  if (opt.startup_only) return app.exec();

  auto* chart = window.findChild<QCustomPlot*>("Chart4");
  auto* label35 = window.findChild<QLabel*>("Label35");
  auto* edit_x = window.findChild<QLineEdit*>("EditX");
  auto* start = window.findChild<QPushButton*>("BitBtnEnable4pF");
  if (!chart || !label35 || !edit_x || !start) {
    std::fprintf(stderr, "a control was not found by its name\n");
    return 1;
  }
  tarvin::LinkEngine& engine = tarvin::SessionParts::Engine(window.Session());
  engine.SetClock(RecordingClock);
  g_ticks.wall_us.reserve(1 << 16);
  g_ticks.cpu_us.reserve(1 << 16);
  SampleContinuity continuity(window.Scope());

  bool measuring = false;
  long long replots = 0;
  double replot_ms_sum = 0, replot_ms_max = 0;
  long long label35_max = -1;
  QString label35_last;
  std::string label35_seen;  // every value shown while measuring, for the spread
  QElapsedTimer replot_clock;
  QObject::connect(chart, &QCustomPlot::beforeReplot, [&] { replot_clock.start(); });
  QObject::connect(chart, &QCustomPlot::afterReplot, [&] {
    if (!measuring) return;
    const double ms = static_cast<double>(replot_clock.nsecsElapsed()) / 1e6;
    ++replots;
    replot_ms_sum += ms;
    replot_ms_max = std::max(replot_ms_max, ms);
  });

  double cpu_begin = 0;
  QElapsedTimer measure_clock;
  const auto end_measuring = [&] {
    const double cpu_end = tarvin::bench::ProcessCpuSeconds();
    const double wall_s = static_cast<double>(measure_clock.nsecsElapsed()) / 1e9;
    measuring = false;
    continuity.Look();
    const double cpu_s = cpu_end - cpu_begin;
    Figure("measured_s", wall_s);
    Figure("cpu_percent", 100.0 * cpu_s / wall_s);
    Figure("label35_max_us", static_cast<double>(label35_max));
    std::printf("label35_seen%s\n", label35_seen.c_str());
    g_ticks.recording = false;
    Figure("tick_wall_us_median", Percentile(g_ticks.wall_us, 0.5));
    Figure("tick_wall_us_p99", Percentile(g_ticks.wall_us, 0.99));
    Figure("tick_wall_us_max", Percentile(g_ticks.wall_us, 1.0));
    Figure("tick_cpu_us_median", Percentile(g_ticks.cpu_us, 0.5));
    Figure("tick_cpu_us_p99", Percentile(g_ticks.cpu_us, 0.99));
    Figure("tick_cpu_us_max", Percentile(g_ticks.cpu_us, 1.0));
    Figure("samples_received", static_cast<double>(continuity.received()));
    Figure("samples_lost", static_cast<double>(continuity.lost()));
    Figure("samples_per_s", static_cast<double>(continuity.received()) / wall_s);
    Figure("replots_per_s", static_cast<double>(replots) / wall_s);
    Figure("replot_ms_mean", replots ? replot_ms_sum / static_cast<double>(replots) : 0.0);
    Figure("replot_ms_max", replot_ms_max);
    Figure("bad_frames", engine.Counters().ChecksumErrors);
    Figure("overflows", engine.Counters().Overflow_buffer);
    Figure("vmhwm_kb", static_cast<double>(tarvin::bench::PeakResidentKb()));
    Figure("vmrss_kb", static_cast<double>(tarvin::bench::ResidentKb()));
    Figure("journal_events",
           window.EventJournal() ? static_cast<double>(window.EventJournal()->Events().LastSeq()) : 0);
    QCoreApplication::exit(0);  // not quit(): that would ask the window to close, and it asks the operator
  };
  const auto begin_measuring = [&] {
    measuring = true;
    g_ticks.recording = true;
    cpu_begin = tarvin::bench::ProcessCpuSeconds();
    measure_clock.start();
    continuity.Look();
    Figure("measure_begin", 1);
    QTimer::singleShot(static_cast<int>(opt.measure_s * 1000), Qt::PreciseTimer, end_measuring);
  };

  // Label35 changes every 50 ticks (2 s); the history is followed each second.
  QTimer watch;
  watch.setInterval(250);
  int watch_ticks = 0;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (!measuring) return;
    bool ok = false;
    const long long us = label35->text().toLongLong(&ok);
    if (ok && label35->text() != label35_last) {
      label35_last = label35->text();
      label35_seen += " " + label35_last.toStdString();
    }
    if (ok) label35_max = std::max(label35_max, us);
    if (++watch_ticks % 4 == 0) continuity.Look();
  });
  watch.start();

  // Waits for the link and the sensor's standby, then operates the window.
  QTimer link_poll;
  QElapsedTimer link_clock;
  link_clock.start();
  link_poll.setInterval(50);
  QObject::connect(&link_poll, &QTimer::timeout, [&] {
    if (link_clock.elapsed() > opt.link_wait_s * 1000) {
      std::fprintf(stderr, "the link did not come up\n");
      QApplication::exit(1);
      return;
    }
    if (engine.LinkState() != tarvin::LinkState::Up || engine.PollStage() != tarvin::PollStage::Status)
      return;
    link_poll.stop();
    edit_x->setText(QString::number(opt.window_length));
    bool accepted = false;
    QMetaObject::invokeMethod(&window, "EditXExit", Q_RETURN_ARG(bool, accepted));
    if (!accepted) {
      std::fprintf(stderr, "EditX refused %d\n", opt.window_length);
      QApplication::exit(1);
      return;
    }
    if (opt.save_on_alarm) {
      auto* save_on_alarm = window.findChild<QPushButton*>("BitBtnEnableSaveChartAlarm");
      if (save_on_alarm != nullptr) save_on_alarm->click();
    }
    start->click();
    Figure("started_s", static_cast<double>(link_clock.elapsed()) / 1000.0);
    QTimer::singleShot(static_cast<int>(opt.warmup_s * 1000), Qt::PreciseTimer, begin_measuring);
  });
  link_poll.start();

  return app.exec();
}
