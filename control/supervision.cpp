#include "control/supervision.h"

#include <cstdio>

namespace tarvin {

std::string WrongVersionText() {
  char text[256];
  std::snprintf(text, sizeof text,
                "ВНИМАНИЕ!\n\nРазрешена работа только с версией %d.%d программного обеспечения "
                "датчика.\n\nВыполните перепрограммирование датчика",
                static_cast<int>(kRequiredMajor), static_cast<int>(kRequiredMinor));
  return text;
}

std::string PortFailureReason(const SerialPort& port) {
  if (port.LastFailure() != OpenFailure::AccessDenied) return std::string();
  const std::string device = port.LastDevice();
  const std::string group = port.LastDeviceGroup();
  if (group.empty() || group == "root")
    return "Нет доступа к " + device + ": откройте права на чтение и запись этого устройства.";
  return "Нет доступа к " + device + ": пользователь не входит в группу " + group +
         ".\nВыполните: sudo usermod -aG " + group + " $USER и войдите в систему заново.";
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
  // The box's own words stay first; a reason the operator can act on goes beneath.
  std::string text = kPortNotOpened;
  const std::string reason = PortFailureReason(engine_.Port());
  if (!reason.empty()) text += "\n\n" + reason;
  sink_.ShowBox(Box{BoxIcon::Warning, "Внимание", text});
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
      sink_.ShowBox(Box{BoxIcon::Error, "Ошибка", kLinkLostText});
      return NoticeOutcome::Continue;
    case Notice::LinkRestored:
      view_.ShowLinkSign(LinkSign::Answering);
      sink_.ShowBox(Box{BoxIcon::None, "", kLinkRestoredText});
      return NoticeOutcome::Continue;
    case Notice::WrongVersion:
      // The engine warns once per run; a second notice must not close twice.
      if (version_refused_) return NoticeOutcome::Continue;
      version_refused_ = true;
      view_.ShowLinkSign(LinkSign::Silent);
      sink_.ShowBox(Box{BoxIcon::Error, "ОШИБКА !", WrongVersionText()});
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
