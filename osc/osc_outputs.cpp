#include "osc/osc_outputs.h"

#include "base/file_io.h"

namespace tarvin::osc {

bool NamesFolder(const std::string& out) { return !out.empty() && (out.back() == '/' || out.back() == '\\'); }

std::string ReadFailureLine(FileStatus status, const std::string& path) {
  if (IsFolderUtf8(path)) return "tarvin9-osc: " + path + " is a folder, not an oscillogram file";
  return "tarvin9-osc: " + OpenFailureMessage(status, path);
}

std::string WriteFailureLine(FileStatus status, const std::string& path, const std::string& reason) {
  return "tarvin9-osc: " + FileFailureText(status == FileStatus::CannotOpen, path) + " (" + reason + ")";
}

std::string WithSuffix(const std::string& path, const std::string& suffix) {
  const std::string bin = ".bin";
  const bool has_bin =
      path.size() > bin.size() && path.compare(path.size() - bin.size(), bin.size(), bin) == 0;
  return (has_bin ? path.substr(0, path.size() - bin.size()) : path) + suffix;
}

std::optional<std::vector<std::string>> OutputPaths(const std::vector<std::string>& inputs,
                                                    const std::string& out, const std::string& suffix) {
  std::vector<std::string> outputs;
  const bool into_folder = !out.empty() && IsFolderUtf8(out);
  if (inputs.size() > 1 && !out.empty() && !into_folder) return std::nullopt;
  for (const std::string& in : inputs) {
    if (out.empty()) {
      outputs.push_back(WithSuffix(in, suffix));
    } else if (into_folder) {
      const char last = out.back();
      const std::string folder = last == '/' || last == '\\' ? out : out + "/";
      outputs.push_back(folder + WithSuffix(FileNameOf(in), suffix));
    } else {
      outputs.push_back(out);
    }
  }
  return outputs;
}

}  // namespace tarvin::osc
