#include <windows.h>

#include <string>

#include "base/file_io.h"
#include "link/receive_buffer.h"
#include "link/serial_port.h"

namespace tarvin {
namespace {

// The system's own words for a Win32 error code, in UTF-8.
std::string SystemMessage(DWORD code) {
  wchar_t* text = nullptr;
  const DWORD n = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string out;
  if (n > 0 && text != nullptr) {
    out = NarrowUtf8(text, n);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' ')) out.pop_back();
  }
  if (text != nullptr) ::LocalFree(text);
  if (out.empty()) out = "error " + std::to_string(code);
  return out;
}

class Win32Port : public SerialPort {
 public:
  explicit Win32Port(std::string device = std::string()) : device_(std::move(device)) {}
  ~Win32Port() override { Close(); }

  OpenResult Open(int16_t number) override {
    Close();
    last_error_.clear();
    // ERROR_ACCESS_DENIED here means another program holds the port, not a
    // missing right the operator could be granted: it stays Other.
    last_failure_ = OpenFailure::Other;
    const std::string name = !device_.empty() ? DeviceName(device_)
                             : number >= 1    ? WindowsDeviceName(number)
                                              : std::string();
    last_device_ = name;
    if (name.empty()) {
      last_error_ = "no such port number";
      return OpenResult::NotOpened;
    }
    HANDLE h = ::CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      last_error_ = SystemMessage(::GetLastError());
      return OpenResult::NotOpened;
    }
    handle_ = h;
    last_failure_ = OpenFailure::None;
    DCB dcb;
    ZeroMemory(&dcb, sizeof dcb);
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(handle_, &dcb)) {
      last_error_ = "line settings unreadable: " + SystemMessage(::GetLastError());
      last_failure_ = OpenFailure::Other;
      return OpenResult::SettingsUnreadable;  // still held
    }
    dcb.BaudRate = 38400;
    dcb.fBinary = TRUE;
    dcb.fParity = TRUE;
    dcb.ByteSize = 7;
    dcb.Parity = ODDPARITY;
    dcb.StopBits = ONESTOPBIT;
    // Whatever the last program left on the port goes: a handshake the adapter
    // does not wire (CTS, DSR, XON/XOFF) would hold our writes back forever, and
    // an abort on error would fail every read after one parity error.
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;  // a NUL is a byte of the line like any other
    dcb.fAbortOnError = FALSE;
    (void)::SetCommState(handle_, &dcb);
    COMMTIMEOUTS timeouts;
    timeouts.ReadIntervalTimeout = MAXDWORD;  // with zero totals: return at once
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = 0;
    (void)::SetCommTimeouts(handle_, &timeouts);
    return OpenResult::Opened;
  }

  bool IsOpen() const override { return handle_ != nullptr; }
  std::string LastError() const override { return last_error_; }
  std::string LastDevice() const override { return last_device_; }
  OpenFailure LastFailure() const override { return last_failure_; }

  int ReadByte(uint8_t* byte) override {
    if (handle_ == nullptr) return -1;
    // With the time-outs set at open, one ReadFile returns at once with all
    // that has arrived, up to the buffer's size.
    return received_.Next(byte, [this](uint8_t* data, std::size_t capacity) -> long {
      DWORD got = 0;
      if (!::ReadFile(handle_, data, static_cast<DWORD>(capacity), &got, nullptr)) return -1;
      return static_cast<long>(got);
    });
  }

  bool WriteByte(uint8_t byte) override {
    if (handle_ == nullptr) return false;
    DWORD put = 0;
    return ::WriteFile(handle_, &byte, 1, &put, nullptr) && put == 1;
  }

  void PurgeOutput() override {
    if (handle_ != nullptr) ::PurgeComm(handle_, PURGE_TXCLEAR);
  }

  void PurgeInputOutput() override {
    received_.Clear();
    if (handle_ != nullptr) ::PurgeComm(handle_, PURGE_TXCLEAR | PURGE_RXCLEAR);
  }

  void Close() override {
    received_.Clear();
    if (handle_ == nullptr) return;
    ::CloseHandle(handle_);
    handle_ = nullptr;
  }

 private:
  // "COM12" needs the device namespace; a name given with it stays as it is.
  static std::string DeviceName(const std::string& device) {
    if (device.size() > 3 && (device.compare(0, 3, "COM") == 0 || device.compare(0, 3, "com") == 0)) {
      const std::string digits = device.substr(3);
      if (digits.find_first_not_of("0123456789") == std::string::npos && digits.size() <= 3)
        return WindowsDeviceName(static_cast<int16_t>(std::stoi(digits)));
    }
    return device;
  }

  std::string device_;
  std::string last_error_;
  std::string last_device_;
  OpenFailure last_failure_ = OpenFailure::None;
  HANDLE handle_ = nullptr;
  ReceiveBuffer received_;
};

}  // namespace

std::unique_ptr<SerialPort> MakeNativePort(const std::string&) { return std::make_unique<Win32Port>(); }

std::unique_ptr<SerialPort> MakeNativePortResolved(const std::string&, int16_t number) {
  return std::make_unique<Win32Port>(WindowsDeviceName(number));
}

std::unique_ptr<SerialPort> MakeNativePortForDevice(const std::string& device) {
  return std::make_unique<Win32Port>(device);
}

}  // namespace tarvin
