#include "scope/number_text.h"

#include <charconv>
#include <cstdint>
#include <limits>
#include <string_view>

namespace tarvin {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// Strips a leading sign; returns true when it was '-'.
bool TakeSign(std::string_view* s) {
  if (s->empty()) return false;
  const char c = s->front();
  if (c != '+' && c != '-') return false;
  s->remove_prefix(1);
  return c == '-';
}

int DigitValue(char c, int base) {
  int d = -1;
  if (c >= '0' && c <= '9')
    d = c - '0';
  else if (c >= 'a' && c <= 'f')
    d = c - 'a' + 10;
  else if (c >= 'A' && c <= 'F')
    d = c - 'A' + 10;
  return d < base ? d : -1;
}

}  // namespace

bool ParseInteger(const std::string& text, long long* value) {
  std::string_view s = Trim(text);
  const bool negative = TakeSign(&s);
  int base = 10;
  if (!s.empty() && s.front() == '$') {
    base = 16;
    s.remove_prefix(1);
  } else if (s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    base = 16;
    s.remove_prefix(2);
  }
  if (s.empty()) return false;

  // Magnitude in unsigned 64 bits; the most negative value is allowed too.
  const uint64_t limit = negative ? uint64_t{1} << 63 : uint64_t(std::numeric_limits<long long>::max());
  uint64_t magnitude = 0;
  for (const char c : s) {
    const int d = DigitValue(c, base);
    if (d < 0) return false;
    if (magnitude > (limit - uint64_t(d)) / uint64_t(base)) return false;
    magnitude = magnitude * uint64_t(base) + uint64_t(d);
  }
  if (negative) {
    *value = magnitude == (uint64_t{1} << 63) ? std::numeric_limits<long long>::min()
                                              : -static_cast<long long>(magnitude);
  } else {
    *value = static_cast<long long>(magnitude);
  }
  return true;
}

bool ParseDecimal(const std::string& text, double* value) {
  std::string_view s = Trim(text);
  const bool negative = TakeSign(&s);
  // Only digits or a fraction may follow the sign: no "inf", "nan", hex or a second sign.
  if (s.empty() || !(DigitValue(s.front(), 10) >= 0 || s.front() == '.' || s.front() == ',')) return false;

  // Either separator is the operator's; from_chars knows only '.'.
  char buffer[64];
  if (s.size() >= sizeof buffer) return false;
  int separators = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (c == ',' || c == '.') {
      c = '.';
      ++separators;
    }
    buffer[i] = c;
  }
  if (separators > 1) return false;

  double parsed = 0.0;
  const char* end = buffer + s.size();
  const auto result = std::from_chars(buffer, end, parsed, std::chars_format::general);
  if (result.ec != std::errc() || result.ptr != end) return false;
  *value = negative ? -parsed : parsed;
  return true;
}

std::optional<MessageCode> TypedIntegerRefusal(const std::string& text, NumberRange range,
                                               MessageCode not_a_number, MessageCode out_of_range,
                                               long long* value) {
  if (!ParseInteger(text, value)) return not_a_number;
  if (!range.Holds(*value)) return out_of_range;
  return std::nullopt;
}

}  // namespace tarvin
