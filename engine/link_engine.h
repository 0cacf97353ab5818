// The link engine: the serial port, the command queue, the 40 ms receive tick
// with its supervision, and the reply handlers. Plain C++, no window: it reports
// through EngineSink and hands chart samples to a ScopeInput.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>

#include "engine/engine_sink.h"
#include "engine/scope_sample.h"
#include "link/command_queue.h"
#include "link/counters.h"
#include "link/serial_port.h"

namespace tarvin {

constexpr uint16_t kRxBufferSize = 1024;
constexpr uint16_t kTrFrameSize = 101;  // the longest frame written, CR LF and NUL included
constexpr int kCycleWindowTicks = 50;
constexpr int16_t kRequiredMajor = 2;
constexpr int16_t kRequiredMinor = 0;

// A monotonic clock in nanoseconds; tests give their own.
using NowNs = int64_t (*)();

// Which request the periodic poll sends: the version until the sensor is in
// standby, the settings until they are read, then the status.
enum class PollStage : int32_t { Version, Settings, Status };

class LinkEngine {
 public:
  // The exchange in flight, under the documentation's names: read by tests
  // and by the fuzz target's invariants.
  struct ExchangeState {
    tarvin::LinkState link = tarvin::LinkState::Opened;
    uint16_t FrameState = 0;  // 0 idle, 1 ':' seen, 2 '~' seen
    char RxBuffer[kRxBufferSize] = {};
    uint16_t RxLength = 0;
    int16_t AwaitingReply = 0;
    int16_t WaitTicks = 0;
    int16_t RetryCount = 0;
    int16_t TxFailCount = 0;
    uint16_t TickErrorMark = 0;
    uint16_t ReplyCode = 0;
    tarvin::PollStage poll = tarvin::PollStage::Version;
    CommandQueue Queue;
    uint16_t CmdWords[4] = {};
    LinkCounters Counters;
    char Rv_Frame[kRxBufferSize] = "---";
    char Tr_Frame[kTrFrameSize] = "---";
    uint32_t DiagGeneration = 0;
    int16_t SensorBusy = 1;
    uint8_t AlarmBits[2] = {0, 0};
    uint32_t StatusReplies = 0;
    uint8_t VersionWarned = 0;
  };

  LinkEngine(SerialPort& port, EngineSink& sink, ScopeInput& scope);

  // --- port -------------------------------------------------------------
  // Opens port COM`number`, sets the line up, resets the link and starts ticking.
  bool OpenPort(int16_t number);
  bool PortHeld() const { return port_.IsOpen(); }
  // Why the last opening failed, for the warning that follows it.
  const SerialPort& Port() const { return port_; }
  void ClosePort();          // no purge (port choice, wrong version)
  void PurgeAndClosePort();  // exit confirmed
  // Whether the timed tick runs.
  bool Ticking() const { return ticking_; }
  void SetTicking(bool on);

  // --- commands, queued and sent one at a time -----------------------------
  // Any command by its head word (code and address) and up to two data words.
  void QueueCommand(uint16_t head_word, std::initializer_list<uint16_t> data = {});
  void WriteThreshold(uint16_t direct_component, uint16_t buffer_length);
  void RequestSettings();
  void WriteNetworkAddress(uint16_t address);
  void ReadNetworkAddress();

  // --- the three cadences --------------------------------------------------
  // LinkTick, timed for SlowestTickUs; nothing while not ticking.
  void TimedTick();
  void LinkTick();
  void Poll();       // the periodic request of the poll stage
  void CountDown();  // the repeat guard's countdown

  // --- the operator's state, changed only through these -------------------
  // Chart transmission: the sensor's automatic chart bit cleared and sent,
  // then its chart bit set and sent; ChartTag 1.
  void StartChart();
  // ChartTag 0, the chart bit cleared and sent.
  void StopChart();
  // The hold-off after a threshold command (three countdowns). False, and
  // nothing changed, while the previous one still runs.
  bool ArmRepeatGuard();
  void SetSaveOnAlarm(bool enabled) { save_alarm_tag_ = enabled ? 1 : 0; }
  // After a port failed to open: chart and saving on alarm off, no sensor flags known.
  void ForgetSensorModes();
  // The port the operator chose, as the status bar names it.
  void ChoosePort(std::string text) { port_text_ = std::move(text); }

  // --- diagnostics ------------------------------------------------------
  void ResetDiagnostics();  // the counters and frame texts back to their start
  void SetClock(NowNs now) { now_ns_ = now; }

  // --- state, read by the names the operator's documentation uses ----------
  tarvin::LinkState LinkState() const { return s_.link; }
  tarvin::PollStage PollStage() const { return s_.poll; }
  const ExchangeState& Exchange() const { return s_; }
  // A command is queued or awaits its reply: the sensor has not taken all it was sent.
  bool CommandsPending() const { return s_.Queue.Count > 0 || s_.AwaitingReply != 0; }
  const LinkCounters& Counters() const { return s_.Counters; }
  const char* Rv_Frame() const { return s_.Rv_Frame; }  // last received body
  const char* Tr_Frame() const { return s_.Tr_Frame; }  // last whole frame written, CR LF included
  // Slowest tick of the last 50, in microseconds; none until 50 ticks are measured.
  std::optional<int32_t> SlowestTickUs() const { return slowest_tick_us_; }
  uint32_t DiagGeneration() const { return s_.DiagGeneration; }  // changes with every diagnostics text
  int16_t SensorBusy() const { return s_.SensorBusy; }
  const uint8_t* AlarmBits() const { return s_.AlarmBits; }  // the status word's two alarm bytes
  // Status replies read since the start: a new one says AlarmBits is fresh.
  uint32_t StatusReplies() const { return s_.StatusReplies; }
  uint16_t SensorFlags() const { return sensor_flags_; }
  int16_t RepeatGuard() const { return repeat_guard_; }
  int32_t ChartTag() const { return chart_tag_; }             // the chart started
  int32_t SaveAlarmTag() const { return save_alarm_tag_; }    // an alarm saves the oscillogram
  const std::string& PortText() const { return port_text_; }  // the chosen port, for the status bar

 private:
  void ReceivePhase();
  void FrameEnd();
  void Supervise();
  void Transmit();
  void LinkLost(bool close_port);
  void DispatchReply(uint16_t code, uint16_t body_length);
  void DispatchStream(uint16_t code, uint16_t body_length);
  // Queues `count` words to be written after `start`; a queue that holds a
  // command of the same code refuses it.
  void Enqueue(char start, const uint16_t* words, uint16_t count);
  // Writes one frame: `start`, the words in hexadecimal, the checksum's two
  // digits, CR LF. False when a write failed or the words make no frame.
  bool WriteFrame(char start, const uint16_t* words, uint16_t count);

  SerialPort& port_;
  EngineSink& sink_;
  ScopeInput& scope_;
  friend class LinkEngineProbe;  // tests set the state up directly

  ExchangeState s_;

  uint16_t sensor_flags_ = 0;
  int16_t repeat_guard_ = 0;
  int32_t chart_tag_ = 0;
  int32_t save_alarm_tag_ = 0;
  std::string port_text_ = "COM1";
  std::optional<int32_t> slowest_tick_us_;
  bool ticking_ = false;
  NowNs now_ns_;
  int32_t cycle_max_us_ = 0;
  int16_t cycle_ticks_ = 0;
};

}  // namespace tarvin
