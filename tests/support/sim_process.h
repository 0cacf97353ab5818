// The simulator as a child process: started with a pipe to its standard input
// for run-time faults and one from its standard output for "ready" and "stats"
// lines, logging the exchange to a file that a failing test prints.
#pragma once

#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/child_process.h"

namespace tarvin::testing {

class SimProcess {
 public:
  SimProcess() = default;
  ~SimProcess() { Stop(); }
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  // Starts the simulator with its link at dir/COM1 and waits for "ready".
  bool Start(const std::string& dir, const std::vector<std::string>& extra) {
    log_path_ = dir + "sim.log";
    std::vector<std::string> args = {TARVIN_SIM_PATH, "--link", dir + "COM1", "--log", log_path_};
    args.insert(args.end(), extra.begin(), extra.end());
    ChildOptions options;
    options.pipes = true;
    return child_.Start(args, options) && WaitFor("ready");
  }

  // One run-time command, as a line on the simulator's standard input.
  bool Send(const std::string& command) {
    const std::string line = command + "\n";
    return ::write(child_.ToChild(), line.data(), line.size()) == static_cast<ssize_t>(line.size());
  }

  // The simulator's counters ("M" for version requests received, "samples" ...).
  std::map<std::string, long> Stats() {
    Send("stats");
    std::map<std::string, long> values;
    std::string line;
    if (!ReadLine(&line) || line.rfind("stats ", 0) != 0) return values;
    std::istringstream in(line.substr(6));
    for (std::string item; in >> item;) {
      const auto eq = item.find('=');
      if (eq != std::string::npos) values[item.substr(0, eq)] = std::stol(item.substr(eq + 1));
    }
    return values;
  }

  // Waits until the counter `key` of Stats() reaches `at_least` (a whole
  // window of the stream sent, say), as long as a busy machine may need.
  bool WaitForStat(const std::string& key, long at_least, int seconds = 60) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    do {
      if (Stats()[key] >= at_least) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    } while (std::chrono::steady_clock::now() < until);
    return false;
  }

  // Waits for a line beginning with `text` (the simulator prints "ready" again after a return).
  bool WaitFor(const std::string& text) {
    for (std::string line; ReadLine(&line);)
      if (line.rfind(text, 0) == 0) return true;
    return false;
  }

  void Stop() {
    // It ends at once on SIGTERM; End's wait only guards against a wedged child.
    child_.End(SIGTERM);
    child_.CloseToChild();
  }

  // The last `lines` lines of the exchange log.
  std::string LogTail(std::size_t lines) const {
    std::ifstream in(log_path_);
    std::vector<std::string> all;
    for (std::string line; std::getline(in, line);) all.push_back(line);
    std::string out;
    for (std::size_t i = all.size() > lines ? all.size() - lines : 0; i < all.size(); ++i)
      out += all[i] + "\n";
    return out;
  }

 private:
  // A line from the simulator's standard output; false if none comes within
  // a generous wait (the simulator answers within milliseconds).
  bool ReadLine(std::string* line) {
    for (;;) {
      const auto nl = pending_.find('\n');
      if (nl != std::string::npos) {
        *line = pending_.substr(0, nl);
        pending_.erase(0, nl + 1);
        return true;
      }
      pollfd p{child_.FromChild(), POLLIN, 0};
      if (::poll(&p, 1, 10000) <= 0) return false;
      char buffer[256];
      const ssize_t got = ::read(child_.FromChild(), buffer, sizeof buffer);
      if (got <= 0) return false;
      pending_.append(buffer, static_cast<std::size_t>(got));
    }
  }

  ChildProcess child_;
  std::string pending_;
  std::string log_path_;
};

}  // namespace tarvin::testing
