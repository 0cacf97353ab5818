#include "control/sensor_commands.h"

#include "link/sensor_protocol.h"

namespace tarvin {

SensorCommands::SensorCommands(LinkEngine& engine, ScopeModel& scope, EngineSink& boxes, CommandsView& view)
    : engine_(engine), scope_(scope), boxes_(boxes), view_(view) {}

bool SensorCommands::CheckLinkUp() {
  if (engine_.LinkState() == LinkState::Up) return true;
  Show(MessageCode::NoLink);
  return false;
}

bool SensorCommands::CheckStandby() {
  if (engine_.SensorBusy() == 0) return true;
  Show(MessageCode::NotStandby);
  return false;
}

void SensorCommands::Show(MessageCode code) { boxes_.ShowBox(Message{code, {}, {}}); }

bool SensorCommands::ReadTypedNumber(const std::string& text, NumberRange range, MessageCode out_of_range,
                                     long long* value) {
  const std::optional<MessageCode> refusal =
      TypedIntegerRefusal(text, range, MessageCode::SettingNotANumber, out_of_range, value);
  if (refusal) Show(*refusal);
  return !refusal;
}

void SensorCommands::StartOrStopChart() {
  if (!CheckLinkUp() || !CheckStandby()) return;
  if (engine_.ChartTag() != 0) {
    StopChartTransmission();
    return;
  }
  StartChartTransmission();
}

void SensorCommands::StartChartTransmission() {
  engine_.StartChart();
  view_.ShowChartRunning(true);
  // A save armed before a loss of the link or a stop keeps the samples it was
  // armed over; after the clearing it would hold zeros in their place.
  scope_.SavePendingAtStop();
  scope_.ResetView();
  scope_.ZeroHistory();
}

void SensorCommands::StopChartTransmission() {
  engine_.StopChart();
  view_.ShowChartRunning(false);
}

ThresholdResult SensorCommands::SetThreshold(const std::string& direct_text, const std::string& buffer_text) {
  if (!CheckLinkUp() || !CheckStandby()) return ThresholdResult::Refused;
  // Armed before the fields are read: a refused entry starts the hold-off too.
  if (!engine_.ArmRepeatGuard()) {
    Show(MessageCode::RepeatCommand);
    return ThresholdResult::Refused;
  }

  long long direct = 0;
  if (!ReadTypedNumber(direct_text, protocol::threshold::kConstantRange,
                       MessageCode::DirectComponentOutOfRange, &direct))
    return ThresholdResult::FocusDirectComponent;
  long long buffer = 0;
  if (!ReadTypedNumber(buffer_text, protocol::threshold::kBufferLengthRange,
                       MessageCode::BufferLengthOutOfRange, &buffer))
    return ThresholdResult::BufferLengthInvalid;
  engine_.WriteThreshold(uint16_t(direct), uint16_t(buffer));
  return ThresholdResult::Queued;
}

void SensorCommands::ReadSettings() {
  if (!CheckLinkUp() || !CheckStandby()) return;
  engine_.RequestSettings();
}

void SensorCommands::ToggleSaveOnAlarm() {
  engine_.SetSaveOnAlarm(engine_.SaveAlarmTag() != 1);
  view_.ShowSaveOnAlarm(engine_.SaveAlarmTag() == 1);
}

FieldResult SensorCommands::SetSaveLevel(const std::string& text) {
  double level = 0.0;
  if (!ParseDecimal(text, &level)) {
    Show(MessageCode::SettingNotANumber);
    return FieldResult::Refused;
  }
  if (level < kSaveLevelMin || level > kSaveLevelMax) {
    Show(MessageCode::SaveLevelOutOfRange);
    return FieldResult::Refused;
  }
  scope_.SetSaveLevel(static_cast<float>(level));
  return FieldResult::Accepted;
}

FieldResult SensorCommands::WriteNetworkAddress(const std::string& address_text) {
  // An open port is enough: the first reply may still be awaited.
  if (engine_.LinkState() == LinkState::Lost) {
    Show(MessageCode::NoLink);
    return FieldResult::Accepted;
  }
  if (!CheckStandby()) return FieldResult::Accepted;
  long long address = 0;
  if (!ReadTypedNumber(address_text, protocol::address::kRange, MessageCode::AddressOutOfRange, &address))
    return FieldResult::Refused;
  engine_.WriteNetworkAddress(uint16_t(address));
  return FieldResult::Accepted;
}

void SensorCommands::ReadNetworkAddress() {
  if (engine_.LinkState() == LinkState::Lost) {
    Show(MessageCode::NoLink);
    return;
  }
  engine_.ReadNetworkAddress();
}

void SensorCommands::ResetAfterFailedOpen() {
  engine_.ForgetSensorModes();
  view_.ShowChartRunning(false);
  view_.ShowSaveOnAlarm(false);
}

bool SensorCommands::OpenOscillogram(const std::string& path) {
  const FileStatus status = ReadOscillogram(path, &Stored);
  if (status == FileStatus::CannotOpen) {
    boxes_.ShowBox(FileFailure(status, path));
    return false;
  }
  // A stored oscillogram is viewed with the live chart stopped, link or not.
  StopChartTransmission();
  if (status == FileStatus::WrongVersion) return false;
  if (status != FileStatus::Ok) {
    // Drawing values the file does not hold would show an invented trace.
    boxes_.ShowBox(FileFailure(status, path));
    return false;
  }
  scope_.ShowStored(Stored);
  return true;
}

}  // namespace tarvin
