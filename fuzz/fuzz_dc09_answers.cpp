// The receiver's answers are the one input the recorder takes from the
// network: whatever comes, whole or cut, plain or claiming to be encrypted,
// is read without a fault, and what is kept waiting is at most one frame's
// start.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_check.h"
#include "outlets/dc09/dc09_frame.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::string why;
  static const auto key = tarvin::Dc09Key::FromText("000102030405060708090A0B0C0D0E0F", &why);
  std::string buffer(reinterpret_cast<const char*>(data), size);
  const bool keyed = size > 0 && (data[0] & 1) != 0;
  for (const tarvin::Dc09Answer& answer : tarvin::TakeDc09Answers(&buffer, keyed ? &*key : nullptr)) {
    CHECK(answer.seq >= 0 && answer.seq <= 9999);
    CHECK(answer.account.size() <= 16);
  }
  CHECK(buffer.empty() ||
        (buffer.front() == '\n' && buffer.size() <= 1025 && buffer.find('\r') == std::string::npos));
  return 0;
}
