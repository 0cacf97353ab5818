// How the core reports to the window. The window implements it with Qt; tests
// implement it with a recorder. Texts are UTF-8.
#pragma once

#include <cstdint>
#include <string>

#include "engine/scope_sample.h"

namespace tarvin {

struct Oscillogram;  // scope/oscillogram_file.h

// Notifications raised inside a tick. The window handles them after the tick
// that raised them, in the order raised (posted events with these numbers).
enum class Notice : int { LinkLost = 1025, LinkRestored = 1026, WrongVersion = 1090 };

enum class BoxIcon { None, Warning, Error, Question };

// The application title: the caption of plain boxes.
inline constexpr const char* kAppTitle = "Тарвин-9";

// A message box with one OK button. Plain boxes (no icon, caption kAppTitle)
// answer numbers typed wrongly and file errors.
struct Box {
  BoxIcon icon = BoxIcon::None;
  std::string caption;
  std::string text;
};

// Colours as 0x00BBGGRR; kClBtnFace names the system colour of button faces.
constexpr uint32_t kClBtnFace = 0xFF00000Fu;
constexpr uint32_t kClBlue = 0x00FF0000u;
constexpr uint32_t kClRed = 0x000000FFu;
constexpr uint32_t kClYellow = 0x0000FFFFu;

enum class Picture { Smile, Ok, NoConnection };

class EngineSink {
 public:
  virtual ~EngineSink() = default;

  // Posted: handled after the current tick, in order.
  virtual void Post(Notice notice) = 0;
  // A box to show. Inside a tick the window must defer it until the tick ends.
  virtual void ShowBox(const Box& box) = 0;

  virtual void SetStatusPanel(int panel, const std::string& text) = 0;
  virtual void SetBalance(const std::string& text, uint32_t background, uint32_t font) = 0;
  virtual void SetFirmware(const std::string& major, const std::string& minor) = 0;
  virtual void SetDirectComponentText(const std::string& text) = 0;  // EDirect_component
  virtual void SetBufferLengthText(const std::string& text) = 0;     // EPorog_Buffer_lenght
  virtual void SetNetworkAddressRead(const std::string& text) = 0;   // NetworkAdrRd, then NetworkAdr
  virtual void SetPicture(Picture picture) = 0;                      // ImageSmile
  virtual void SetTimerRv(bool enabled) = 0;
  virtual void SetChartButton(bool started) = 0;       // BitBtnEnable4pF: "СТОП" / "ПУСК"
  virtual void SetSaveOnAlarmButton(bool enabled) = 0; // BitBtnEnableSaveChartAlarm captions

  // The oscilloscope view.
  virtual void ScopeGrid(float threshold, uint32_t useful, uint32_t input) = 0;
  virtual void ScopeAddPoints(uint16_t x, const ScopeSample& sample) = 0;
  virtual void ScopeClear() = 0;       // the five series, in the documented order
  virtual void ScopeDropOldest() = 0;  // index 0 of each series
  virtual void ScopeAxis(int32_t min, int32_t max) = 0;
  // A stored oscillogram: clear the series and draw it from X = 0; nothing else changes.
  virtual void ScopeShowStored(const Oscillogram& stored) = 0;
};

}  // namespace tarvin

namespace tarvin {

// A sink that shows nothing: the base of benchmark, fuzzing and soak sinks,
// which override only what they watch.
class NullEngineSink : public EngineSink {
 public:
  void Post(Notice) override {}
  void ShowBox(const Box&) override {}
  void SetStatusPanel(int, const std::string&) override {}
  void SetBalance(const std::string&, uint32_t, uint32_t) override {}
  void SetFirmware(const std::string&, const std::string&) override {}
  void SetDirectComponentText(const std::string&) override {}
  void SetBufferLengthText(const std::string&) override {}
  void SetNetworkAddressRead(const std::string&) override {}
  void SetPicture(Picture) override {}
  void SetTimerRv(bool) override {}
  void SetChartButton(bool) override {}
  void SetSaveOnAlarmButton(bool) override {}
  void ScopeGrid(float, uint32_t, uint32_t) override {}
  void ScopeAddPoints(uint16_t, const ScopeSample&) override {}
  void ScopeClear() override {}
  void ScopeDropOldest() override {}
  void ScopeAxis(int32_t, int32_t) override {}
  void ScopeShowStored(const Oscillogram&) override {}
};

}  // namespace tarvin
