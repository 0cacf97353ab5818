// Where tarvin9-osc writes: with one file, OUT itself or the file's name with
// the new suffix beside it; with several, one output beside each file, or in
// OUT when OUT is a folder.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tarvin::osc {

// The output for each input, in order; nullopt when OUT is not a folder but
// several files were given (bad usage).
std::optional<std::vector<std::string>> OutputPaths(const std::vector<std::string>& inputs,
                                                    const std::string& out, const std::string& suffix);

// "x.bin" -> "x<suffix>", "x" -> "x<suffix>".
std::string WithSuffix(const std::string& path, const std::string& suffix);

// The name after the last separator.
std::string FileNameOf(const std::string& path);

}  // namespace tarvin::osc
