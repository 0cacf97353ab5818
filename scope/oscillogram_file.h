// The oscillogram file: version byte 2, a 16-bit count, then five arrays of
// `count` 4-byte values (threshold as float bits, useful, ekNoise, ekClimate,
// input), all little-endian. One writer serves the manual and automatic saves.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "base/file_io.h"
#include "base/local_time.h"
#include "engine/message.h"

namespace tarvin {

struct ScopeHistoryArrays;

// "<folder><sep>YYYY.MM.DD  HH час. MM мин.  <name>.bin"
std::string ManualFileName(const std::string& folder, const LocalTime& t, const std::string& name);
// "<folder><sep>YYYY.MM.DD  HH час. MM мин. .bin"
std::string AutoFileName(const std::string& folder, const LocalTime& t);
// `path` itself when no file has that name, else the first free
// "<stem> (2).bin", "<stem> (3).bin" ...
std::string UniquePath(const std::string& path);

enum class FileStatus { Ok, CannotOpen, WriteFailed, WrongVersion, Short };

// What a whole-or-nothing write means to the boxes that answer a save.
FileStatus StatusOf(AtomicWrite result);

// Writes entries 0..count-1 of each array, whole or not at all: through a
// hidden temporary file in the same folder, synced to the disk and renamed
// over `path` (see file_io.h). CannotOpen when the file cannot be created;
// WriteFailed when a write, the sync or the rename fails, with no file left
// under either name and an earlier file under `path` untouched. *reason, when
// given, then holds the system's words for what went wrong.
FileStatus WriteOscillogram(const std::string& path, const ScopeHistoryArrays& history, uint16_t count,
                            std::string* reason = nullptr);

struct Oscillogram {
  uint16_t count = 0;
  std::vector<float> threshold;
  std::vector<uint32_t> useful, ekNoise, ekClimate, input;
};

// The five arrays in file order, under the names tables and exports give them.
enum class Signal { Threshold, Useful, EkNoise, EkClimate, Input };
inline constexpr Signal kSignals[] = {Signal::Threshold, Signal::Useful, Signal::EkNoise, Signal::EkClimate,
                                      Signal::Input};
// "threshold", "useful", "ekNoise", "ekClimate", "input".
const char* SignalName(Signal signal);
// Entry i of one array (i < count), as the chart draws it.
double SignalValue(const Oscillogram& o, Signal signal, std::size_t i);

// Reads the header and the values it announces, never past the file's end.
// WrongVersion when the first byte is not 2; Short when the file is empty or
// holds fewer values than its count says. *out changes only when Ok.
FileStatus ReadOscillogram(const std::string& path, Oscillogram* out);

// What is said when a file to be shown cannot be (status not Ok): it could
// not be opened, or it is short or of another version.
Message FileFailure(FileStatus status, const std::string& path);

}  // namespace tarvin
