// tarvin9-recorder as a child process started in a folder of its own, and its
// journal read back as it grows.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

namespace tarvin::testing {

class RecorderProcess {
 public:
  RecorderProcess() = default;
  ~RecorderProcess() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  RecorderProcess(const RecorderProcess&) = delete;
  RecorderProcess& operator=(const RecorderProcess&) = delete;

  // Starts the recorder in `dir` with `args`; its standard error goes to dir/recorder.err.
  bool Start(const std::string& dir, const std::vector<std::string>& args) {
    dir_ = dir;
    std::vector<std::string> all = {TARVIN_RECORDER_PATH};
    all.insert(all.end(), args.begin(), args.end());
    pid_ = ::fork();
    if (pid_ < 0) return false;
    if (pid_ == 0) {
      if (::chdir(dir.c_str()) != 0) ::_exit(127);
      const int err = ::open("recorder.err", O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (err >= 0) ::dup2(err, STDERR_FILENO);
      std::vector<char*> argv;
      for (std::string& a : all) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    return true;
  }

  void Signal(int signal) const { ::kill(pid_, signal); }

  // The exit code, waiting for the end; nullopt when killed by a signal.
  std::optional<int> Wait() {
    if (pid_ <= 0) return exit_code_;
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    if (WIFEXITED(status)) exit_code_ = WEXITSTATUS(status);
    return exit_code_;
  }

  std::vector<nlohmann::json> Events(const std::string& journal = "journal.jsonl") const {
    std::vector<nlohmann::json> events;
    std::ifstream in(dir_ + journal);
    for (std::string line; std::getline(in, line);) {
      if (line.empty()) continue;
      events.push_back(nlohmann::json::parse(line, nullptr, false));
    }
    return events;
  }

  // The first event called `name` with a seq above `after`, waiting for it
  // as long as a slow machine may need.
  std::optional<nlohmann::json> WaitForEvent(const std::string& name, int64_t after = 0, int seconds = 40) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    do {
      for (const nlohmann::json& e : Events())
        if (e.is_object() && e.value("event", "") == name && e.value("seq", 0) > after) return e;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    } while (std::chrono::steady_clock::now() < until);
    return std::nullopt;
  }

  std::string Stderr() const {
    std::ifstream in(dir_ + "recorder.err");
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

 private:
  std::string dir_;
  pid_t pid_ = -1;
  std::optional<int> exit_code_;
};

// The names of `events` in journal order, leaving out those in `skip`.
inline std::vector<std::string> EventNames(const std::vector<nlohmann::json>& events,
                                           const std::vector<std::string>& keep) {
  std::vector<std::string> names;
  for (const nlohmann::json& e : events) {
    const std::string name = e.value("event", "");
    for (const std::string& k : keep)
      if (name == k) names.push_back(name);
  }
  return names;
}

}  // namespace tarvin::testing
