#include "cli/number_option.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace tarvin {

bool ReadDecimal(const std::string& text, double* value) {
  char* end = nullptr;
  *value = std::strtod(text.c_str(), &end);
  return !text.empty() && end == text.c_str() + text.size() && std::isfinite(*value);
}

std::string ShownNumber(double value, int digits) {
  char text[40];
  std::snprintf(text, sizeof text, "%.*g", digits, value);
  return text;
}

CLI::Validator Between(double low, double high, bool whole, NumberReader read) {
  const std::string range = ShownNumber(low) + " to " + ShownNumber(high);
  return CLI::Validator(
      [=](std::string& text) -> std::string {
        const std::string wanted = std::string(whole ? "a whole number" : "a number") + " from " + range;
        double value = 0;
        if (!read(text, &value)) return "\"" + text + "\" is not a number; expected " + wanted;
        if (whole && value != std::floor(value)) return text + " is not a whole number; expected " + wanted;
        if (value < low || value > high) return text + " is out of range; expected " + wanted;
        text = ShownNumber(value, 17);
        return std::string();
      },
      range);
}

}  // namespace tarvin
