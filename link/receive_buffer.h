// What one read call of a port brought in and the engine has not taken yet.
// The line brings about 150 characters a tick; asking the system for them one
// at a time costs a system call each, and under Wine a trip through its server
// each: a slow reader falls behind, the driver's queue fills and characters
// are lost. One call takes all that has arrived, up to the buffer's size.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarvin {

class ReceiveBuffer {
 public:
  static constexpr std::size_t kSize = 4096;

  // The next character, 7 bits of it, into *byte: 1. When none is left, one
  // `fill(data, capacity)` is asked for more; it answers how many it wrote,
  // 0 for none waiting, or a negative number for a failed read, which is
  // handed on as -1.
  template <typename Fill>
  int Next(uint8_t* byte, Fill&& fill) {
    if (pos_ == len_) {
      pos_ = len_ = 0;
      const long got = fill(data_, kSize);
      if (got < 0) return -1;
      if (got == 0) return 0;
      len_ = static_cast<std::size_t>(got);
    }
    *byte = static_cast<uint8_t>(data_[pos_++] & 0x7F);
    return 1;
  }

  // Forgets what was read and not taken: after a purge or a close it belongs
  // to no line any more.
  void Clear() { pos_ = len_ = 0; }

 private:
  uint8_t data_[kSize] = {};
  std::size_t pos_ = 0;
  std::size_t len_ = 0;
};

}  // namespace tarvin
