// What the link engine reports, in the link's terms. The window implements it
// with its controls; tests implement it with a recorder. Texts are UTF-8.
#pragma once

#include <cstdint>
#include <string>

namespace tarvin {

// What a tick announces about the link. Handled after the tick that raised
// them, in the order raised.
enum class Notice { LinkLost, LinkRestored, WrongVersion };

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

// What the status reply says of the two flanks' capacities.
enum class Balance { Balanced, Unbalanced };

class EngineSink {
 public:
  virtual ~EngineSink() = default;

  // Raised inside a tick: handled after it, in order.
  virtual void Post(Notice notice) = 0;
  // A box to show. Inside a tick it must wait until the tick ends.
  virtual void ShowBox(const Box& box) = 0;

  // The code of the last status reply, in decimal.
  virtual void SetReplyCodeText(const std::string& text) = 0;
  // The chosen port named on or off ("COM1 включён", "COM1 выключен").
  virtual void SetPortStatusText(const std::string& text) = 0;
  // The link's state in words: "" after an opening, then "Связь восстановлена" or "Нет связи".
  virtual void SetLinkStatusText(const std::string& text) = 0;
  virtual void SetBalance(const std::string& text, Balance balance) = 0;
  virtual void SetFirmware(const std::string& major, const std::string& minor) = 0;
  virtual void SetDirectComponentText(const std::string& text) = 0;
  virtual void SetBufferLengthText(const std::string& text) = 0;
  virtual void SetNetworkAddressRead(const std::string& text) = 0;
  // The timed tick runs, or stops (a closed or changing port, the exit).
  virtual void SetTicking(bool on) = 0;
};

}  // namespace tarvin
