// A whole file's bytes as a string; empty when it cannot be read.
#pragma once

#include <fstream>
#include <sstream>
#include <string>

namespace tarvin::testing {

inline std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace tarvin::testing
