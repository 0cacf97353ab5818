#include "osc/osc_usage.h"

#include <iostream>

namespace tarvin::osc {

int Usage(const std::string& message, const std::string& command) {
  const std::string program = command.empty() ? "tarvin9-osc" : "tarvin9-osc " + command;
  std::cerr << "tarvin9-osc: " << (command.empty() ? "" : command + ": ") << message << " (" << program
            << " --help shows the usage)\n";
  return kBadUsage;
}

}  // namespace tarvin::osc
