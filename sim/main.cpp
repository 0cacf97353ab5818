// tarvin_sim: the perimeter sensor on a pseudo-terminal, for tests and for
// running the program without a sensor on the desk. See --help.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "sim/frame_log.h"
#include "sim/replay.h"
#include "sim/sim_options.h"
#include "sim/simulator.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;

// Commands from a named FIFO (`tarvin_sim COM1 < sim-commands`): the simulator
// holds it open for writing too, so the end of one `echo ... > sim-commands`
// is not the end of its commands and the next one is read as well.
void HoldCommandFifoOpen() {
  struct stat st {};
  char target[4096] = {};
  if (::fstat(STDIN_FILENO, &st) != 0 || !S_ISFIFO(st.st_mode)) return;
  const ssize_t n = ::readlink("/proc/self/fd/0", target, sizeof target - 1);
  if (n <= 0 || target[0] != '/') return;                   // a pipe, whose writer decides when it ends
  (void)::open(target, O_WRONLY | O_NONBLOCK | O_CLOEXEC);  // kept for the whole run
}

void OnStopSignal(int) { g_stop = 1; }

}  // namespace

int main(int argc, char** argv) {
  using namespace tarvin::sim;
  CommandLine cl;
  std::string error;
  if (!ParseCommandLine(argc, argv, &cl, &error)) {
    std::fprintf(stderr, "tarvin_sim: %s\n", error.c_str());
    return 2;
  }
  if (cl.help) {
    std::fputs(HelpText().c_str(), stdout);
    return 0;
  }
  FrameLog log;
  if (cl.quiet) {
    log.Quiet();
  } else if (!log.OpenFile(cl.log_path.c_str(), static_cast<std::size_t>(cl.log_max_mb * 1024 * 1024))) {
    std::fprintf(stderr, "tarvin_sim: cannot write the log %s\n", cl.log_path.c_str());
    return 2;
  }
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  std::signal(SIGPIPE, SIG_IGN);  // a reader of "ready" that went away must not end the sensor
  HoldCommandFifoOpen();

  if (!cl.replay_path.empty()) {
    std::vector<tarvin::LineRun> runs;
    if (!tarvin::ReadLineRuns(cl.replay_path, &runs, &error)) {
      std::fprintf(stderr, "tarvin_sim: --replay: %s\n", error.c_str());
      return 2;
    }
    if (cl.replay_run > runs.size()) {
      std::fprintf(stderr, "tarvin_sim: --run %zu: %s holds %zu run%s\n", cl.replay_run,
                   cl.replay_path.c_str(), runs.size(), runs.size() == 1 ? "" : "s");
      return 2;
    }
    Replay replay(ReplayOptions{cl.sim.link_path, cl.sim.pace}, tarvin::ChunksOfRuns(runs, cl.replay_run),
                  log);
    return replay.Run(&g_stop);
  }

  Simulator simulator(cl.sim, log);
  if (!simulator.Start(&error)) {
    std::fprintf(stderr, "tarvin_sim: %s\n", error.c_str());
    return 1;
  }
  return simulator.Run(&g_stop);
}
