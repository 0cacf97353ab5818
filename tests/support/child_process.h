// A program under test as a child process: started from its words (no shell
// between, so nothing needs quoting), in a folder of its own, with its output
// in a file or a pipe, and ended or waited for. Every test that starts a
// program starts it here.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/read_text.h"
#include "tests/support/temp_folder.h"

extern char** environ;

namespace tarvin::testing {

struct ChildOptions {
  std::string dir;  // the folder it starts in; empty: the test's own
  // Files are named as the test sees them: they are opened before the move to `dir`.
  std::string output;              // standard output and error, appended; empty: the test's own
  std::string errors;              // standard error alone, written over (after `output`)
  std::vector<std::string> env;    // "NAME=value", put in its environment
  std::vector<std::string> unset;  // names taken out of its environment
  bool pipes = false;              // its standard input and output through pipes (ToChild, FromChild)
};

class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    ClosePipes();
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts args[0], looked up on PATH when it names no folder. Its standard
  // input is /dev/null unless `pipes`. False when it could not be started.
  bool Start(const std::vector<std::string>& args, const ChildOptions& options = {}) {
    ClosePipes();
    std::vector<std::string> words = args, env = Environment(options);
    std::vector<char*> argv = Pointers(words), envp = Pointers(env);
    int in[2] = {-1, -1}, out[2] = {-1, -1};
    if (options.pipes && (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0)) {
      for (const int fd : {in[0], in[1]})
        if (fd >= 0) ::close(fd);
      return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (options.pipes) {
      posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
      posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    } else {
      posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    }
    if (!options.output.empty()) {
      posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, options.output.c_str(),
                                       O_WRONLY | O_CREAT | O_APPEND, 0644);
      posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    }
    if (!options.errors.empty())
      posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, options.errors.c_str(),
                                       O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (!options.dir.empty()) posix_spawn_file_actions_addchdir_np(&actions, options.dir.c_str());
    const bool started = ::posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0;
    posix_spawn_file_actions_destroy(&actions);
    if (options.pipes) {
      ::close(in[0]);
      ::close(out[1]);
      to_child_ = in[1];
      from_child_ = out[0];
    }
    if (!started) pid_ = -1;
    return started;
  }

  bool Running() const { return pid_ > 0; }
  void Signal(int signal) const {
    if (pid_ > 0) ::kill(pid_, signal);
  }

  // Waits for its end: its exit code, 128 + the signal that ended it, or -1
  // when none was started.
  int Wait() {
    if (pid_ <= 0) return -1;
    int status = 0;
    const pid_t ended = ::waitpid(pid_, &status, 0);
    pid_ = -1;
    if (ended <= 0) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

  // Its end without waiting: nullopt while it runs, else as Wait() says.
  std::optional<int> Ended() {
    if (pid_ <= 0) return -1;
    int status = 0;
    const pid_t ended = ::waitpid(pid_, &status, WNOHANG);
    if (ended == 0) return std::nullopt;
    pid_ = -1;
    if (ended < 0) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

  // Sends `signal`, then waits as long as a busy machine may need before
  // SIGKILL. Its exit code; -1 when a signal ended it or none was started.
  int End(int signal = SIGTERM) {
    if (pid_ <= 0) return -1;
    ::kill(pid_, signal);
    int status = 0;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (::waitpid(pid_, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > until) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  // The pipes' ends, with `pipes`: what is written to ToChild() is its
  // standard input, and FromChild() reads its standard output.
  int ToChild() const { return to_child_; }
  int FromChild() const { return from_child_; }
  void CloseToChild() {
    if (to_child_ >= 0) ::close(to_child_);
    to_child_ = -1;
  }

 private:
  void ClosePipes() {
    CloseToChild();
    if (from_child_ >= 0) ::close(from_child_);
    from_child_ = -1;
  }
  static std::vector<std::string> Environment(const ChildOptions& options) {
    std::vector<std::string> env;
    const auto named = [](const std::string& entry, const std::string& name) {
      return entry.compare(0, name.size(), name) == 0 && entry.size() > name.size() &&
             entry[name.size()] == '=';
    };
    for (char** e = environ; *e != nullptr; ++e) {
      bool keep = true;
      for (const std::string& name : options.unset) keep = keep && !named(*e, name);
      for (const std::string& set : options.env) keep = keep && !named(*e, set.substr(0, set.find('=')));
      if (keep) env.emplace_back(*e);
    }
    env.insert(env.end(), options.env.begin(), options.env.end());
    return env;
  }
  static std::vector<char*> Pointers(std::vector<std::string>& words) {
    std::vector<char*> pointers;
    for (std::string& w : words) pointers.push_back(w.data());
    pointers.push_back(nullptr);
    return pointers;
  }

  pid_t pid_ = -1;
  int to_child_ = -1, from_child_ = -1;
};

// What a program run to its end said, and how it ended (ChildProcess::Wait).
struct Outcome {
  int exit_code = -1;
  std::string out, err;
};

// Runs `args` to the end with `options`, its standard output and error each
// read back from a file of their own (the options' `output` and `errors` are
// set here).
inline Outcome RunProgram(const std::vector<std::string>& args, ChildOptions options = {}) {
  const TempFolder said;
  options.output = said.Folder() + "out";  // standard error too, until `errors` takes it
  options.errors = said.Folder() + "err";
  Outcome o;
  ChildProcess child;
  if (!child.Start(args, options)) return o;
  o.exit_code = child.Wait();
  o.out = ReadText(options.output);
  o.err = ReadText(options.errors);
  return o;
}

// A command line as a shell reads it, run in `folder`: where the test is
// written as an operator types it, quotes and all.
inline Outcome RunIn(const std::string& folder, const std::string& command) {
  ChildOptions options;
  options.dir = folder;
  return RunProgram({"/bin/sh", "-c", command}, options);
}

}  // namespace tarvin::testing
