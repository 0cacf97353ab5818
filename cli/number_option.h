// Numbers on the programs' command lines, read and refused alike in each: a
// range check whose words name the value and the range (CLI11 puts the
// option's name before them).
#pragma once

#include <CLI/CLI.hpp>
#include <string>

namespace tarvin {

// Reads a whole word as a number; false when it is none.
using NumberReader = bool (*)(const std::string& text, double* value);

// Decimal, as std::strtod reads it, the whole word, finite.
bool ReadDecimal(const std::string& text, double* value);

// A number as a person writes it: 0.01, 4095, 4294967295.
std::string ShownNumber(double value, int digits = 10);

// A number within low..high, whole when `whole`, read by `read`. As a
// transform it hands the value on in decimal, so a reader that takes 0x0102
// gives CLI11 258.
CLI::Validator Between(double low, double high, bool whole = false, NumberReader read = ReadDecimal);

}  // namespace tarvin
