// All a program shows of one sensor: the engine's reports, the oscilloscope
// and what the commands show. One object per program implements it.
#pragma once

#include "control/commands_view.h"
#include "engine/engine_sink.h"
#include "scope/scope_view.h"

namespace tarvin {

class SessionSink : public EngineSink, public ScopeView, public CommandsView {};

// Shows nothing: the base of benchmark, fuzzing, soak and headless sinks,
// which override only what they watch.
class NullSessionSink : public SessionSink {
 public:
  void Post(Notice) override {}
  void ShowBox(const Message&) override {}
  void SetReplyCode(unsigned) override {}
  void SetPortState(const std::string&, bool) override {}
  void SetLinkState(LinkState) override {}
  void SetBalance(Balance) override {}
  void SetFirmware(unsigned, unsigned) override {}
  void SetDirectComponent(int) override {}
  void SetBufferLength(int) override {}
  void SetNetworkAddressRead(unsigned) override {}
  void SetTicking(bool) override {}
  void ScopeGrid(float, uint32_t, uint32_t) override {}
  void ScopeAddPoints(uint16_t, const ScopeSample&) override {}
  void ScopeClear() override {}
  void ScopeDropOldest() override {}
  void ScopeAxis(int32_t, int32_t) override {}
  void ScopeShowStored(const Oscillogram&) override {}
  void ShowLinkSign(LinkSign) override {}
  void ShowChartRunning(bool) override {}
  void ShowSaveOnAlarm(bool) override {}
};

}  // namespace tarvin
