// A recording of the serial line: every byte each way with its time, in a text
// a person can read, and played back later by the simulator.
//
//   # tarvin9 line recording 1
//   # start 2026-12-07T23:59:01.123+03:00
//   0.040213 > :014D00B2\r\n
//   0.080544 < :004D0000...\r\n
//
// A line is the seconds since the start (microseconds), the direction ('>'
// to the sensor, '<' from it) and the bytes, with \r, \n, \\ and \xHH for
// anything else that is not printable. A line ends at a line feed, when the
// direction changes, or after 256 bytes. '#' lines are comments.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "link/serial_port.h"

namespace tarvin {

enum class LineDirection : char { ToSensor = '>', FromSensor = '<' };

struct LineChunk {
  double seconds = 0;  // since the start of the recording
  LineDirection direction = LineDirection::FromSensor;
  std::string bytes;
};

// Escapes `bytes` as a recording line shows them.
std::string EscapeLineBytes(const std::string& bytes);

// Parses one recording line. False for comments, blank lines and lines that
// are not a recording's (with *error saying why for the latter).
bool ParseLineChunk(const std::string& line, LineChunk* chunk, std::string* error);

// Reads a whole recording. False, with the line number in *error, when a line
// is malformed or the file cannot be read.
bool ReadLineRecording(const std::string& path, std::vector<LineChunk>* chunks, std::string* error);

// A port that passes everything through to `inner` and writes each byte read
// or written to the recording.
class RecordingPort : public SerialPort {
 public:
  using Clock = std::chrono::steady_clock;

  RecordingPort(std::unique_ptr<SerialPort> inner, std::FILE* out, const std::string& start_time);
  ~RecordingPort() override;

  OpenResult Open(int16_t number) override { return inner_->Open(number); }
  bool IsOpen() const override { return inner_->IsOpen(); }
  int ReadByte(uint8_t* byte) override;
  bool WriteByte(uint8_t byte) override;
  void PurgeOutput() override { inner_->PurgeOutput(); }
  void PurgeInputOutput() override { inner_->PurgeInputOutput(); }
  void Close() override;
  std::string LastError() const override { return inner_->LastError(); }
  std::string LastDevice() const override { return inner_->LastDevice(); }

  // Ends the line being collected, so the file holds everything so far.
  void Flush();

 private:
  void Add(LineDirection direction, uint8_t byte);

  std::unique_ptr<SerialPort> inner_;
  std::FILE* out_;
  Clock::time_point start_;
  LineDirection direction_ = LineDirection::FromSensor;
  std::string pending_;
  double pending_seconds_ = 0;
};

}  // namespace tarvin
