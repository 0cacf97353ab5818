// tarvin9-osc's exit statuses, and the one line a usage error prints.
#pragma once

#include <string>

namespace tarvin::osc {

// 0 all done, 1 a file could not be read or written (the others were still
// done), 2 bad usage.
constexpr int kDone = 0, kSomeFailed = 1, kBadUsage = 2;

// Says `message` on standard error, naming the `command` ("report") when one
// was given and where its usage is shown; returns kBadUsage.
int Usage(const std::string& message, const std::string& command = std::string());

}  // namespace tarvin::osc
