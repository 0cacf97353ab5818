// The conversions of the operator's typed numbers. Independent of the C locale,
// which the window may have set to the operator's own.
#pragma once

#include <optional>
#include <string>

#include "base/number_range.h"
#include "engine/message.h"

namespace tarvin {

// The platform's standard integer conversion: optional surrounding blanks, an
// optional sign, then decimal digits or hexadecimal digits after "0x" or "$".
// Any value that fits in 64 bits is returned as it is, so the caller's range
// check refuses 65537 instead of seeing it wrapped. False when not an integer.
bool ParseInteger(const std::string& text, long long* value);

// A typed integer checked against its range: nothing when *value holds it,
// else the message that refuses it (not_a_number or out_of_range).
std::optional<MessageCode> TypedIntegerRefusal(const std::string& text, NumberRange range,
                                               MessageCode not_a_number, MessageCode out_of_range,
                                               long long* value);

// A decimal number with optional surrounding blanks, sign, fraction (after
// '.' or ',') and exponent. Infinities and NaN are not numbers here.
bool ParseDecimal(const std::string& text, double* value);

}  // namespace tarvin
