// tarvin9-recorder as a child process started in a test's folder: its
// standard error (where it says everything it has to say) in recorder.err,
// the only file it finds there that it did not make, and its journal read
// back as it grows.
#pragma once

#include <chrono>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/read_text.h"

namespace tarvin::testing {

class RecorderProcess {
 public:
  // Starts the recorder in `dir` (ending in a separator) with `args`, and
  // `env` ("NAME=value") added to its environment.
  bool Start(const std::string& dir, const std::vector<std::string>& args,
             const std::vector<std::string>& env = {}) {
    dir_ = dir;
    std::vector<std::string> all = {TARVIN_RECORDER_PATH};
    all.insert(all.end(), args.begin(), args.end());
    ChildOptions options;
    options.dir = dir;
    options.errors = dir + "recorder.err";
    options.env = env;
    return child_.Start(all, options);
  }
  // Against the simulator's COM1 in `dir`, publishing to the broker at `url`
  // as site "test", with `extra` options after those.
  bool StartPublishing(const std::string& dir, const std::string& url,
                       const std::vector<std::string>& extra = {}, const std::vector<std::string>& env = {}) {
    std::vector<std::string> args = {
        "--port", dir + "COM1", "--folder", dir + "Chart4pF", "--journal", dir + "journal.jsonl", "--window",
        "200",    "--mqtt",     url,        "--site",         "test"};
    args.insert(args.end(), extra.begin(), extra.end());
    return Start(dir, args, env);
  }

  void Signal(int signal) const { child_.Signal(signal); }
  // The exit code, waiting for the end; nullopt when a signal ended it.
  std::optional<int> Wait() {
    if (child_.Running()) {
      const int code = child_.Wait();
      exit_code_ = code >= 0 && code < 128 ? std::optional<int>(code) : std::nullopt;
    }
    return exit_code_;
  }
  // Whether it has ended, without waiting (Wait() then says how): a test
  // waiting for an event stops waiting on a recorder that refused its options.
  bool Ended() {
    if (child_.Running()) {
      const std::optional<int> code = child_.Ended();
      if (!code) return false;
      exit_code_ = *code >= 0 && *code < 128 ? std::optional<int>(*code) : std::nullopt;
    }
    return true;
  }
  // `signal`, then a generous wait, then SIGKILL: its exit code, or -1 when killed or wedged.
  int End(int signal = SIGTERM) { return child_.End(signal); }

  std::string Journal() const { return dir_ + "journal.jsonl"; }
  std::vector<nlohmann::json> Events(const std::string& journal = "journal.jsonl") const {
    std::vector<nlohmann::json> events;
    std::istringstream in(ReadText(dir_ + journal));
    for (std::string line; std::getline(in, line);)
      if (!line.empty()) events.push_back(nlohmann::json::parse(line, nullptr, false));
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

  std::string Stderr() const { return ReadText(dir_ + "recorder.err"); }

 private:
  std::string dir_;
  ChildProcess child_;
  std::optional<int> exit_code_;
};

// The names of `events` in journal order, keeping only those in `keep`.
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
