#include "link/port_posix.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tarvin {
namespace {

// The name of the group that owns `path` (followed through links), or "".
std::string OwningGroup(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::string();
  group entry{};
  group* found = nullptr;
  char buffer[4096];
  if (::getgrgid_r(st.st_gid, &entry, buffer, sizeof buffer, &found) != 0 || found == nullptr)
    return std::to_string(st.st_gid);
  return found->gr_name;
}

}  // namespace

std::string PosixPort::DevicePath(int16_t number) const {
  if (!device_.empty()) return device_;
  std::string entry = work_dir_;
  if (!entry.empty() && entry.back() != '/') entry += '/';
  entry += "COM" + std::to_string(number);
  // lstat: a link whose target is gone still names this port, and opening it
  // fails, rather than silently reaching some other device.
  struct stat st {};
  if (!work_dir_.empty() && ::lstat(entry.c_str(), &st) == 0) return entry;
  return "/dev/ttyS" + std::to_string(number - 1);
}

OpenResult PosixPort::Open(int16_t number) {
  Close();
  last_error_.clear();
  last_device_.clear();
  last_group_.clear();
  last_failure_ = OpenFailure::Other;
  if (number < 1 && device_.empty()) {
    last_error_ = "no such port number";
    return OpenResult::NotOpened;
  }
  const std::string path = DevicePath(number);
  last_device_ = path;
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    last_error_ = std::strerror(error);
    if (error == EACCES || error == EPERM) {
      last_failure_ = OpenFailure::AccessDenied;
      last_group_ = OwningGroup(path);
    }
    return OpenResult::NotOpened;
  }
  // The port is held unshared: a second opener, here or in another program, is refused.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    last_error_ = "the device is in use by another program";
    ::close(fd);
    return OpenResult::NotOpened;
  }
#ifdef TIOCEXCL
  ::ioctl(fd, TIOCEXCL);
#endif
  fd_ = fd;
  last_failure_ = OpenFailure::None;

  termios tio{};
  if (::tcgetattr(fd, &tio) != 0) {
    last_error_ = std::string("line settings unreadable: ") + std::strerror(errno);
    last_failure_ = OpenFailure::Other;
    return OpenResult::SettingsUnreadable;  // still held
  }
  ::cfmakeraw(&tio);
  ::cfsetispeed(&tio, B38400);
  ::cfsetospeed(&tio, B38400);
  tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | CSTOPB | CRTSCTS);
  tio.c_cflag |= CS7 | PARENB | PARODD | CLOCAL | CREAD;
  tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | PARMRK | IGNPAR | ISTRIP);
  tio.c_iflag |= INPCK;
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  // A pseudo-terminal refuses or ignores 7O1 and stays 8N1: that is not a failure,
  // the received bytes are masked to 7 bits anyway.
  (void)::tcsetattr(fd, TCSANOW, &tio);
  return OpenResult::Opened;
}

int PosixPort::ReadByte(uint8_t* byte) {
  if (fd_ < 0) return -1;
  return received_.Next(byte, [this](uint8_t* data, std::size_t capacity) -> long {
    for (;;) {
      const ssize_t got = ::read(fd_, data, capacity);
      if (got >= 0) return static_cast<long>(got);
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
      return -1;
    }
  });
}

bool PosixPort::WriteByte(uint8_t byte) {
  if (fd_ < 0) return false;
  for (;;) {
    const ssize_t put = ::write(fd_, &byte, 1);
    if (put == 1) return true;
    if (put < 0 && errno == EINTR) continue;
    // EIO after a hang-up, EAGAIN on a full buffer, or nothing written: failed.
    return false;
  }
}

void PosixPort::PurgeOutput() {
  if (fd_ >= 0) ::tcflush(fd_, TCOFLUSH);
}

void PosixPort::PurgeInputOutput() {
  received_.Clear();
  if (fd_ >= 0) ::tcflush(fd_, TCIOFLUSH);
}

void PosixPort::Close() {
  received_.Clear();
  if (fd_ < 0) return;
#ifdef TIOCNXCL
  ::ioctl(fd_, TIOCNXCL);
#endif
  ::flock(fd_, LOCK_UN);
  ::close(fd_);
  fd_ = -1;
}

std::unique_ptr<SerialPort> MakeNativePort(const std::string& work_dir) {
  return std::make_unique<PosixPort>(work_dir);
}

std::unique_ptr<SerialPort> MakeNativePortResolved(const std::string& work_dir, int16_t number) {
  return std::make_unique<PosixPort>(PosixPort::FixedDevice{PosixPort(work_dir).DevicePath(number)});
}

std::unique_ptr<SerialPort> MakeNativePortForDevice(const std::string& device) {
  return std::make_unique<PosixPort>(PosixPort::FixedDevice{device});
}

}  // namespace tarvin
