// The conversions of typed numbers: which texts are numbers, and their values.
#include <gtest/gtest.h>

#include "scope/number_text.h"

namespace tarvin {
namespace {

TEST(NumberTextTest, IntegerForms) {
  const struct {
    const char* text;
    bool ok;
    long long value;
  } cases[] = {
      {"0", true, 0},
      {"65537", true, 65537},
      {"-1", true, -1},
      {"+12", true, 12},
      {"  42  ", true, 42},
      {"\t7", true, 7},
      {"0x1F", true, 31},
      {"0X1f", true, 31},
      {"$FFFF", true, 65535},
      {"-$10", true, -16},
      {"007", true, 7},
      {"9223372036854775807", true, 9223372036854775807LL},
      {"-9223372036854775808", true, -9223372036854775807LL - 1},
      {"9223372036854775808", false, 0},
      {"", false, 0},
      {"   ", false, 0},
      {"-", false, 0},
      {"$", false, 0},
      {"0x", false, 0},
      {"1 2", false, 0},
      {"12a", false, 0},
      {"4.0", false, 0},
      {"1e3", false, 0},
      {"--1", false, 0},
      {"+-1", false, 0},
      {"0xG", false, 0},
      {"١", false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    long long value = -777;
    EXPECT_EQ(ParseInteger(c.text, &value), c.ok);
    if (c.ok) {
      EXPECT_EQ(value, c.value);
    }
  }
}

TEST(NumberTextTest, DecimalForms) {
  const struct {
    const char* text;
    bool ok;
    double value;
  } cases[] = {
      {"4", true, 4.0},   {"4.5", true, 4.5}, {"4,5", true, 4.5},  {" -0.25 ", true, -0.25},
      {".5", true, 0.5},  {"5.", true, 5.0},  {"1e3", true, 1000}, {"+2E-1", true, 0.2},
      {"", false, 0},     {".", false, 0},    {"1,2,3", false, 0}, {"1.2,3", false, 0},
      {"0x10", false, 0}, {"inf", false, 0},  {"NaN", false, 0},   {"1e999", false, 0},
      {"4 5", false, 0},  {"--4", false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    double value = -777;
    EXPECT_EQ(ParseDecimal(c.text, &value), c.ok);
    if (c.ok) {
      EXPECT_DOUBLE_EQ(value, c.value);
    }
  }
}

}  // namespace
}  // namespace tarvin
