#include "scope/oscillogram_csv.h"

#include <charconv>

namespace tarvin {
namespace {

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

template <typename T>
void Put(std::string& out, T value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  out.append(text, result.ptr);
}

void PutThreshold(std::string& out, float value, bool decimal_comma) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  if (decimal_comma) {
    for (char* p = text; p != result.ptr; ++p)
      if (*p == '.') *p = ',';
  }
  out.append(text, result.ptr);
}

}  // namespace

std::string OscillogramCsv(const Oscillogram& o, CsvKind kind, uint32_t first_index) {
  const bool excel = kind == CsvKind::Excel;
  const char sep = excel ? ';' : ',';
  std::string out;
  // About 40 characters a row; one allocation for a whole file.
  out.reserve(64 + std::size_t(o.count) * 48);
  if (excel) out += kByteOrderMark;
  for (Signal s : {Signal::Threshold, Signal::Useful, Signal::EkNoise, Signal::EkClimate, Signal::Input}) {
    if (s == Signal::Threshold) out += "index";
    out += sep;
    out += SignalName(s);
  }
  out += "\r\n";
  for (std::size_t i = 0; i < o.count; ++i) {
    Put(out, uint64_t(first_index) + i);
    out += sep;
    PutThreshold(out, o.threshold[i], excel);
    for (const auto* array : {&o.useful, &o.ekNoise, &o.ekClimate, &o.input}) {
      out += sep;
      Put(out, (*array)[i]);
    }
    out += "\r\n";
  }
  return out;
}

FileStatus WriteOscillogramCsv(const std::string& path, const Oscillogram& o, CsvKind kind,
                               std::string* reason, uint32_t first_index) {
  const std::string text = OscillogramCsv(o, kind, first_index);
  const auto fill = [&](std::FILE* f) { return std::fwrite(text.data(), 1, text.size(), f) == text.size(); };
  return StatusOf(WriteFileAtomically(path, fill, Durability::Renamed, reason));
}

}  // namespace tarvin
