#include "sim/pty_link.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace tarvin::sim {

PtyLink::~PtyLink() {
  Hangup();
  Unlink();
}

bool PtyLink::Open(std::string* error) {
  Hangup();
  const int fd = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0 || ::grantpt(fd) != 0 || ::unlockpt(fd) != 0) {
    *error = std::string("pseudo-terminal: ") + std::strerror(errno);
    if (fd >= 0) ::close(fd);
    return false;
  }
  const char* name = ::ptsname(fd);
  if (name == nullptr) {
    *error = std::string("ptsname: ") + std::strerror(errno);
    ::close(fd);
    return false;
  }
  // Raw on the slave side (set through the master): no echo, no line editing,
  // no CR/LF translation, so the program sees exactly the bytes sent. The
  // master side has no line discipline of its own.
  termios tio{};
  if (::tcgetattr(fd, &tio) == 0) {
    ::cfmakeraw(&tio);
    ::cfsetispeed(&tio, B38400);
    ::cfsetospeed(&tio, B38400);
    ::tcsetattr(fd, TCSANOW, &tio);
  }
  // Replace the link atomically, so the program never sees the path missing.
  const std::string temporary = link_path_ + ".new";
  ::unlink(temporary.c_str());
  if (::symlink(name, temporary.c_str()) != 0 || ::rename(temporary.c_str(), link_path_.c_str()) != 0) {
    *error = "link " + link_path_ + ": " + std::strerror(errno);
    ::unlink(temporary.c_str());
    ::close(fd);
    return false;
  }
  master_ = fd;
  slave_name_ = name;
  return true;
}

void PtyLink::Hangup() {
  if (master_ < 0) return;
  ::close(master_);
  master_ = -1;
}

void PtyLink::Unlink() {
  if (slave_name_.empty()) return;
  char target[256] = {};
  const ssize_t n = ::readlink(link_path_.c_str(), target, sizeof target - 1);
  if (n > 0 && slave_name_ == std::string(target, static_cast<std::size_t>(n))) ::unlink(link_path_.c_str());
  slave_name_.clear();
}

long PtyLink::Read(char* buffer, std::size_t capacity) {
  if (master_ < 0) return -1;
  for (;;) {
    const ssize_t got = ::read(master_, buffer, capacity);
    if (got > 0) return static_cast<long>(got);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return 0;
    return -1;  // EIO: the slave is not open
  }
}

long PtyLink::Write(const char* data, std::size_t length) {
  if (master_ < 0) return -1;
  for (;;) {
    const ssize_t put = ::write(master_, data, length);
    if (put >= 0) return static_cast<long>(put);
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
    return -1;
  }
}

}  // namespace tarvin::sim
