// The simulated sensor on its pseudo-terminal: answers commands, streams chart
// samples at the pace of the line, and plays the faults it is told to.
#pragma once

#include <csignal>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "sim/command_reader.h"
#include "sim/frame_log.h"
#include "sim/pacer.h"
#include "sim/pty_link.h"
#include "sim/reply_queue.h"
#include "sim/sensor.h"
#include "sim/signal_model.h"
#include "sim/sim_command.h"

namespace tarvin::sim {

struct SimOptions {
  std::string link_path = "COM1";
  double pace = 1.0;                 // multiple of the line's character rate
  double rate = 0.0;                 // chart samples per second; 0 = as fast as the line allows
  double stream_status_every = 2.0;  // seconds between stream 'A' frames
  double hangup_for = 0.0;           // seconds until a hangup returns by itself; 0 = wait for `return`
  double random_intrusions = 0.0;    // mean seconds between random intrusions; 0 = none
  uint32_t seed = 1;
  SensorSettings sensor;
  std::vector<std::string> start_commands;  // run-time commands applied at start
};

struct SimStats {
  uint64_t frames_sent = 0;
  uint64_t samples_sent = 0;
  uint64_t corrupt_stream = 0;   // stream frames of any code
  uint64_t corrupt_samples = 0;  // of those, chart samples
  uint64_t corrupt_replies = 0;
  uint64_t replies_sent = 0;
  uint64_t replies_dropped = 0;
  uint64_t commands = 0;
  uint64_t bad_commands = 0;
  uint64_t garbage_chars = 0;
  uint32_t by_code[256] = {};
};

class Simulator {
 public:
  Simulator(const SimOptions& options, FrameLog& log);

  // Opens the pseudo-terminal and the link, applies the start commands.
  bool Start(std::string* error);
  // Runs until `quit` or until *stop becomes non-zero (a signal). Returns the exit code.
  int Run(const volatile std::sig_atomic_t* stop);

  // Applies one command. False when it asks to quit.
  bool Apply(const Command& command, double now);
  void PrintStats() const;

 private:
  double Now() const;
  void HangUp(double now);    // the line hung up, everything in flight lost
  void ComeBack(double now);  // the pseudo-terminal opened again after a hang-up
  void Receive(double now);
  void OnCommand(const char* body, std::size_t length, double now);
  void Pump(double now);
  bool LoadNextFrame(double now);
  // Returns true when the frame's LRC was corrupted on purpose.
  bool LoadFrame(char start, uint16_t* words, uint16_t n, bool stream, double now);
  double NextWake(double now) const;
  void ReadStdin(double now);
  bool Chance(double percent);
  SensorMoment Moment(double now);
  void SetStreaming(bool on, double from);

  SimOptions opt_;
  FrameLog& log_;
  PtyLink pty_;
  Sensor sensor_;
  SignalModel signals_;
  Pacer pacer_;
  ReplyQueue replies_;
  CommandReader reader_;
  std::mt19937 rng_;
  SimStats stats_;
  double start_ = 0.0;

  // The frame (or garbage chunk) on its way out.
  char out_[160] = {};
  std::size_t out_len_ = 0;
  std::size_t out_pos_ = 0;
  bool write_blocked_ = false;
  bool peer_absent_ = false;
  double peer_check_ = 0.0;

  // Stream schedule.
  bool streaming_ = false;
  uint32_t sample_counter_ = 0;
  double sample_due_ = 0.0;
  double status_due_ = 0.0;

  // Faults.
  double busy_until_ = -1.0;
  double silence_until_ = -1.0;
  double garbage_until_ = -1.0;
  double drop_percent_ = 0.0;
  double delay_ms_ = 0.0;
  double corrupt_percent_ = 0.0;
  bool hung_ = false;
  double return_at_ = -1.0;
  bool quit_ = false;

  char stdin_line_[512] = {};
  std::size_t stdin_len_ = 0;
  bool stdin_open_ = true;
};

}  // namespace tarvin::sim
