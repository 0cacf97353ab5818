// The simulator as a child process: started with a pipe to its standard input
// for run-time faults and one from its standard output for "ready" and "stats"
// lines, logging the exchange to a file that a failing test prints.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

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
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0) return false;
    if (::pipe2(out, O_CLOEXEC) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    const int rc = ::posix_spawn(&pid_, TARVIN_SIM_PATH, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    to_sim_ = in[1];
    from_sim_ = out[0];
    if (rc != 0) {
      pid_ = -1;
      return false;
    }
    return WaitFor("ready");
  }

  // One run-time command, as a line on the simulator's standard input.
  void Send(const std::string& command) {
    const std::string line = command + "\n";
    (void)!::write(to_sim_, line.data(), line.size());
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
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      int status = 0;
      // It ends at once on SIGTERM; the loop only guards against a wedged child.
      for (int i = 0; i < 200 && ::waitpid(pid_, &status, WNOHANG) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      if (::waitpid(pid_, &status, WNOHANG) == 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status, 0);
      }
      pid_ = -1;
    }
    if (to_sim_ >= 0) ::close(to_sim_);
    if (from_sim_ >= 0) ::close(from_sim_);
    to_sim_ = from_sim_ = -1;
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
      pollfd p{from_sim_, POLLIN, 0};
      if (::poll(&p, 1, 10000) <= 0) return false;
      char buffer[256];
      const ssize_t got = ::read(from_sim_, buffer, sizeof buffer);
      if (got <= 0) return false;
      pending_.append(buffer, static_cast<std::size_t>(got));
    }
  }

  pid_t pid_ = -1;
  int to_sim_ = -1;
  int from_sim_ = -1;
  std::string pending_;
  std::string log_path_;
};

}  // namespace tarvin::testing
