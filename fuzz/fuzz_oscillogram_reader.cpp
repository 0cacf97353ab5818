// Arbitrary files into the oscillogram reader. It must never read past the end
// of what it read (ASan), must refuse a file shorter than its count says, and
// what it accepts must write back to the same bytes.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "scope/oscillogram_file.h"
#include "scope/scope_model.h"

namespace {

// One scratch file per process, in memory when the system has /dev/shm.
const std::string& ScratchPath(const char* name) {
  static const std::string base = [] {
    const char* shm = "/dev/shm";
    if (::access(shm, W_OK) == 0) return std::string(shm);
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp");
  }();
  static std::string paths[2];
  std::string& path = paths[std::strcmp(name, "in") == 0 ? 0 : 1];
  if (path.empty()) {
    path = base + "/tarvin-fuzz-" + std::to_string(::getpid()) + "-" + name + ".bin";
    static const bool cleanup_registered = std::atexit([] {
                                             for (const std::string& p : paths)
                                               if (!p.empty()) std::remove(p.c_str());
                                           }) == 0;
    (void)cleanup_registered;
  }
  return path;
}

bool WriteFile(const std::string& path, const uint8_t* data, std::size_t size) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = (size == 0 || std::fwrite(data, 1, size, f) == size);
  return std::fclose(f) == 0 && ok;
}

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::vector<uint8_t> bytes;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return bytes;
  uint8_t block[4096];
  for (std::size_t got; (got = std::fread(block, 1, sizeof block, f)) > 0;)
    bytes.insert(bytes.end(), block, block + got);
  std::fclose(f);
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace tarvin;
  const std::string& in_path = ScratchPath("in");
  if (!WriteFile(in_path, data, size)) Fail("cannot write the scratch file");

  // A sentinel: a refused file must leave the caller's oscillogram as it was.
  Oscillogram out;
  out.count = 7;
  out.useful.assign(1, 0xDEADBEEFu);
  const FileStatus status = ReadOscillogram(in_path, &out);

  if (size == 0) {
    CHECK(status == FileStatus::Short);
  } else if (data[0] != 2) {
    CHECK(status == FileStatus::WrongVersion);
  } else if (size < 3) {
    CHECK(status == FileStatus::Short);
  } else {
    const std::size_t count = data[1] | data[2] << 8;
    if (size < 3 + 20 * count) {
      CHECK(status == FileStatus::Short);
    } else {
      CHECK(status == FileStatus::Ok);
    }
  }
  if (status != FileStatus::Ok) {
    CHECK(out.count == 7 && out.useful.size() == 1 && out.useful[0] == 0xDEADBEEFu);
    return 0;
  }

  const std::size_t count = out.count;
  CHECK(count == static_cast<std::size_t>(data[1] | data[2] << 8));
  CHECK(out.threshold.size() == count && out.useful.size() == count && out.ekNoise.size() == count &&
        out.ekClimate.size() == count && out.input.size() == count);
  if (count > kHistorySize) return 0;  // no window this long exists to write back

  // What was read, written back with the program's own writer, gives the same
  // bytes: header and five arrays, trailing bytes left out.
  // Allocated once: 100 KB a run would cost more than the run itself.
  static const auto history = std::make_unique<ScopeHistoryArrays>();
  for (std::size_t i = 0; i < count; ++i) {
    history->threshold[i] = out.threshold[i];
    history->useful[i] = out.useful[i];
    history->ekNoise[i] = out.ekNoise[i];
    history->ekClimate[i] = out.ekClimate[i];
    history->input[i] = out.input[i];
  }
  const std::string& back_path = ScratchPath("back");
  CHECK(WriteOscillogram(back_path, *history, static_cast<uint16_t>(count)) == FileStatus::Ok);
  const std::vector<uint8_t> back = ReadFile(back_path);
  CHECK(back.size() == 3 + 20 * count);
  CHECK(std::memcmp(back.data(), data, back.size()) == 0);
  return 0;
}
