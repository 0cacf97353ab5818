#include "journal/journal_reader.h"

#include <cstdio>

#include "base/file_io.h"

namespace tarvin {

std::vector<nlohmann::ordered_json> ReadJournalEvents(const std::string& path, uint64_t end,
                                                      uint64_t max_bytes) {
  std::vector<nlohmann::ordered_json> events;
  if (end == 0 || max_bytes == 0) return events;
  std::FILE* file = OpenFileUtf8(path, "rb");
  if (file == nullptr) return events;
  const uint64_t begin = end > max_bytes ? end - max_bytes : 0;
  std::string text(static_cast<std::size_t>(end - begin), '\0');
  std::size_t got = 0;
  if (SeekFile(file, begin)) got = std::fread(text.data(), 1, text.size(), file);
  std::fclose(file);
  text.resize(got);

  std::size_t pos = 0;
  // Started inside a line: that line's start is not ours to show.
  if (begin > 0) {
    pos = text.find('\n');
    pos = pos == std::string::npos ? text.size() : pos + 1;
  }
  while (pos < text.size()) {
    std::size_t eol = text.find('\n', pos);
    if (eol == std::string::npos) break;  // the last line is not whole yet
    nlohmann::ordered_json line =
        nlohmann::ordered_json::parse(text.begin() + static_cast<std::ptrdiff_t>(pos),
                                      text.begin() + static_cast<std::ptrdiff_t>(eol), nullptr, false);
    if (line.is_object() && line.contains("event") && line["event"].is_string())
      events.push_back(std::move(line));
    pos = eol + 1;
  }
  return events;
}

}  // namespace tarvin
