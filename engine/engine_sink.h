// What the link engine reports, in the link's terms. The window implements it
// with its controls; tests implement it with a recorder.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/name_table.h"
#include "engine/message.h"

namespace tarvin {

// The link as the engine sees it.
enum class LinkState : int16_t {
  Lost,    // no link: no reply in time, failed writes, or no port
  Up,      // the sensor answers
  Opened,  // a port opened, no reply yet
};

// What a tick announces about the link. Handled after the tick that raised
// them, in the order raised.
enum class Notice { LinkLost, LinkRestored, WrongVersion };

// What the status reply says of the two flanks' capacities.
enum class Balance { Balanced, FirstFlankLow, SecondFlankLow };

// The balance as the journal and the broker carry it.
inline constexpr NameTable<Balance, 3> kBalanceNames = {{
    {Balance::Balanced, "balanced"},
    {Balance::FirstFlankLow, "first_flank_low"},
    {Balance::SecondFlankLow, "second_flank_low"},
}};
constexpr std::string_view BalanceName(Balance balance) { return NameIn(kBalanceNames, balance); }
constexpr std::optional<Balance> BalanceNamed(std::string_view name) { return ValueIn(kBalanceNames, name); }

// Values only: each program puts them into its own words (the window's
// labels, the recorder's journal and broker messages).
class EngineSink {
 public:
  virtual ~EngineSink() = default;

  // Raised inside a tick: handled after it, in order.
  virtual void Post(Notice notice) = 0;
  // A box to show. Inside a tick it must wait until the tick ends.
  virtual void ShowBox(const Message& message) = 0;

  // The code of the last status reply.
  virtual void SetReplyCode(unsigned code) = 0;
  // The chosen port (as the operator named it), open or not.
  virtual void SetPortState(const std::string& port, bool open) = 0;
  // Opened after an opening, then Up or Lost as replies come or stop.
  virtual void SetLinkState(LinkState state) = 0;
  virtual void SetBalance(Balance balance) = 0;
  virtual void SetFirmware(unsigned major, unsigned minor) = 0;
  // The sensor's settings as its replies carry them.
  virtual void SetDirectComponent(int value) = 0;
  virtual void SetBufferLength(int value) = 0;
  virtual void SetNetworkAddressRead(unsigned address) = 0;
  virtual void SetTicking(bool on) = 0;
};

}  // namespace tarvin
