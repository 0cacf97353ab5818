// The recorder as a child process against a simulator in a test's folder,
// publishing to a test broker as tarvin9/test/<sensor>.
#pragma once

#include <string>
#include <vector>

#include "tests/mqtt/broker_rig.h"

namespace tarvin::testing {

class RecorderProcess {
 public:
  RecorderProcess() = default;
  ~RecorderProcess() { End(SIGKILL); }
  RecorderProcess(const RecorderProcess&) = delete;
  RecorderProcess& operator=(const RecorderProcess&) = delete;

  // `dir` (ending in a separator) holds the simulator's COM1.
  bool Start(const std::string& dir, const std::string& url, const std::vector<std::string>& extra = {},
             const std::vector<std::string>& env = {}) {
    dir_ = dir;
    std::vector<std::string> args = {
        TARVIN_RECORDER_PATH, "--port", dir + "COM1", "--folder", dir + "Chart4pF", "--journal", Journal(),
        "--window",           "200",    "--mqtt",     url,        "--site",         "test"};
    args.insert(args.end(), extra.begin(), extra.end());
    pid_ = Spawn(args, Output(), env);
    return pid_ > 0;
  }
  // Its exit code, or -1 when killed or wedged.
  int End(int signal = SIGTERM) {
    const int code = EndChild(pid_, signal);
    pid_ = -1;
    return code;
  }
  std::string Journal() const { return dir_ + "journal.jsonl"; }
  std::string Output() const { return dir_ + "recorder.out"; }
  std::string Said() const { return ReadText(Output()); }

 private:
  std::string dir_;
  pid_t pid_ = -1;
};

}  // namespace tarvin::testing
