// Test doubles for what the session reports to: every call to the program's
// sink (the engine's reports, the scope's view, what the commands show) and
// to the oscilloscope's data half (ScopeInput) is recorded, in order, so tests
// can check what was shown, posted and drawn.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/link_engine.h"
#include "engine/scope_sample.h"
#include "session/session_sink.h"
#include "words/box_words.h"

namespace tarvin::testing {

class RecorderSink : public SessionSink {
 public:
  struct Firmware {
    unsigned major = 0, minor = 0;
  };
  struct Grid {
    float threshold = 0.0f;
    uint32_t useful = 0, input = 0;
  };
  struct Point {
    uint16_t x = 0;
    ScopeSample sample;
  };

  void Post(Notice notice) override {
    notices.push_back(notice);
    Log("Post " + std::to_string(static_cast<int>(notice)));
  }
  // Kept as the operator would read it, so tests check the words as well.
  void ShowBox(const Message& message) override {
    boxes.push_back(words::BoxFor(message));
    Log("ShowBox " + boxes.back().text);
  }
  void SetReplyCode(unsigned code) override {
    reply_code = code;
    Log("SetReplyCode " + std::to_string(code));
  }
  void SetPortState(const std::string& port, bool open) override {
    port_status = port + (open ? " open" : " closed");
    Log("SetPortState " + port_status);
  }
  void SetLinkState(LinkState state) override {
    link_state = state;
    Log("SetLinkState " + std::to_string(static_cast<int>(state)));
  }
  void SetBalance(tarvin::Balance balance) override {
    balances.push_back(balance);
    Log("SetBalance " + std::string(BalanceName(balance)));
  }
  void SetFirmware(unsigned major, unsigned minor) override {
    firmware.push_back(Firmware{major, minor});
    Log("SetFirmware " + std::to_string(major) + "." + std::to_string(minor));
  }
  void SetDirectComponent(int value) override {
    direct_component.push_back(value);
    Log("SetDirectComponent " + std::to_string(value));
  }
  void SetBufferLength(int value) override {
    buffer_length.push_back(value);
    Log("SetBufferLength " + std::to_string(value));
  }
  void SetNetworkAddressRead(unsigned address) override {
    network_address.push_back(address);
    Log("SetNetworkAddressRead " + std::to_string(address));
  }
  void ShowLinkSign(LinkSign picture) override {
    pictures.push_back(picture);
    Log("ShowLinkSign " + std::to_string(static_cast<int>(picture)));
  }
  void SetTicking(bool on) override {
    ticking.push_back(on);
    Log(std::string("SetTicking ") + (on ? "on" : "off"));
  }
  void ShowChartRunning(bool running) override {
    chart_running.push_back(running);
    Log(std::string("ShowChartRunning ") + (running ? "started" : "stopped"));
  }
  void ShowSaveOnAlarm(bool enabled) override {
    save_on_alarm.push_back(enabled);
    Log(std::string("ShowSaveOnAlarm ") + (enabled ? "on" : "off"));
  }
  void ScopeGrid(float threshold, uint32_t useful, uint32_t input) override {
    grids.push_back(Grid{threshold, useful, input});
    Log("ScopeGrid");
  }
  void ScopeAddPoints(uint16_t x, const ScopeSample& sample) override {
    points.push_back(Point{x, sample});
    Log("ScopeAddPoints " + std::to_string(x));
  }
  void ScopeClear() override {
    ++scope_clears;
    Log("ScopeClear");
  }
  void ScopeDropOldest() override {
    ++scope_drops;
    Log("ScopeDropOldest");
  }
  void ScopeAxis(int32_t min, int32_t max) override {
    axes.emplace_back(min, max);
    Log("ScopeAxis " + std::to_string(min) + " " + std::to_string(max));
  }
  void ScopeShowStored(const Oscillogram& stored) override {
    stored_shown.push_back(&stored);
    Log("ScopeShowStored");
  }

  int CountNotices(Notice notice) const {
    int n = 0;
    for (Notice each : notices) n += each == notice ? 1 : 0;
    return n;
  }
  // Forgets everything recorded so far.
  void Clear() { *this = RecorderSink(); }

  std::vector<Notice> notices;
  std::vector<Box> boxes;
  std::optional<unsigned> reply_code;   // the last, when any
  std::string port_status;              // the last, as "COM1 open" or "COM1 closed"
  std::optional<LinkState> link_state;  // the last, when any
  std::vector<tarvin::Balance> balances;
  std::vector<Firmware> firmware;
  std::vector<int> direct_component, buffer_length;
  std::vector<unsigned> network_address;
  std::vector<LinkSign> pictures;
  std::vector<bool> ticking, chart_running, save_on_alarm;
  std::vector<Grid> grids;
  std::vector<Point> points;
  int scope_clears = 0, scope_drops = 0;
  std::vector<std::pair<int32_t, int32_t>> axes;
  std::vector<const Oscillogram*> stored_shown;
  std::vector<std::string> calls;  // every call, in order, as "Name argument"

 private:
  void Log(std::string entry) { calls.push_back(std::move(entry)); }
};

class RecorderScope : public ScopeInput {
 public:
  void AppendScopeSample(const ScopeSample& sample) override { samples.push_back(sample); }
  void ArmSaveOnAlarm() override { ++arms; }

  std::vector<ScopeSample> samples;
  int arms = 0;
};

}  // namespace tarvin::testing
