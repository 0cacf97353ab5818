#include "scope/oscillogram_file.h"

#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <ctime>

#include "base/file_io.h"
#include "scope/scope_model.h"

namespace tarvin {
namespace {

constexpr uint8_t kFileVersion = 2;
constexpr std::size_t kHeaderBytes = 3;
constexpr std::size_t kArrays = 5;

std::string Format(const char* pattern, ...) {
  va_list args;
  va_start(args, pattern);
  va_list again;
  va_copy(again, args);
  const int length = std::vsnprintf(nullptr, 0, pattern, args);
  va_end(args);
  std::string out;
  if (length > 0) {
    out.resize(static_cast<std::size_t>(length) + 1);
    std::vsnprintf(out.data(), out.size(), pattern, again);
    out.resize(static_cast<std::size_t>(length));
  }
  va_end(again);
  return out;
}

void PutLe32(uint8_t* out, uint32_t v) {
  out[0] = uint8_t(v);
  out[1] = uint8_t(v >> 8);
  out[2] = uint8_t(v >> 16);
  out[3] = uint8_t(v >> 24);
}

uint32_t GetLe32(const uint8_t* in) {
  return uint32_t(in[0]) | uint32_t(in[1]) << 8 | uint32_t(in[2]) << 16 | uint32_t(in[3]) << 24;
}

uint32_t FloatBits(float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  return bits;
}

float BitsFloat(uint32_t bits) {
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

// Writes `count` entries of one array in blocks, little-endian whatever the host.
template <typename T, typename ToBits>
bool WriteArray(std::FILE* f, const T* values, uint16_t count, ToBits to_bits) {
  uint8_t block[1024];
  std::size_t used = 0;
  for (uint16_t i = 0; i < count; ++i) {
    PutLe32(block + used, to_bits(values[i]));
    used += 4;
    if (used == sizeof block || i + 1 == count) {
      if (std::fwrite(block, 1, used, f) != used) return false;
      used = 0;
    }
  }
  return true;
}

bool WriteAll(std::FILE* f, const ScopeHistoryArrays& h, uint16_t count) {
  const uint8_t header[kHeaderBytes] = {kFileVersion, uint8_t(count), uint8_t(count >> 8)};
  if (std::fwrite(header, 1, sizeof header, f) != sizeof header) return false;
  const auto same = [](uint32_t v) { return v; };
  return WriteArray(f, h.threshold, count, FloatBits) && WriteArray(f, h.useful, count, same) &&
         WriteArray(f, h.ekNoise, count, same) && WriteArray(f, h.ekClimate, count, same) &&
         WriteArray(f, h.input, count, same);
}

}  // namespace

std::string ManualFileName(const std::string& folder, const LocalTime& t, const std::string& name) {
  return Format("%s%c%04d.%02d.%02d  %02d час. %02d мин.  %s.bin", folder.c_str(), kSep, t.year, t.month,
                t.day, t.hour, t.minute, name.c_str());
}

std::string AutoFileName(const std::string& folder, const LocalTime& t) {
  return Format("%s%c%04d.%02d.%02d  %02d час. %02d мин. .bin", folder.c_str(), kSep, t.year, t.month, t.day,
                t.hour, t.minute);
}

std::string UniquePath(const std::string& path) {
  if (!FileExistsUtf8(path)) return path;
  static constexpr char kExt[] = ".bin";
  const std::size_t ext_len = sizeof kExt - 1;
  const bool has_ext = path.size() >= ext_len && path.compare(path.size() - ext_len, ext_len, kExt) == 0;
  const std::string stem = has_ext ? path.substr(0, path.size() - ext_len) : path;
  const std::string ext = has_ext ? kExt : "";
  // A minute cannot hold more saves than this; past it the last name is reused.
  constexpr int kMaxSuffix = 100000;
  std::string candidate;
  for (int n = 2; n <= kMaxSuffix; ++n) {
    candidate = stem + " (" + std::to_string(n) + ")" + ext;
    if (!FileExistsUtf8(candidate)) break;
  }
  return candidate;
}

FileStatus StatusOf(AtomicWrite result) {
  switch (result) {
    case AtomicWrite::Ok:
      return FileStatus::Ok;
    case AtomicWrite::CannotCreate:
      return FileStatus::CannotOpen;
    case AtomicWrite::WriteFailed:
      break;
  }
  return FileStatus::WriteFailed;
}

FileStatus WriteOscillogram(const std::string& path, const ScopeHistoryArrays& history, uint16_t count,
                            std::string* reason) {
  if (count > kHistorySize) count = kHistorySize;
  const auto fill = [&](std::FILE* f) { return WriteAll(f, history, count); };
  return StatusOf(WriteFileAtomically(path, fill, Durability::Synced, reason));
}

FileStatus ReadOscillogram(const std::string& path, Oscillogram* out) {
  std::FILE* f = OpenFileUtf8(path, "rb");
  if (f == nullptr) return FileStatus::CannotOpen;
  // Only what the header announces is read, so a wrong file chosen by mistake
  // costs at most one oscillogram's worth of memory.
  uint8_t header[kHeaderBytes];
  const std::size_t header_got = std::fread(header, 1, sizeof header, f);
  std::vector<uint8_t> bytes;
  bool whole = false;
  if (header_got == sizeof header && header[0] == kFileVersion) {
    bytes.resize(kArrays * 4u * uint16_t(header[1] | header[2] << 8));
    whole = bytes.empty() || std::fread(bytes.data(), 1, bytes.size(), f) == bytes.size();
  }
  std::fclose(f);

  if (header_got >= 1 && header[0] != kFileVersion) return FileStatus::WrongVersion;
  if (!whole) return FileStatus::Short;
  const uint16_t count = uint16_t(header[1] | header[2] << 8);

  out->count = count;
  out->threshold.resize(count);
  out->useful.resize(count);
  out->ekNoise.resize(count);
  out->ekClimate.resize(count);
  out->input.resize(count);
  const uint8_t* p = bytes.data();
  for (uint16_t i = 0; i < count; ++i) out->threshold[i] = BitsFloat(GetLe32(p + 4u * i));
  std::vector<uint32_t>* const integers[] = {&out->useful, &out->ekNoise, &out->ekClimate, &out->input};
  for (std::vector<uint32_t>* array : integers) {
    p += 4u * count;
    for (uint16_t i = 0; i < count; ++i) (*array)[i] = GetLe32(p + 4u * i);
  }
  return FileStatus::Ok;
}

const char* SignalName(Signal signal) {
  switch (signal) {
    case Signal::Threshold:
      return "threshold";
    case Signal::Useful:
      return "useful";
    case Signal::EkNoise:
      return "ekNoise";
    case Signal::EkClimate:
      return "ekClimate";
    case Signal::Input:
      return "input";
  }
  return "";
}

double SignalValue(const Oscillogram& o, Signal signal, std::size_t i) {
  switch (signal) {
    case Signal::Threshold:
      return o.threshold[i];
    case Signal::Useful:
      return o.useful[i];
    case Signal::EkNoise:
      return o.ekNoise[i];
    case Signal::EkClimate:
      return o.ekClimate[i];
    case Signal::Input:
      return o.input[i];
  }
  return 0.0;
}

Message FileFailure(FileStatus status, const std::string& path) {
  return Message{
      status == FileStatus::CannotOpen ? MessageCode::CannotOpenFile : MessageCode::DamagedFile, path, {}};
}

}  // namespace tarvin
