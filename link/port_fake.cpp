#include "link/port_fake.h"

namespace tarvin {

OpenResult FakePort::Open(int16_t number) {
  ++opens;
  last_number = number;
  open_ = open_result != OpenResult::NotOpened;
  return open_result;
}

int FakePort::ReadByte(uint8_t* byte) {
  if (!open_) return -1;
  if (fail_read != 0) {
    if (fail_read > 0) --fail_read;
    return -1;
  }
  if (pending_.empty()) return 0;
  *byte = static_cast<uint8_t>(pending_.front());
  pending_.pop_front();
  return 1;
}

bool FakePort::WriteByte(uint8_t byte) {
  if (!open_ || fail_writes) return false;
  written.push_back(static_cast<char>(byte));
  return true;
}

void FakePort::PurgeInputOutput() {
  ++purges_all;
  pending_.clear();
}

void FakePort::Close() {
  if (open_) ++closes;
  open_ = false;
}

}  // namespace tarvin
