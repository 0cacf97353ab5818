// The recorder run by the Windows service control manager: started at boot
// with no one logged in, stopped by `sc stop` or at shutdown as SIGTERM stops
// it on Linux. Its functions are built only for Windows; its names serve the
// options on both.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tarvin {

// The name the service is registered under (sc create tarvin9-recorder ...).
inline constexpr const char* kServiceName = "tarvin9-recorder";

// The settings file the service reads, in its data folder.
inline constexpr const char* kServiceSettingsFile = "recorder.ini";

// %ProgramData%\Tarvin-9, made when missing; empty when it cannot be.
std::string ServiceDataFolder();

// Hands the process to the service control manager. `run` is the service's
// whole run, begun with the data folder as the current folder and reported
// running; a stop or a shutdown reports a stop pending and calls `stop`,
// which must make `run` return soon; what it returns is reported as the
// service's exit code. Returns that code, or 1 with a line on standard
// error when the process was not started by the service manager.
// The process's command line in UTF-8, as the options and every path in the
// program are read. The C runtime's own argv is in the system's 8-bit code
// page, which loses a Cyrillic folder or site name where it has no Cyrillic.
std::vector<std::string> CommandLineUtf8();

// Writes `text` as an error of the source tarvin9-recorder into Windows'
// Application log, where an administrator looks for why a service did not start.
void ReportToEventLog(const std::string& text);

int RunAsWindowsService(const std::function<int()>& run, const std::function<void()>& stop);

}  // namespace tarvin
