// Link traffic counters. Each is a 32-bit signed count that wraps from
// 2147483647 to -2147483648 (done in unsigned arithmetic: no overflow).
#pragma once

#include <cstdint>

namespace tarvin {

inline void Bump(int32_t& counter) { counter = static_cast<int32_t>(static_cast<uint32_t>(counter) + 1u); }

struct LinkCounters {
  int32_t N_rv_byte = 0;        // bytes received
  int32_t N_rv_frame = 0;       // good frames received
  int32_t ChecksumErrors = 0;   // frames failing their check
  int32_t Overflow_buffer = 0;  // receive buffer filled without a frame end
  int32_t Time_out = 0;         // reply time-outs
  int32_t N_tr_byte = 0;        // bytes written (counts bytes of broken frames too)
  int32_t N_tr_byte_shown = 0;  // what the label shows: refreshed only after a whole frame
  int32_t N_tr_frame = 0;       // whole frames written
};

}  // namespace tarvin
