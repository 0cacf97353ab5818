// The settings file the recorder writes for --save-settings (the Windows
// installer writes the service's settings so).
#pragma once

#include <string>

namespace tarvin {

// Writes `text` into `path`, replacing a file there. A `secret` one (it holds
// a broker password) is made readable by its owner alone on Linux (0600), by
// administrators and the system account (the service) alone on Windows,
// before a byte is written. False, with the system's words in *reason, when
// it cannot be written or `path` is not a regular file.
bool WriteSettingsFile(const std::string& path, const std::string& text, bool secret, std::string* reason);

}  // namespace tarvin
