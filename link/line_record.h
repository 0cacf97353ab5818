// A recording of the serial line: every byte each way with its time, in a text
// a person can read, and played back later by the simulator.
//
//   # tarvin9 line recording 1
//   # start 2026-12-07T23:59:01.123+03:00
//   0.040213 > :014D00B2\r\n
//   0.080544 < :004D0000...\r\n
//
// A recording is only ever appended to: each run of the recorder begins with
// its own "# tarvin9 line recording 1" line, and its times count from its own
// start, so a service that restarts the recorder keeps every earlier night.
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

// The line that begins every run.
inline constexpr const char* kLineRunHeader = "# tarvin9 line recording 1";

struct LineRun {
  std::string start;  // the local time of its "# start" line, when it has one
  std::vector<LineChunk> chunks;
};

// Reads every run of a recording. False, with the line number in *error, when
// a line is malformed or the file cannot be read.
bool ReadLineRuns(const std::string& path, std::vector<LineRun>* runs, std::string* error);

// The chunks of run `number` (from 1) as recorded, or with 0 those of every
// run one after the other, each run's times moved to follow the run before.
std::vector<LineChunk> ChunksOfRuns(const std::vector<LineRun>& runs, std::size_t number);

// Reads a whole recording: every run, one after the other.
bool ReadLineRecording(const std::string& path, std::vector<LineChunk>* chunks, std::string* error);

// A port that passes everything through to `inner` and writes each byte read
// or written to the recording, once Begin() has given it the file.
class RecordingPort : public SerialPort {
 public:
  using Clock = std::chrono::steady_clock;

  // Records nothing until Begin(), so the file need not be opened before the
  // port is known to open.
  explicit RecordingPort(std::unique_ptr<SerialPort> inner) : inner_(std::move(inner)) {}
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

  // Writes a run's header to `out` (opened for appending) and records from now on.
  void Begin(std::FILE* out, const std::string& start_time);
  // Ends the line being collected, so the file holds everything so far.
  void Flush();

 private:
  void Add(LineDirection direction, uint8_t byte);

  std::unique_ptr<SerialPort> inner_;
  std::FILE* out_ = nullptr;
  Clock::time_point start_;
  LineDirection direction_ = LineDirection::FromSensor;
  std::string pending_;
  double pending_seconds_ = 0;
};

}  // namespace tarvin
