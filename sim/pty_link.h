// The simulator's end of the line: a pseudo-terminal master, with a symbolic
// link to its slave side at the path the program opens (for example COM1 in the
// program's working folder).
#pragma once

#include <cstddef>
#include <string>

namespace tarvin::sim {

class PtyLink {
 public:
  explicit PtyLink(std::string link_path) : link_path_(std::move(link_path)) {}
  ~PtyLink();
  PtyLink(const PtyLink&) = delete;
  PtyLink& operator=(const PtyLink&) = delete;

  // A new pseudo-terminal in raw mode, and the link pointing at its slave
  // (replacing whatever the link pointed at). False with a reason on failure.
  bool Open(std::string* error);
  // Closes the master: the program's writes to the slave fail with EIO. The
  // link stays until Open makes a new one or Unlink removes it.
  void Hangup();
  // Removes the link, if it still points at our slave.
  void Unlink();

  bool IsOpen() const { return master_ >= 0; }
  int Fd() const { return master_; }
  const std::string& SlaveName() const { return slave_name_; }

  // Non-blocking. >0 bytes read; 0 nothing waiting; -1 nobody has the slave open.
  long Read(char* buffer, std::size_t capacity);
  // Non-blocking. Bytes written (0 when the line's buffer is full); -1 nobody
  // has the slave open (the bytes are lost, as on a line nobody listens to).
  long Write(const char* data, std::size_t length);

 private:
  std::string link_path_;
  std::string slave_name_;
  int master_ = -1;
};

}  // namespace tarvin::sim
