#include "control/supervision.h"

namespace tarvin {

Message PortFailure(const SerialPort& port) {
  if (port.LastFailure() != OpenFailure::AccessDenied) return Message{MessageCode::PortNotOpened, {}, {}};
  return Message{MessageCode::PortAccessDenied, port.LastDevice(), port.LastDeviceGroup()};
}

Supervision::Supervision(LinkEngine& engine, SensorCommands& commands, EngineSink& sink, CommandsView& view)
    : engine_(engine), commands_(commands), sink_(sink), view_(view) {}

bool Supervision::OpenAtStartup(int index, const std::string& item_text) {
  return Open(index, item_text, false);
}

bool Supervision::ChangePort(int index, const std::string& item_text) {
  engine_.SetTicking(false);
  if (engine_.PortHeld()) engine_.ClosePort();
  return Open(index, item_text, true);
}

bool Supervision::Open(int index, const std::string& item_text, bool port_change) {
  engine_.ChoosePort(item_text);
  if (engine_.OpenPort(static_cast<int16_t>(index + 1))) {
    sink_.SetPortState(item_text, true);
    return true;
  }
  // The port change names the port as off first; start-up resets the buttons first.
  if (port_change) {
    sink_.SetPortState(item_text, false);
    view_.ShowLinkSign(LinkSign::Silent);
    commands_.ResetAfterFailedOpen();
  } else {
    commands_.ResetAfterFailedOpen();
    sink_.SetPortState(item_text, false);
    view_.ShowLinkSign(LinkSign::Silent);
  }
  sink_.ShowBox(PortFailure(engine_.Port()));
  return false;
}

void Supervision::ExitConfirmed() {
  engine_.SetTicking(false);
  if (engine_.PortHeld()) engine_.PurgeAndClosePort();
}

NoticeOutcome Supervision::HandleNotice(Notice notice, bool show) {
  if (!show) {
    if (notice != Notice::WrongVersion || version_refused_) return NoticeOutcome::Continue;
    version_refused_ = true;
    StopLink();
    return NoticeOutcome::CloseWindow;
  }
  switch (notice) {
    case Notice::LinkLost:
      view_.ShowLinkSign(LinkSign::Silent);
      sink_.ShowBox(Message{MessageCode::LinkLost, {}, {}});
      return NoticeOutcome::Continue;
    case Notice::LinkRestored:
      view_.ShowLinkSign(LinkSign::Answering);
      sink_.ShowBox(Message{MessageCode::LinkRestored, {}, {}});
      return NoticeOutcome::Continue;
    case Notice::WrongVersion:
      // The engine warns once per run; a second notice must not close twice.
      if (version_refused_) return NoticeOutcome::Continue;
      version_refused_ = true;
      view_.ShowLinkSign(LinkSign::Silent);
      sink_.ShowBox(Message{MessageCode::WrongVersion, {}, {}});
      StopLink();
      return NoticeOutcome::CloseWindow;
  }
  return NoticeOutcome::Continue;
}

void Supervision::StopLink() {
  engine_.SetTicking(false);
  if (engine_.PortHeld()) engine_.ClosePort();
}

}  // namespace tarvin
