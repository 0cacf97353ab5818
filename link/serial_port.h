// One serial port behind a small interface: a native one per platform, and an
// in-memory fake for tests. The link engine is the only user.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace tarvin {

enum class OpenResult {
  Opened,              // open and set up: 38400 baud, 7 data bits, odd parity, 1 stop bit
  NotOpened,           // absent, held by another program, or refused
  SettingsUnreadable,  // opened, but its line settings could not be read; still held
};

// What kind of failure the last Open met, where the operator can do something about it.
enum class OpenFailure {
  None,          // the last Open answered Opened
  AccessDenied,  // the system refused this user the device (POSIX: EACCES, EPERM)
  Other,         // absent, held by another program, unreadable settings ...
};

class SerialPort {
 public:
  virtual ~SerialPort() = default;

  // Opens port `number` (1..70) and sets the line up; reads return at once.
  virtual OpenResult Open(int16_t number) = 0;
  // True while a device is held (also after SettingsUnreadable).
  virtual bool IsOpen() const = 0;
  // 1: a byte was read into *byte; 0: nothing waiting; -1: the read failed.
  virtual int ReadByte(uint8_t* byte) = 0;
  // True when exactly one byte was handed over.
  virtual bool WriteByte(uint8_t byte) = 0;
  virtual void PurgeOutput() = 0;
  virtual void PurgeInputOutput() = 0;
  virtual void Close() = 0;

  // Why the last Open did not answer Opened, in the system's words ("" after a
  // successful one), and the device it tried: what an operator needs to act on.
  virtual std::string LastError() const { return std::string(); }
  virtual std::string LastDevice() const { return std::string(); }
  virtual OpenFailure LastFailure() const { return OpenFailure::None; }
  // After AccessDenied on POSIX: the group that owns the device (usually
  // "dialout"), whose members may open it; "" when it cannot be named.
  virtual std::string LastDeviceGroup() const { return std::string(); }
};

// The Windows device name of a port number: "COM9", "//./COM10".
std::string WindowsDeviceName(int16_t number);

// The platform's own port. On POSIX systems port n is the entry "COMn" in
// `work_dir` when one exists (a link to an adapter or to the simulator's
// pseudo-terminal), else /dev/ttyS(n-1). On Windows `work_dir` is not used.
std::unique_ptr<SerialPort> MakeNativePort(const std::string& work_dir);

// Port `number` as it stands now, fixed to that device from here on: on POSIX
// the entry COMn in `work_dir` when one exists, else /dev/ttyS(n-1); on Windows
// COMn. For a program that reopens a lost port by itself: the entry may be
// gone for a while (a simulator restarted, an adapter replugged), and the
// fallback its absence would choose is some other device.
std::unique_ptr<SerialPort> MakeNativePortResolved(const std::string& work_dir, int16_t number);

// The platform's own port, fixed to one device whatever number it is opened
// with: a path such as /dev/ttyUSB0 or /dev/serial/by-id/..., or on Windows a
// name such as COM7 or \\.\COM12.
std::unique_ptr<SerialPort> MakeNativePortForDevice(const std::string& device);

}  // namespace tarvin
