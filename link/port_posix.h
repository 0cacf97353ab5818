// The serial port on POSIX systems, through termios.
#pragma once

#include <string>

#include "link/serial_port.h"

namespace tarvin {

class PosixPort : public SerialPort {
 public:
  explicit PosixPort(std::string work_dir) : work_dir_(std::move(work_dir)) {}
  ~PosixPort() override { Close(); }
  PosixPort(const PosixPort&) = delete;
  PosixPort& operator=(const PosixPort&) = delete;

  OpenResult Open(int16_t number) override;
  bool IsOpen() const override { return fd_ >= 0; }
  int ReadByte(uint8_t* byte) override;
  bool WriteByte(uint8_t byte) override;
  void PurgeOutput() override;
  void PurgeInputOutput() override;
  void Close() override;

  // The device port `number` stands for: work_dir/COMn when it exists, else /dev/ttyS(n-1).
  std::string DevicePath(int16_t number) const;

 private:
  std::string work_dir_;
  int fd_ = -1;
  // What one read call brought in and ReadByte has not handed out yet: a tick
  // drains the line with a couple of calls instead of one per character.
  uint8_t rx_[256] = {};
  int rx_pos_ = 0;
  int rx_len_ = 0;
};

}  // namespace tarvin
