// What the tests of the Windows programs under Wine share: spawning through
// Wine, the journals and paths the programs write, the simulator's port.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/read_text.h"

namespace tarvin::testing {

constexpr const char* kWinePort = "COM7";  // never COM1: Wine maps that to this machine's /dev/ttyS0

inline std::string Env(const char* name, const char* fallback = "") {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : fallback;
}

// `dir` (empty: this one) to start in, standard output and error into `log`.
inline ChildOptions Logged(const std::string& dir, const std::string& log) {
  ChildOptions options;
  options.dir = dir;
  options.output = log;
  return options;
}

// Runs `args` to the end as Logged says: its exit code, 128 + a signal that
// ended it, or -1 when it could not start.
inline int RunLogged(const std::vector<std::string>& args, const std::string& dir, const std::string& log) {
  ChildProcess child;
  return child.Start(args, Logged(dir, log)) ? child.Wait() : -1;
}

// The journal's whole lines so far; a line still being written is left for later.
inline std::vector<nlohmann::json> ReadJournal(const std::string& path) {
  std::vector<nlohmann::json> events;
  std::istringstream in(ReadText(path));
  for (std::string line; std::getline(in, line);) {
    const nlohmann::json event = nlohmann::json::parse(line, nullptr, false);
    if (!event.is_discarded()) events.push_back(event);
  }
  return events;
}

inline const nlohmann::json* Find(const std::vector<nlohmann::json>& events, const std::string& name) {
  for (const nlohmann::json& e : events)
    if (e.value("event", "") == name) return &e;
  return nullptr;
}

// A path the Windows program wrote ("Chart4pF\x.bin", "Z:\tmp\...\x.bin") as seen from here.
inline std::string HostPath(std::string path, const std::string& dir) {
  for (char& c : path)
    if (c == '\\') c = '/';
  if (path.size() > 2 && (path[0] == 'Z' || path[0] == 'z') && path[1] == ':') return path.substr(2);
  return path.empty() || path[0] == '/' ? path : dir + path;
}

// Every core kept busy while it lives, at the tests' own priority: the program
// under Wine must keep the line whole on a machine with other work, as on a
// slow PC or beside a build. Spinning threads, so nothing waits on the disk.
class BusyMachine {
 public:
  BusyMachine() {
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    for (unsigned i = 0; i < cores; ++i)
      spinners_.emplace_back([this] {
        volatile unsigned long spin = 0;
        while (!stop_.load(std::memory_order_relaxed)) spin = spin + 1;
      });
  }
  ~BusyMachine() {
    stop_ = true;
    for (std::thread& t : spinners_) t.join();
  }
  BusyMachine(const BusyMachine&) = delete;
  BusyMachine& operator=(const BusyMachine&) = delete;

 private:
  std::atomic<bool> stop_{false};
  std::vector<std::thread> spinners_;
};

// Points the Windows port `name` (COM7) at `device` (the simulator's
// /dev/pts/N). Wine reads the mapping when its server starts: set it, then
// wait for the server to end, so the next program reads it afresh.
// A wine command that meets the server on its way out (it ends a moment
// after the last program) is told "connection reset" and does nothing: it is
// run again, when a new server has started.
inline bool MapWinePort(const std::string& name, const std::string& device, const std::string& log) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (RunLogged({Env("WINE", "wine"), "reg", "add", "HKLM\\Software\\Wine\\Ports", "/v", name, "/t",
                   "REG_SZ", "/d", device, "/f"},
                  "", log) == 0 &&
        RunLogged({Env("WINESERVER", "wineserver"), "-w"}, "", log) == 0)
      return true;
    ::usleep(500 * 1000);
  }
  return false;
}

}  // namespace tarvin::testing
