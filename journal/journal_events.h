// Every event a journal holds, named once: the writers write these names and
// the readers dispatch on the kind, never on a name spelt again.
#pragma once

#include <string_view>

#include "base/name_table.h"

namespace tarvin {

enum class Event {
  Start,
  Stop,
  LinkUp,
  LinkLost,
  PortOpenFailed,
  PortClosed,
  PortReopened,
  PortReopenFailed,
  WrongFirmware,
  AlarmBegin,
  AlarmEnd,
  AlarmKnown,
  Balance,
  Saved,
  SaveFailed,
  Summary,
  WalkTestBegin,
  WalkTestEnd,
  ControlRefused,
  SettingsRefused,
  MqttRefused,
  MqttDropped,
  Ack,
  AckRefused,
  CentreAcked,
  CentrePathDown,
  CentrePathUp,
  CentreDropped,
  Unknown,  // a name this program does not know (a later program's event)
};

inline constexpr NameTable<Event, 28> kEventNames = {{
    {Event::Start, "start"},
    {Event::Stop, "stop"},
    {Event::LinkUp, "link_up"},
    {Event::LinkLost, "link_lost"},
    {Event::PortOpenFailed, "port_open_failed"},
    {Event::PortClosed, "port_closed"},
    {Event::PortReopened, "port_reopened"},
    {Event::PortReopenFailed, "port_reopen_failed"},
    {Event::WrongFirmware, "wrong_firmware"},
    {Event::AlarmBegin, "alarm_begin"},
    {Event::AlarmEnd, "alarm_end"},
    {Event::AlarmKnown, "alarm_known"},
    {Event::Balance, "balance"},
    {Event::Saved, "saved"},
    {Event::SaveFailed, "save_failed"},
    {Event::Summary, "summary"},
    {Event::WalkTestBegin, "walk_test_begin"},
    {Event::WalkTestEnd, "walk_test_end"},
    {Event::ControlRefused, "control_refused"},
    {Event::SettingsRefused, "settings_refused"},
    {Event::MqttRefused, "mqtt_refused"},
    {Event::MqttDropped, "mqtt_dropped"},
    {Event::Ack, "ack"},
    {Event::AckRefused, "ack_refused"},
    // The alarm receiving centre (SIA DC-09): an event it acknowledged, the
    // path to it lost and found again, an event dropped while it was away.
    {Event::CentreAcked, "dc09_acked"},
    {Event::CentrePathDown, "dc09_path_down"},
    {Event::CentrePathUp, "dc09_path_up"},
    {Event::CentreDropped, "dc09_dropped"},
}};

constexpr std::string_view EventName(Event event) { return NameIn(kEventNames, event); }
constexpr Event EventNamed(std::string_view name) {
  return ValueIn(kEventNames, name).value_or(Event::Unknown);
}

}  // namespace tarvin
