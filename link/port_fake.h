// An in-memory port for tests: bytes to deliver, a record of what was written,
// and writes that can be made to fail.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>

#include "link/serial_port.h"

namespace tarvin {

class FakePort : public SerialPort {
 public:
  OpenResult Open(int16_t number) override;
  bool IsOpen() const override { return open_; }
  int ReadByte(uint8_t* byte) override;
  bool WriteByte(uint8_t byte) override;
  void PurgeOutput() override { ++purges_output; }
  void PurgeInputOutput() override;
  void Close() override;
  std::string LastDevice() const override { return device; }
  OpenFailure LastFailure() const override { return open_ ? OpenFailure::None : open_failure; }
  std::string LastDeviceGroup() const override { return device_group; }

  // Bytes that the next reads return (all of them within one tick).
  void Deliver(std::string_view bytes) { pending_.insert(pending_.end(), bytes.begin(), bytes.end()); }
  std::size_t Pending() const { return pending_.size(); }

  // Script.
  OpenResult open_result = OpenResult::Opened;    // what the next Open answers
  bool fail_writes = false;                       // every write fails while set
  int fail_read = 0;                              // reads to fail from now on (-1 returned)
  OpenFailure open_failure = OpenFailure::Other;  // why a refused Open was refused
  std::string device = "/dev/ttyS0";              // the device an Open tries
  std::string device_group;                       // its group, after AccessDenied

  // Record.
  std::string written;  // every byte written successfully, in order
  int16_t last_number = 0;
  int opens = 0, closes = 0, purges_output = 0, purges_all = 0;

 private:
  bool open_ = false;
  std::deque<char> pending_;
};

}  // namespace tarvin
