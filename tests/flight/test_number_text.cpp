#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "flight/number_text.h"

namespace zarn {
namespace {

TEST(FormatGeneral, GraphLabelExamples) {
  EXPECT_EQ(FormatGeneral(12345, 4, '.'), "1.235E4");
  EXPECT_EQ(FormatGeneral(12345, 3, '.'), "1.23E4");
  EXPECT_EQ(FormatGeneral(10000, 4, '.'), "1E4");
  EXPECT_EQ(FormatGeneral(0.00005, 3, '.'), "5E-5");
  EXPECT_EQ(FormatGeneral(2.5, 4, '.'), "2.5");
  EXPECT_EQ(FormatGeneral(770, 4, '.'), "770");
  EXPECT_EQ(FormatGeneral(9999.7, 4, '.'), "1E4");  // the carry moves it out of fixed range
  EXPECT_EQ(FormatGeneral(0.0001, 4, '.'), "0.0001");
  EXPECT_EQ(FormatGeneral(0.000099996, 4, '.'), "0.0001");
}

TEST(FormatGeneral, ExactHalvesRoundAwayFromZero) {
  EXPECT_EQ(FormatGeneral(0.125, 2, '.'), "0.13");
  EXPECT_EQ(FormatGeneral(-0.125, 2, '.'), "-0.13");
  EXPECT_EQ(FormatGeneral(2.5, 1, '.'), "3");
}

TEST(FormatGeneral, FieldTextsWithFifteenDigits) {
  EXPECT_EQ(FormatGeneral(0, 15, ','), "0");
  EXPECT_EQ(FormatGeneral(0.02, 15, '.'), "0.02");
  EXPECT_EQ(FormatGeneral(0.005, 15, '.'), "0.005");
  EXPECT_EQ(FormatGeneral(10000, 15, '.'), "10000");
  EXPECT_EQ(FormatGeneral(100000, 15, '.'), "100000");
  EXPECT_EQ(FormatGeneral(-88, 15, '.'), "-88");
  EXPECT_EQ(FormatGeneral(0.41, 15, ','), "0,41");
  EXPECT_EQ(FormatGeneral(0.00001, 15, '.'), "1E-5");
  EXPECT_EQ(FormatGeneral(1e15, 15, '.'), "1E15");
  EXPECT_EQ(FormatGeneral(999999999999999, 15, '.'), "999999999999999");
  EXPECT_EQ(FormatGeneral(1.0 / 3, 15, '.'), "0.333333333333333");
  EXPECT_EQ(FormatGeneral(-123456789012345678.0, 15, '.'), "-1.23456789012346E17");
  EXPECT_EQ(FormatGeneral(1.5e-300, 15, '.'), "1.5E-300");
}

TEST(FormatGeneral, FifteenDigitTextsReadBackToTheSameParameter) {
  for (double v : {0.02, 0.005, 0.0015, 0.41, 0.038, 18000.0, 1.2248846, 3.14159265358979}) {
    double back = 0;
    ASSERT_EQ(ParseNumber(FormatGeneral(v, 15, ','), ',', back), ParseResult::Ok);
    EXPECT_EQ(back, v);
  }
}

// A field's value: 15 significant digits, an exact half away from zero, worked by hand; and for
// values of every size the number its text reads back to.
TEST(FieldValue, IsTheNumberOfItsFifteenDigitText) {
  const struct {
    double Value, Field;
  } kCases[] = {
      {1000000000000005.0, 1000000000000010.0},  // an exact half: away from zero, not to even
      {-1000000000000005.0, -1000000000000010.0},
      {1000000000000015.0, 1000000000000020.0},
      {1000000000000004.0, 1000000000000000.0},
      {1000000000000006.0, 1000000000000010.0},
      {9999999999999996.0, 1e16},  // the carry through every digit
      {0.1 + 0.2, 0.3},
      {1.0 / 3, 0.333333333333333},
      {-2.0 / 3, -0.666666666666667},
      {45.00000000000001, 45.0},
      {1.5e-300, 1.5e-300},
      {0.0, 0.0},
      {-0.0, 0.0},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(FieldValue(c.Value), c.Field) << c.Value;
    EXPECT_FALSE(std::signbit(FieldValue(c.Value)) && c.Field == 0.0);
  }
  // Values spread over the range, both signs, and their neighbours next to a half of the 15th digit.
  uint64_t bits = 0x9e3779b97f4a7c15ULL;
  for (int i = 0; i < 20000; ++i) {
    bits ^= bits << 13, bits ^= bits >> 7, bits ^= bits << 17;
    const double v =
        std::ldexp(static_cast<double>(bits >> 11) * 0x1p-53, static_cast<int>(bits % 200) - 100) *
        (bits & 1 ? -1 : 1);
    const double y = FieldValue(v), unit = std::pow(10.0, std::floor(std::log10(std::fabs(y))) - 14);
    for (const double x : {v, y + unit * 0.5, y + unit * 0.496, y + unit * 0.504, y - unit * 0.496}) {
      double text = 0;
      ASSERT_EQ(ParseNumber(FormatGeneral(x, 15, '.'), '.', text), ParseResult::Ok);
      ASSERT_EQ(FieldValue(x), text) << x;
    }
  }
}

double Read(std::string_view text, char sep = '.') {
  double v = -777;
  EXPECT_EQ(ParseNumber(text, sep, v), ParseResult::Ok) << '"' << text << '"';
  return v;
}

TEST(ParseNumber, AcceptsSpacesSignsSeparatorAndExponent) {
  EXPECT_EQ(Read(" 12 "), 12);
  EXPECT_EQ(Read("1e3"), 1000);
  EXPECT_EQ(Read("1E-2"), 0.01);
  EXPECT_EQ(Read("1e"), 1);
  EXPECT_EQ(Read("1e+"), 1);
  EXPECT_EQ(Read("+3"), 3);
  EXPECT_EQ(Read("-0.5"), -0.5);
  EXPECT_EQ(Read(".5"), 0.5);
  EXPECT_EQ(Read("5."), 5);
  EXPECT_EQ(Read("."), 0);
  EXPECT_EQ(Read(",", ','), 0);
  EXPECT_EQ(Read("1,5", ','), 1.5);
  EXPECT_EQ(Read("1e-400"), 0);
  EXPECT_EQ(Read("0.1"), 0.1);
}

TEST(ParseNumber, RefusesTextsThatAreNotNumbersAndKeepsTheOldValue) {
  for (std::string_view text : {"", " ", "-", "+", "e5", "1.5 x", "1 2", "\t1", "1,000", "0x10", "inf", "nan",
                                "--1", "1e5.5", "1..2"}) {
    double v = 42;
    EXPECT_EQ(ParseNumber(text, '.', v), ParseResult::NotANumber) << '"' << text << '"';
    EXPECT_EQ(v, 42);
  }
  double v = 42;
  EXPECT_EQ(ParseNumber("1.5", ',', v), ParseResult::NotANumber);
  EXPECT_EQ(v, 42);
}

TEST(ParseNumber, ValuesBeyondADoubleAreAnOverflowAndFarBeyondNotANumber) {
  double v = 42;
  EXPECT_EQ(ParseNumber("1e400", '.', v), ParseResult::Overflow);
  EXPECT_EQ(ParseNumber("-2E308", '.', v), ParseResult::Overflow);
  EXPECT_EQ(ParseNumber("1e5000", '.', v), ParseResult::NotANumber);
  EXPECT_EQ(v, 42);
  EXPECT_EQ(Read("1.7e308"), 1.7e308);
}

}  // namespace
}  // namespace zarn
