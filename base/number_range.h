// The bounds, inclusive, of what a field or an option accepts.
#pragma once

namespace tarvin {

struct NumberRange {
  long long low = 0;
  long long high = 0;
  constexpr bool Holds(long long value) const { return value >= low && value <= high; }
};

}  // namespace tarvin
