#include <cstdio>

#include "link/serial_port.h"

namespace tarvin {

std::string WindowsDeviceName(int16_t number) {
  // Ports from 10 up are reachable only through the device namespace.
  char name[32];
  std::snprintf(name, sizeof name, number < 10 ? "COM%d" : "//./COM%d", static_cast<int>(number));
  return name;
}

}  // namespace tarvin
