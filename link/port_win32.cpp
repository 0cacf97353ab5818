#include <windows.h>

#include "link/serial_port.h"

namespace tarvin {
namespace {

class Win32Port : public SerialPort {
 public:
  ~Win32Port() override { Close(); }

  OpenResult Open(int16_t number) override {
    Close();
    const std::string name = WindowsDeviceName(number);
    HANDLE h = ::CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return OpenResult::NotOpened;
    handle_ = h;
    DCB dcb;
    ZeroMemory(&dcb, sizeof dcb);
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(handle_, &dcb)) return OpenResult::SettingsUnreadable;  // still held
    dcb.BaudRate = 38400;
    dcb.fParity = TRUE;
    dcb.ByteSize = 7;
    dcb.Parity = ODDPARITY;
    dcb.StopBits = ONESTOPBIT;
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

  int ReadByte(uint8_t* byte) override {
    if (handle_ == nullptr) return -1;
    DWORD got = 0;
    unsigned char b = 0;
    if (!::ReadFile(handle_, &b, 1, &got, nullptr)) return -1;
    if (got != 1) return 0;
    *byte = static_cast<uint8_t>(b & 0x7F);
    return 1;
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
    if (handle_ != nullptr) ::PurgeComm(handle_, PURGE_TXCLEAR | PURGE_RXCLEAR);
  }

  void Close() override {
    if (handle_ == nullptr) return;
    ::CloseHandle(handle_);
    handle_ = nullptr;
  }

 private:
  HANDLE handle_ = nullptr;
};

}  // namespace

std::unique_ptr<SerialPort> MakeNativePort(const std::string&) { return std::make_unique<Win32Port>(); }

}  // namespace tarvin
