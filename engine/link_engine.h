// The link engine: the serial port, the command queue, the 40 ms receive tick
// with its supervision, and the reply handlers. Plain C++, no window: it reports
// through EngineSink and hands chart samples to a ScopeInput.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

#include "engine/engine_sink.h"
#include "link/command_queue.h"
#include "link/counters.h"
#include "link/serial_port.h"
#include "engine/scope_sample.h"

namespace tarvin {

constexpr uint16_t kRxBufferSize = 1024;
constexpr uint16_t kTrFrameSize = 101;  // the longest frame written, CR LF and NUL included
constexpr int kCycleWindowTicks = 50;
constexpr int16_t kRequiredMajor = 2;
constexpr int16_t kRequiredMinor = 0;

// A monotonic clock in nanoseconds; tests give their own.
using NowNs = int64_t (*)();

class LinkEngine {
 public:
  LinkEngine(SerialPort& port, EngineSink& sink, ScopeInput& scope);

  // --- port -------------------------------------------------------------
  // Opens the port, sets the line up and resets the link. 1 opened, 0 failed.
  int16_t Open_Port(int16_t number);
  bool PortHeld() const { return port_.IsOpen(); }  // hCom != 0
  // Why the last opening failed, for the warning that follows it.
  const SerialPort& Port() const { return port_; }
  void ClosePort();          // no purge (port choice, wrong version)
  void PurgeAndClosePort();  // exit confirmed
  bool TimerRv() const { return timer_rv_; }
  void SetTimerRv(bool enabled);

  // --- commands ---------------------------------------------------------
  void Put_Cmd(char ucStart, const uint16_t* usData, uint16_t usDataLen);
  // Builds CmdWords from the head word and data words, appends Calc_KS and
  // calls Put_Cmd with ':'.
  void QueueCommand(uint16_t head_word, std::initializer_list<uint16_t> data = {});
  int16_t Send_Cmd1(char ucStart, const uint16_t* usData, uint16_t usDataLen);

  // --- ticks ------------------------------------------------------------
  void TimerRvTimer();  // LinkTick, timed for SlowestTick (does nothing while TimerRv is off)
  void LinkTick();
  void Timer1Timer();   // the periodic request of PollStage
  void Timer2Timer();   // RepeatGuard countdown

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
  int16_t LinkState() const { return s_.LinkState; }  // 0 no link, 1 link up, 2 port opened, no reply yet
  uint16_t FrameState() const { return s_.FrameState; }  // 0 idle, 1 ':' seen, 2 '~' seen
  const char* RxBuffer() const { return s_.RxBuffer; }
  uint16_t RxLength() const { return s_.RxLength; }
  int16_t AwaitingReply() const { return s_.AwaitingReply; }
  int16_t WaitTicks() const { return s_.WaitTicks; }
  int16_t RetryCount() const { return s_.RetryCount; }
  int16_t TxFailCount() const { return s_.TxFailCount; }
  uint16_t TickErrorMark() const { return s_.TickErrorMark; }
  int32_t PollStage() const { return s_.PollStage; }  // Timer1's tag: 0 version, 1 settings, 2 status
  const CommandQueue& Queue() const { return s_.Queue; }
  const LinkCounters& Counters() const { return s_.Counters; }
  const char* Rv_Frame() const { return s_.Rv_Frame; }  // last received body
  const char* Tr_Frame() const { return s_.Tr_Frame; }  // last whole frame written, CR LF included
  // Slowest tick of the last 50, in microseconds; the window's Label35 shows it.
  const char* SlowestTick() const { return slowest_tick_; }
  uint32_t DiagGeneration() const { return s_.DiagGeneration; }  // changes with every diagnostics text
  int16_t SensorBusy() const { return s_.SensorBusy; }
  const uint8_t* AlarmBits() const { return s_.AlarmBits; }  // the status word's two alarm bytes
  // Status replies read since the start: a new one says AlarmBits is fresh.
  uint32_t StatusReplies() const { return s_.StatusReplies; }
  uint8_t VersionWarned() const { return s_.VersionWarned; }
  uint16_t SensorFlags() const { return sensor_flags_; }
  int16_t RepeatGuard() const { return repeat_guard_; }
  int32_t ChartTag() const { return chart_tag_; }          // BitBtnEnable4pF's tag: chart started
  int32_t SaveAlarmTag() const { return save_alarm_tag_; }  // BitBtnEnableSaveChartAlarm's tag
  const std::string& PortText() const { return port_text_; }  // ComboBox1's text, for the status bar

 private:
  void ReceivePhase();
  void FrameEnd();
  void Supervise();
  void Transmit();
  void LinkLost(bool close_port);
  void DispatchReply(uint16_t code, uint16_t body_length);
  void DispatchStream(uint16_t code, uint16_t body_length);

  // What the tick works on, under the documentation's names.
  struct State {
    int16_t LinkState = 2;
    uint16_t FrameState = 0;
    char RxBuffer[kRxBufferSize] = {};
    uint16_t RxLength = 0;
    int16_t AwaitingReply = 0;
    int16_t WaitTicks = 0;
    int16_t RetryCount = 0;
    int16_t TxFailCount = 0;
    uint16_t TickErrorMark = 0;
    uint16_t ReplyCode = 0;
    int32_t PollStage = 0;
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

  SerialPort& port_;
  EngineSink& sink_;
  ScopeInput& scope_;
  friend class LinkEngineProbe;  // tests set the state up directly

  State s_;

  uint16_t sensor_flags_ = 0;
  int16_t repeat_guard_ = 0;
  int32_t chart_tag_ = 0;
  int32_t save_alarm_tag_ = 0;
  std::string port_text_ = "COM1";
  char slowest_tick_[24] = "Label35";
  bool timer_rv_ = false;
  NowNs now_ns_;
  int32_t cycle_max_us_ = 0;
  int16_t cycle_ticks_ = 0;
};

}  // namespace tarvin
