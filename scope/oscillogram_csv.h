// An oscillogram as CSV, one row a sample: index, threshold, useful, ekNoise,
// ekClimate, input. Two kinds: for a spreadsheet in a Russian locale
// (semicolons, decimal comma, UTF-8 with a byte-order mark) and for scripts
// (RFC 4180: commas, decimal point, no byte-order mark). Rows end in CRLF.
#pragma once

#include <cstdint>
#include <string>

#include "scope/oscillogram_file.h"

namespace tarvin {

enum class CsvKind { Excel, Plain };

// The threshold with a float's precision (the shortest text that reads back as
// the same float), the others as unsigned integers. `first_index` numbers the
// first row: 0 for a file, the chart's X of its first point for a live window.
std::string OscillogramCsv(const Oscillogram& o, CsvKind kind, uint32_t first_index = 0);

// Written whole or not at all (file_io.h). CannotOpen or WriteFailed with *reason.
FileStatus WriteOscillogramCsv(const std::string& path, const Oscillogram& o, CsvKind kind,
                               std::string* reason = nullptr, uint32_t first_index = 0);

}  // namespace tarvin
