// What a box tells the operator, as a value. The core says which message and
// about what; each program puts it into its own words (the window's boxes,
// the recorder's console), so no sentence is made below them.
#pragma once

#include <string>

namespace tarvin {

enum class MessageCode {
  // A command or a frame longer than the transmit buffer: a program fault.
  CommandTooLong,
  FrameTooLong,
  // The port and the link.
  PortNotOpened,
  PortAccessDenied,  // path: the device; group: who may open it ("" or "root": nobody named)
  LinkLost,
  LinkRestored,
  WrongVersion,
  // Commands refused before they reach the sensor.
  NoLink,
  NotStandby,
  RepeatCommand,
  // The sensor's fields: typed as no number, or out of the field's range.
  SettingNotANumber,
  DirectComponentOutOfRange,
  BufferLengthOutOfRange,
  SaveLevelOutOfRange,
  AddressOutOfRange,
  // The chart's fields, likewise.
  ChartNotAnInteger,
  WindowOutOfRange,
  AxisMinOutOfRange,
  AxisMaxOutOfRange,
  // A manual save before the window was drawn full.
  TooFewPoints,
  // Files; path: the file.
  SaveCannotOpen,  // an oscillogram's file could not be created (no path in the box)
  CannotOpenFile,
  CannotWriteFile,
  DamagedFile,  // read, but short, of another version, or torn
};

struct Message {
  MessageCode code = MessageCode::NoLink;
  std::string path;
  std::string group;
};

}  // namespace tarvin
