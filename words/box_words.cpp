#include "words/box_words.h"

#include <cstdio>

#include "engine/link_engine.h"
#include "link/sensor_protocol.h"
#include "scope/scope_model.h"

namespace tarvin::words {
namespace {

constexpr const char* kAttention = "Внимание";

std::string Range(NumberRange range) { return std::to_string(range.low) + "-" + std::to_string(range.high); }

// A sensor's field refused: "Число вне допуска (1-4095); повторите ввод".
Box SettingOutOfRange(NumberRange range) {
  return Box{BoxIcon::None, kAppTitle, "Число вне допуска (" + Range(range) + "); повторите ввод"};
}

// A chart's field refused; the lower axis end's box has no blank after the colon.
Box ChartOutOfRange(NumberRange range, const char* after_colon) {
  return Box{
      BoxIcon::None, kAppTitle,
      std::string("Вы ввели ошибочное число. Допуск:") + after_colon + Range(range) + ". Повторите ввод"};
}

std::string WrongVersionText() {
  char text[256];
  std::snprintf(text, sizeof text,
                "ВНИМАНИЕ!\n\nРазрешена работа только с версией %d.%d программного обеспечения "
                "датчика.\n\nВыполните перепрограммирование датчика",
                static_cast<int>(kRequiredMajor), static_cast<int>(kRequiredMinor));
  return text;
}

// What follows "Не открылся СОМ-порт!" when the system refused this user the device: who
// may open it and how to join them.
std::string AccessReason(const std::string& device, const std::string& group) {
  if (group.empty() || group == "root")
    return "Нет доступа к " + device + ": откройте права на чтение и запись этого устройства.";
  return "Нет доступа к " + device + ": пользователь не входит в группу " + group +
         ".\nВыполните: sudo usermod -aG " + group + " $USER и войдите в систему заново.";
}

}  // namespace

std::string FileFailureText(bool cannot_open, const std::string& path) {
  return (cannot_open ? "Файл не удается открыть: " : "Файл не удается записать: ") + path;
}

Box BoxFor(const Message& m) {
  switch (m.code) {
    case MessageCode::CommandTooLong:
      return Box{BoxIcon::Warning, kAttention, "Put_Cmd: usDataLen>SIZE_TR_BUF!"};
    case MessageCode::FrameTooLong:
      return Box{BoxIcon::Warning, kAttention, "Send_Cmd1: usDataLen>SIZE_TR_BUF!"};
    case MessageCode::PortNotOpened:
      return Box{BoxIcon::Warning, kAttention, "Не открылся СОМ-порт!"};
    case MessageCode::PortAccessDenied:
      // The box's own words stay first; a reason the operator can act on goes beneath.
      return Box{BoxIcon::Warning, kAttention, "Не открылся СОМ-порт!\n\n" + AccessReason(m.path, m.group)};
    case MessageCode::LinkLost:
      return Box{BoxIcon::Error, "Ошибка", "Нет связи с датчиком!"};
    case MessageCode::LinkRestored:
      return Box{BoxIcon::None, "", "Связь восстановлена!"};
    case MessageCode::WrongVersion:
      return Box{BoxIcon::Error, "ОШИБКА !", WrongVersionText()};
    case MessageCode::NoLink:
      return Box{BoxIcon::Warning, kAttention, "Нет связи с датчиком!"};
    case MessageCode::NotStandby:
      return Box{BoxIcon::Warning, kAttention, " Дождитесь перехода датчика в дежурный режим!"};
    case MessageCode::RepeatCommand:
      return Box{BoxIcon::Warning, kAttention, "Повторите команду"};
    case MessageCode::SettingNotANumber:
      return Box{BoxIcon::None, kAppTitle, " Неверный формат данных; повторите ввод"};
    case MessageCode::DirectComponentOutOfRange:
      return SettingOutOfRange(protocol::threshold::kConstantRange);
    case MessageCode::BufferLengthOutOfRange:
      return SettingOutOfRange(protocol::threshold::kBufferLengthRange);
    case MessageCode::SaveLevelOutOfRange:
      return SettingOutOfRange(
          NumberRange{static_cast<long long>(kSaveLevelMin), static_cast<long long>(kSaveLevelMax)});
    case MessageCode::AddressOutOfRange:
      return SettingOutOfRange(protocol::address::kRange);
    case MessageCode::ChartNotAnInteger:
      return Box{BoxIcon::None, kAppTitle, "Вы ввели ошибочное число; повторите ввод"};
    case MessageCode::WindowOutOfRange:
      return ChartOutOfRange(NumberRange{kWindowMin, kWindowMax}, " ");
    case MessageCode::AxisMinOutOfRange:
      return ChartOutOfRange(kAxisMinRange, "");
    case MessageCode::AxisMaxOutOfRange:
      return ChartOutOfRange(kAxisMaxRange, " ");
    case MessageCode::TooFewPoints:
      return Box{BoxIcon::Warning, kAttention,
                 "Число точек, прорисованных на экране, меньше заданному в поле <Х>"};
    case MessageCode::SaveCannotOpen:
      return Box{BoxIcon::None, kAppTitle, "Файл не удается открыть"};
    case MessageCode::CannotOpenFile:
      return Box{BoxIcon::None, kAppTitle, FileFailureText(true, m.path)};
    case MessageCode::CannotWriteFile:
      return Box{BoxIcon::None, kAppTitle, FileFailureText(false, m.path)};
    case MessageCode::DamagedFile:
      return Box{BoxIcon::None, kAppTitle, "Файл повреждён или неполон: " + m.path};
  }
  return Box{};
}

}  // namespace tarvin::words
