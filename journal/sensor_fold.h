// The sensor's state as a run of journal events tells it, one event at a time:
// whether the link is up and with which firmware, whether the alarm is known
// and on, the alarm still open, the walk test running and its detections, the
// balance as last journalled, the path to the alarm receiving centre. The recorder's broker status, the
// report and the control room's history read the state from here instead of each dispatching on the events
// again.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "journal/journal_event.h"

namespace tarvin {

class SensorFold {
 public:
  enum class Link { Unknown, Up, Down };
  // The path to the alarm receiving centre: unknown until the run's first
  // `dc09_path_up` or `dc09_path_down` (and in a recorder that reports to none).
  enum class Centre { Unknown, Up, Down };
  // What one event changed.
  enum Change : unsigned {
    kNothing = 0,
    kRunBegan = 1,   // `start`: the link down, no alarm open, no test, the centre unknown
    kRunEnded = 2,   // `stop`
    kLink = 4,       // up, or down from up or from unknown
    kAlarm = 8,      // the alarm bits read (a begin, an end, a first status)
    kWalkTest = 16,  // a test begun, ended, or joined by a detection
    kBalance = 32,
    kCentre = 64,  // the centre's path changed between unknown, up and down
  };
  // The alarm an `alarm_begin` opened, as the control room names it.
  struct OpenAlarm {
    std::string time;
    uint64_t seq = 0;
  };

  unsigned Apply(const JournalEvent& event);

  Link LinkState() const { return link_; }
  bool LinkUp() const { return link_ == Link::Up; }
  // The `link_up`'s firmware while the link is up; null otherwise.
  const nlohmann::ordered_json& Firmware() const { return firmware_; }
  // Known once a status has been read since the link came up, and only while it is up.
  bool AlarmKnown() const { return LinkUp() && alarm_known_; }
  unsigned AlarmBits() const { return alarm_bits_; }
  // An `alarm_begin` whose end has not come in this run; its name when it had one.
  bool AlarmOpen() const { return alarm_open_; }
  const std::optional<OpenAlarm>& OpenAlarmName() const { return open_alarm_; }
  // The running test's number (null when none runs, or when its begin gave none).
  const nlohmann::ordered_json& WalkTest() const { return walk_test_; }
  uint64_t Detections() const { return detections_; }
  // The last `balance` event's `value` and `text` as written.
  const std::string& BalanceValue() const { return balance_value_; }
  const std::string& BalanceText() const { return balance_text_; }
  Centre CentrePath() const { return centre_; }

 private:
  unsigned LinkDown();
  unsigned AlarmRead(const JournalEvent& event);
  unsigned CentreIs(Centre centre);

  Link link_ = Link::Unknown;
  nlohmann::ordered_json firmware_;
  bool alarm_known_ = false;
  unsigned alarm_bits_ = 0;
  bool alarm_open_ = false;
  std::optional<OpenAlarm> open_alarm_;
  nlohmann::ordered_json walk_test_;
  uint64_t detections_ = 0;
  std::string balance_value_, balance_text_;
  Centre centre_ = Centre::Unknown;
};

}  // namespace tarvin
