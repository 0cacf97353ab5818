// The recorder's command line.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "outlets/dc09/dc09_options.h"
#include "outlets/mqtt/mqtt_options.h"
#include "scope/scope_model.h"

namespace tarvin {

inline constexpr const char* kRecorderVersion = TARVIN_VERSION;  // from CMake

struct RecorderOptions {
  std::string port;                 // "COMn" or a device path
  std::string folder = "Chart4pF";  // where oscillograms go; made when missing
  std::string journal = "journal.jsonl";
  int window = kWindowDefault;
  double save_level = kSaveLevelDefault;
  bool save_on_alarm = true;
  std::string record_line;         // empty: no recording
  std::optional<double> duration;  // seconds; none: until a signal
  int summary_every = 60;          // seconds between `summary` events
  std::string control;             // a named pipe for commands; empty: none
  int walk_test_limit = 30;        // minutes a walk test runs at most
  bool service = false;            // run by the Windows service manager
  std::string save_settings;       // write the other options there and end

  // Publishing to a broker: none while `mqtt.url` is empty.
  MqttOptions mqtt;
  // Reporting to an alarm receiving centre: none while `dc09.url` is empty.
  Dc09Options dc09;
};

// True where the recorder was built with its MQTT client.
bool MqttBuiltIn();
// True where the recorder was built with its SIA DC-09 reporting.
bool Dc09BuiltIn();

// The port number a "COMn" names (1..70), or 0 for a device path.
int ComPortNumber(const std::string& port);

// Where a complaint about the options goes: one line, without its newline.
using Complaint = std::function<void(const std::string&)>;

// Parses the command line and the settings file it names (--settings; for
// the Windows service, recorder.ini in the current folder). Returns an exit
// code when the program must end now (0 after --help or --version, 2 after
// a bad option or setting, with one line naming it given to `complain`,
// standard error by default), or nothing when *options is ready.
std::optional<int> ParseRecorderOptions(int argc, const char* const* argv, RecorderOptions* options,
                                        const Complaint& complain = {});

}  // namespace tarvin
