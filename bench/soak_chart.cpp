// Soak: a long chart stream through the link engine and the scope model, with
// status polls between the frames and automatic saves now and then. Resident
// memory must stay flat after the warm-up and no sample may be lost.
//
//   soak_chart fake [FRAMES]          frames fed to the fake port, as fast as the
//                                     engine takes them (default 1000000)
//   soak_chart pty SECONDS [PACE]     the simulator over a pseudo-terminal at
//                                     PACE times the line's rate (default 20),
//                                     the window's timers at their own pace
//   TARVIN_SOAK_SAVE_EVERY=N          a level crossing every N fake frames
//                                     (default 20000; 0: no automatic save)
//
// Exit status 0 when every check held. One line of figures per report.
#include <malloc.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_support.h"
#include "engine/link_engine.h"
#include "link/frame_codec.h"
#include "link/port_fake.h"
#include "link/sensor_protocol.h"
#include "scope/scope_model.h"
#include "session/sensor_session.h"
#include "tests/support/session_parts.h"
#include "tests/support/sim_process.h"

namespace tarvin {
namespace {

// A line of /proc/self/status ("VmRSS", "RssAnon", "RssFile"), in kilobytes.
long StatusKb(const char* key) {
  std::FILE* f = std::fopen("/proc/self/status", "r");
  if (f == nullptr) return -1;
  char line[256];
  long kb = -1;
  const std::size_t n = std::strlen(key);
  while (std::fgets(line, sizeof line, f) != nullptr) {
    if (std::strncmp(line, key, n) == 0 && line[n] == ':') {
      kb = std::atol(line + n + 1);
      break;
    }
  }
  std::fclose(f);
  return kb;
}

long ResidentKb() {
  const long kb = StatusKb("VmRSS");
  if (std::getenv("TARVIN_SOAK_TRACE") != nullptr)
    std::printf("resident %ld KB: anonymous %ld, files %ld\n", kb, StatusKb("RssAnon"), StatusKb("RssFile"));
  return kb;
}

// Checks each sample against the sensor's numbering and counts boxes.
class SoakSink : public NullSessionSink {
 public:
  void Post(Notice n) override {
    if (n == Notice::LinkLost) ++lost;
  }
  void ShowBox(const Message& message) override {
    ++boxes;
    if (boxes <= 3)
      std::fprintf(stderr, "box: %d %s\n", static_cast<int>(message.code), message.path.c_str());
  }
  void ScopeAddPoints(uint16_t, const ScopeSample& s) override {
    if (samples > 0 && s.ekClimate != last + 1) ++gaps;
    last = s.ekClimate;
    ++samples;
  }

