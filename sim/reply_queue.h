// Replies waiting for their moment (a delay fault holds them back). Fixed size:
// the program has one command in flight, so a handful of slots is plenty; when
// full, the oldest reply is dropped, as a sensor overrun by commands would.
#pragma once

#include <cstdint>
#include <cstring>

#include "sim/sensor.h"

namespace tarvin::sim {

struct PendingReply {
  double due = 0.0;
  uint16_t words[kMaxReplyWords] = {};
  uint16_t count = 0;
};

class ReplyQueue {
 public:
  static constexpr int kSlots = 16;

  void Push(double due, const uint16_t* words, uint16_t count) {
    if (size_ == kSlots) Pop();
    PendingReply& r = slots_[(head_ + size_) % kSlots];
    r.due = due;
    r.count = count;
    std::memcpy(r.words, words, sizeof(uint16_t) * count);
    ++size_;
  }

  // The oldest reply when it is due, else null. Replies leave in order.
  const PendingReply* Due(double now) const {
    return size_ > 0 && slots_[head_].due <= now ? &slots_[head_] : nullptr;
  }
  double NextDue() const { return size_ > 0 ? slots_[head_].due : -1.0; }
  void Pop() {
    if (size_ == 0) return;
    head_ = (head_ + 1) % kSlots;
    --size_;
  }
  void Clear() { head_ = size_ = 0; }
  int Size() const { return size_; }

 private:
  PendingReply slots_[kSlots];
  int head_ = 0;
  int size_ = 0;
};

}  // namespace tarvin::sim
