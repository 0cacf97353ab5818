// The serial port on POSIX systems, through termios.
#pragma once

#include <string>

#include "link/receive_buffer.h"
#include "link/serial_port.h"

namespace tarvin {

class PosixPort : public SerialPort {
 public:
  explicit PosixPort(std::string work_dir) : work_dir_(std::move(work_dir)) {}
  // A port bound to one device path, whatever number it is opened with.
  struct FixedDevice {
    std::string path;
  };
  explicit PosixPort(FixedDevice device) : device_(std::move(device.path)) {}
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
  std::string LastError() const override { return last_error_; }
  std::string LastDevice() const override { return last_device_; }
  OpenFailure LastFailure() const override { return last_failure_; }
  std::string LastDeviceGroup() const override { return last_group_; }

  // The device port `number` stands for: work_dir/COMn when it exists, else /dev/ttyS(n-1).
  std::string DevicePath(int16_t number) const;

 private:
  std::string work_dir_;
  std::string device_;  // when set, the only device this port opens
  std::string last_error_;
  std::string last_device_;
  OpenFailure last_failure_ = OpenFailure::None;
  std::string last_group_;
  int fd_ = -1;
  ReceiveBuffer received_;
};

}  // namespace tarvin
