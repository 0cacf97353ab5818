// A program run by the shell in a test's folder, its output and errors read back.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/temp_folder.h"

namespace tarvin::testing {

struct Outcome {
  int exit_code = -1;
  std::string out, err;
};

// `command` (already quoted) run in `folder` (ending in a separator).
inline Outcome RunIn(const std::string& folder, const std::string& command) {
  const std::string out = folder + "stdout.txt", err = folder + "stderr.txt";
  const std::string line = "cd '" + folder + "' && " + command + " >'" + out + "' 2>'" + err + "'";
  const int status = std::system(line.c_str());
  Outcome o;
  o.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  const auto text = [](const std::string& path) {
    const std::vector<uint8_t> b = ReadBytes(path);
    std::filesystem::remove(path);
    return std::string(b.begin(), b.end());
  };
  o.out = text(out);
  o.err = text(err);
  return o;
}

}  // namespace tarvin::testing
