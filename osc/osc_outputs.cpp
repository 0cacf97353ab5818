#include "osc/osc_outputs.h"

#include <cerrno>
#include <cstring>
#include <utility>

#include "base/file_io.h"
#include "words/box_words.h"

namespace tarvin::osc {

bool NamesFolder(const std::string& out) { return !out.empty() && (out.back() == '/' || out.back() == '\\'); }

std::string ReadFailureLine(FileStatus status, const std::string& path) {
  if (IsFolderUtf8(path)) return "tarvin9-osc: " + path + " is a folder, not an oscillogram file";
  return "tarvin9-osc: " + words::FileFailureText(status, path);
}

std::string WriteFailureLine(FileStatus status, const std::string& path, const std::string& reason) {
  return "tarvin9-osc: " + words::FileFailureText(status == FileStatus::CannotOpen, path) + " (" +
         ReasonInRussian(reason) + ")";
}

std::string ReasonInRussian(const std::string& system_words) {
  // The codes a file's write meets; strerror gives their words in the
  // locale the program runs in, so they are compared, not spelled here.
  static const std::pair<int, const char*> kWords[] = {
      {ENOENT, "нет такой папки"},
      {ENOTDIR, "часть пути не папка"},
      {EISDIR, "это папка"},
      {EACCES, "нет доступа"},
      {EPERM, "нет разрешения"},
      {EROFS, "файловая система только для чтения"},
      {ENOSPC, "нет места на диске"},
#ifdef EDQUOT
      {EDQUOT, "превышена квота диска"},
#endif
      {EFBIG, "файл слишком велик"},
      {EIO, "ошибка ввода-вывода"},
      {ENAMETOOLONG, "слишком длинное имя"},
      {EBUSY, "занято"},
  };
  if (system_words == kNotARegularFile) return "не обычный файл: устройство, канал или папка";
  if (system_words == "is a folder") return "это папка";
  if (system_words == kLinkToNothing) return "ссылка, которая никуда не ведёт";
  for (const auto& [code, words] : kWords)
    if (system_words == std::strerror(code)) return words;
  return system_words;
}

std::string RefusedOutput(const std::string& out, bool folder_allowed) {
  if (out.empty() || out == "-" || !NotARegularFileUtf8(out)) return std::string();
  if (!IsFolderUtf8(out)) return "-o " + out + ": a device, a pipe or a socket, not a regular file";
  if (folder_allowed) return std::string();
  return "-o " + out + ": a folder, not a file";
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