  long long samples = 0, gaps = 0, boxes = 0, lost = 0;
  uint32_t last = 0;
};

std::string Frame(char start, std::vector<uint16_t> words) {
  words.push_back(Calc_KS(words.data(), static_cast<uint16_t>(words.size())));
  std::string out(FrameLength(static_cast<uint16_t>(words.size())), '\0');
  Write_Frame(start, words.data(), static_cast<uint16_t>(words.size()), out.data(), out.size());
  return out;
}

// A chart frame numbered n; every `save_every`th (0: none) carries a threshold
// above the save level, so the automatic save writes a file now and then.
long g_save_every = 20000;

std::string ChartFrame(uint32_t n) {
  const bool high = g_save_every > 0 && n % g_save_every == 0;
  const uint16_t threshold_high = high ? 0x4248 /* 50.0 */ : 0x41F0 /* 30.0 */;
  return Frame(kStreamStart, {0x0142, static_cast<uint16_t>(8 + n % 5), 0, 3, 0, static_cast<uint16_t>(n),
                              static_cast<uint16_t>(n >> 16), 60, 0, 0x0000, threshold_high});
}

struct Memory {
  long warm = 0, low = 0, high = 0;
  void Sample(long kb) {
    if (warm == 0) {
      warm = low = high = kb;
      return;
    }
    low = std::min(low, kb);
    high = std::max(high, kb);
  }
  bool Flat() const { return warm > 0 && high <= warm * 105 / 100 && low >= warm * 95 / 100; }
};

void Report(const char* mode, long long frames, double seconds, const SoakSink& sink,
            const LinkEngine& engine, const Memory& m, std::size_t files) {
  std::printf(
      "%s: %lld frames in %.1f s (%.0f frames/s), %lld samples, %lld gaps, ChecksumErrors %d, overflows %d, "
      "time-outs %d, link lost %lld, boxes %lld, auto-saved files %zu; resident %ld KB after warm-up, "
      "%ld..%ld KB (%+.2f%%..%+.2f%%)\n",
      mode, frames, seconds, frames / seconds, sink.samples, sink.gaps, engine.Counters().ChecksumErrors,
      engine.Counters().Overflow_buffer, engine.Counters().Time_out, sink.lost, sink.boxes, files, m.warm,
      m.low, m.high, 100.0 * (m.low - m.warm) / m.warm, 100.0 * (m.high - m.warm) / m.warm);
  // Bytes the heap holds in use: growth here would be a leak, not fragmentation.
  std::printf("heap in use at the end: %zu bytes\n", static_cast<std::size_t>(mallinfo2().uordblks));
  std::fflush(stdout);
}

std::size_t FilesIn(const std::string& folder) {
  std::size_t n = 0;
  for (const auto& e : std::filesystem::directory_iterator(folder)) n += e.is_regular_file() ? 1 : 0;
  return n;
}

std::string ScratchFolder() {
  const auto path = std::filesystem::temp_directory_path() / ("tarvin-soak-" + std::to_string(::getpid()));
  std::filesystem::create_directories(path / "Chart4pF");
  return path.string() + "/";
}

int Fake(long long total) {
  const std::string work = ScratchFolder();
  FakePort port;
  SoakSink sink;
  SensorSession session(port, sink, nullptr);
  ScopeModel& model = SessionParts::Scope(session);
  model.SetScopeFolder(work + "Chart4pF/");
  model.SetDefaults();
  LinkEngine& engine = SessionParts::Engine(session);
  engine.OpenPort(1);
  bench::StartChartAnswered(port, engine);

  const std::string status = Frame(kReplyStart, {protocol::HeadWord(protocol::Code::kStatus), 0x0000});
  const long long warm_up = total / 10;
  Memory memory;
  const auto start = std::chrono::steady_clock::now();
  std::string batch;
  uint32_t n = 0;
  long long ticks = 0;
  // About what the line brings in one 40 ms tick at full pace is 3 frames; a
  // burst of 80 a tick stresses the same paths with fewer ticks.
  while (n < total) {
    batch.clear();
    for (int i = 0; i < 80 && n < total; ++i) batch += ChartFrame(++n);
    if (engine.Exchange().AwaitingReply == 1) batch += status;  // the status poll's answer, between frames
    port.Deliver(batch);
    session.Tick();
    port.written.clear();  // the fake port's record of writes would grow for ever
    if (++ticks % 25 == 0) session.Poll();
    if (n % 100000 < 80 && n >= warm_up) memory.Sample(ResidentKb());
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  memory.Sample(ResidentKb());
  const std::size_t files = FilesIn(model.ScopeFolder());
  Report("fake port", n, seconds, sink, engine, memory, files);
  std::filesystem::remove_all(work);
  const bool ok = sink.samples == total && sink.gaps == 0 && engine.Counters().ChecksumErrors == 0 &&
                  sink.boxes == 0 && memory.Flat() && (files > 0 || g_save_every == 0);
  std::puts(ok ? "PASS" : "FAIL");
  return ok ? 0 : 1;
}

int Pty(double seconds, double pace) {
  const std::string work = ScratchFolder();
  testing::SimProcess sim;
  char pace_text[32];
  std::snprintf(pace_text, sizeof pace_text, "%g", pace);
  if (!sim.Start(work, {"--pace", pace_text, "--quiet"})) {
    std::fprintf(stderr, "the simulator did not start\n");
    return 2;
  }
  auto port = MakeNativePort(work);
  SoakSink sink;
  SensorSession session(*port, sink, nullptr);
  ScopeModel& model = SessionParts::Scope(session);
  model.SetScopeFolder(work + "Chart4pF/");
  model.SetDefaults();
  LinkEngine& engine = SessionParts::Engine(session);
  if (!engine.OpenPort(1)) return 2;

  // The session's own cadences, as every program runs them. A faster line only
  // puts more characters into each tick (the pseudo-terminal holds them, and
  // holds the simulator back when full: nothing is lost).
  auto next = std::chrono::steady_clock::now();
  session.Start(next);
  const auto run_until = [&](auto done, double limit_s) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(limit_s);
    while (!done() && std::chrono::steady_clock::now() < end) {
      std::this_thread::sleep_until(next);
      next = session.Step(std::chrono::steady_clock::now());
    }
    return done();
  };
  if (!run_until([&] { return engine.PollStage() == PollStage::Status; }, 20)) {
    std::fprintf(stderr, "no connection\n");
    return 2;
  }
  engine.StartChart();
  Memory memory;
  const auto start = std::chrono::steady_clock::now();
  const double warm_up = seconds / 10;
  double next_sample = warm_up;
  run_until(
      [&] {
        const double t = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (t >= next_sample) {
          memory.Sample(ResidentKb());
          next_sample += seconds / 20;
        }
        return t >= seconds;
      },
      seconds + 5);
  // The last figure before the reports: they page in code of their own.
  memory.Sample(ResidentKb());
  engine.StopChart();
  run_until([&] { return false; }, 1.0);
  const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const auto stats = sim.Stats();
  const std::size_t files = FilesIn(model.ScopeFolder());
  Report("pty", sink.samples, elapsed, sink, engine, memory, files);
  const long sent = stats.count("samples") ? stats.at("samples") : -1;
  std::printf("simulator sent %ld samples, pace %g\n", sent, pace);
  sim.Stop();
  std::filesystem::remove_all(work);
  // Samples sent after the stop was decided are not drawn: none may be missing before it.
  // A time-out is made up by a resend; counted above, it fails nothing.
  const bool ok = sink.gaps == 0 && engine.Counters().ChecksumErrors == 0 && sink.lost == 0 &&
                  memory.Flat() && sink.samples > 0 && sent >= sink.samples &&
                  sent - sink.samples < pace * 80;
  std::puts(ok ? "PASS" : "FAIL");
  return ok ? 0 : 1;
}

}  // namespace
}  // namespace tarvin

int main(int argc, char** argv) {
  if (const char* every = std::getenv("TARVIN_SOAK_SAVE_EVERY")) tarvin::g_save_every = std::atol(every);
  const std::string mode = argc > 1 ? argv[1] : "fake";
  if (mode == "fake") return tarvin::Fake(argc > 2 ? std::atoll(argv[2]) : 1000000);
  if (mode == "pty" && argc > 2) return tarvin::Pty(std::atof(argv[2]), argc > 3 ? std::atof(argv[3]) : 20.0);
  std::fprintf(stderr, "usage: soak_chart fake [FRAMES] | soak_chart pty SECONDS [PACE]\n");
  return 2;
}
