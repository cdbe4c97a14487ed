#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <limits>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "output/fixed_format.h"
#include "records/errors.h"

namespace zarn {
namespace {

std::string Fixed(double value, int width, int decimals) {
  char buffer[64];
  std::fill(std::begin(buffer), std::end(buffer), '#');
  char* end = FormatFixed(buffer, value, width, decimals);
  // Forwards, the field takes exactly its own room.
  for (const char* p = end; p < std::end(buffer); ++p) EXPECT_EQ(*p, '#');
  return std::string(buffer, end);
}

// A value of either sign whose magnitude is 10 to a random power drawn from `exponent`.
double RandomValue(std::mt19937_64& random, std::uniform_real_distribution<double>& exponent) {
  return std::pow(10.0, exponent(random)) * ((random() & 1) != 0 ? -1.0 : 1.0);
}

// The decimal half just above |v| at `decimals` places: not exact in binary, but close to one.
double HalfAbove(double v, int decimals) {
  const double scale = std::pow(10.0, decimals);
  return (std::floor(std::fabs(v) * scale) + 0.5) / scale;
}

// What std::to_chars with a precision gives, right-aligned in the width.
std::string Reference(double value, int width, int decimals) {
  char text[400];
  const auto r = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  std::string s(text, r.ptr);
  if (static_cast<int>(s.size()) < width) s.insert(0, static_cast<std::size_t>(width) - s.size(), ' ');
  return s;
}

TEST(FixedFormat, RightAlignsInTheWidthAndNeverCuts) {
  EXPECT_EQ(Fixed(1.0, 6, 1), "   1.0");
  EXPECT_EQ(Fixed(0.0, 10, 4), "    0.0000");
  EXPECT_EQ(Fixed(1.225, 5, 4), "1.2250");
  EXPECT_EQ(Fixed(123456.789, 5, 2), "123456.79");
  EXPECT_EQ(Fixed(7.0, 0, 0), "7");
  EXPECT_EQ(Fixed(42.0, 3, 0), " 42");
  EXPECT_EQ(Fixed(9.996, 5, 2), "10.00");  // a carry that adds a digit
}

TEST(FixedFormat, MinusSignSitsInsideTheFieldNextToTheFirstDigit) {
  EXPECT_EQ(Fixed(-1.2 / 1000, 6, 3), "-0.001");
  EXPECT_EQ(Fixed(-1.5, 8, 2), "   -1.50");
  EXPECT_EQ(Fixed(-12345.25, 5, 1), "-12345.2");
  EXPECT_EQ(Fixed(-0.001, 6, 2), " -0.00");  // negative, though it rounds to zero
  EXPECT_EQ(Fixed(-0.0, 6, 2), "  0.00");    // negative zero is zero
}

TEST(FixedFormat, ExactHalvesRoundToEven) {
  EXPECT_EQ(Fixed(0.125, 0, 2), "0.12");
  EXPECT_EQ(Fixed(0.375, 0, 2), "0.38");
  EXPECT_EQ(Fixed(-0.125, 0, 2), "-0.12");
  EXPECT_EQ(Fixed(2.5, 0, 0), "2");
  EXPECT_EQ(Fixed(3.5, 0, 0), "4");
  EXPECT_EQ(Fixed(0.5, 0, 0), "0");
}

TEST(FixedFormat, DecimalLookingHalvesFollowTheirBinaryValue) {
  EXPECT_EQ(Fixed(1.005, 0, 2), "1.00");  // 1.00499999999999989...
  EXPECT_EQ(Fixed(1.015, 0, 2), "1.01");  // 1.01499999999999990...
  EXPECT_EQ(Fixed(1.025, 0, 2), "1.02");  // 1.02499999999999991...
  EXPECT_EQ(Fixed(0.35, 0, 1), "0.3");    // 0.34999999999999997...
  EXPECT_EQ(Fixed(0.45, 0, 1), "0.5");    // 0.45000000000000001...
  EXPECT_EQ(Fixed(2.675, 0, 2), "2.67");  // 2.67499999999999982...
}

// Random values of every magnitude below the scientific bound, with random widths and decimals,
// and values at and next to the halves where a product rounding could pick the wrong neighbour.
TEST(FixedFormat, DigitsMatchTheExactValueAcrossMagnitudesAndNearHalves) {
  std::mt19937_64 random(20240611);
  std::uniform_real_distribution<double> exponent(-8.0, 15.0);
  std::uniform_int_distribution<int> decimals(0, kMaxFixedDecimals);
  std::uniform_int_distribution<int> width(0, 16);
  std::uniform_int_distribution<int64_t> mantissa(0, (int64_t{1} << 40) - 1);
  int mismatches = 0;
  auto check = [&](double v, int w, int d) {
    if (v == 0.0 || !(std::fabs(v) < kScientificBound)) return;
    const std::string got = Fixed(v, w, d);
    const std::string want = Reference(v, w, d);
    if (got != want && ++mismatches <= 10) {
      ADD_FAILURE() << "value " << std::hexfloat << v << " width " << w << " decimals " << d << ": got '"
                    << got << "', want '" << want << "'";
    }
  };
  for (int i = 0; i < 500000; ++i) {
    const int d = decimals(random);
    const int w = width(random);
    const double v = RandomValue(random, exponent);
    check(v, w, d);
    const double half = HalfAbove(v, d);
    check(half, w, d);
    check(std::nextafter(half, 0.0), w, d);
    check(std::nextafter(half, 1e300), w, d);
    // An exact half: m / 2^(d+1) with m odd lies exactly halfway between two d-decimal numbers.
    const double exactHalf = std::ldexp(static_cast<double>(mantissa(random) | 1), -(d + 1));
    check(exactHalf, w, d);
    check(std::nextafter(exactHalf, 0.0), w, d);
    check(std::nextafter(exactHalf, 1e300), w, d);
    check(-exactHalf, w, d);
  }
  EXPECT_EQ(mismatches, 0);
}

// The step file's fields are written forwards and reused while their key stays: the forward text
// of every keyed value is the backward one, it overwrites nothing before the field and at most
// kForwardSpill bytes after it, and values that share a key share a text.
TEST(FixedFormat, KeyedForwardFieldsAreTheFixedTextAndShareTextsByKey) {
  std::mt19937_64 random(20250107);
  std::uniform_real_distribution<double> exponent(-6.0, 8.5);
  std::uniform_int_distribution<int> decimals(0, kMaxForwardDecimals);
  std::uniform_int_distribution<int> width(0, kMaxFixedWidth);
  int mismatches = 0;
  std::map<std::pair<uint64_t, int>, std::string> textOfKey;  // (key, decimals) -> text at width 0
  auto check = [&](double v, int w, int d) {
    const uint64_t key = FixedKey(v, d);
    if (key == kNoKey) return;
    char buffer[64];
    std::fill(std::begin(buffer), std::end(buffer), '#');
    char* const out = buffer + 8;
    const char* const end = PutKeyedForward(out, key, w, d);
    const std::string got(static_cast<const char*>(out), end);
    const std::string want = Fixed(v, w, d);
    bool ok = got == want;
    for (const char* p = buffer; p < out; ++p) ok &= *p == '#';
    for (const char* p = end + kForwardSpill; p < std::end(buffer); ++p) ok &= *p == '#';
    const std::string& shared = textOfKey.try_emplace({key, d}, Fixed(v, 0, d)).first->second;
    ok &= shared == Fixed(v, 0, d);
    if (!ok && ++mismatches <= 10) {
      ADD_FAILURE() << "value " << std::hexfloat << v << " width " << w << " decimals " << d << ": got '"
                    << got << "', want '" << want << "', text of the key '" << shared << "'";
    }
  };
  for (int i = 0; i < 200000; ++i) {
    const int d = decimals(random);
    const int w = width(random);
    const double v = RandomValue(random, exponent);
    check(v, w, d);
    // Next to the halves, and values in the last decimal's step around v that round alike.
    const double scale = std::pow(10.0, d);
    const double half = HalfAbove(v, d);
    check(std::nextafter(half, 0.0), w, d);
    check(std::nextafter(half, 1e300), w, d);
    check(v + 0.3 / scale, w, d);
    check(-v, w, d);
  }
  check(-0.0, 6, 2);
  check(-0.001, 6, 2);  // "-0.00": its own key, not that of 0
  EXPECT_NE(FixedKey(-0.001, 2), FixedKey(0.001, 2));
  EXPECT_EQ(FixedKey(-0.0, 2), FixedKey(0.0, 2));
  for (double v : {0.25, 1e8, -1e8, std::numeric_limits<double>::infinity(), std::nan("")})
    EXPECT_EQ(FixedKey(v, 1), kNoKey) << v;  // a half, 9 integer digits, no finite value
  EXPECT_EQ(mismatches, 0);
}

// A field's text is kept while its value stays inside the range of its key. Every value inside
// must have that key, above all next to the halves where the rounding turns, for either sign and
// for zero; and the range must span nearly the whole step of the last decimal (half of it for
// zero), or nothing is gained.
TEST(FixedFormat, EveryValueInsideTheRangeOfAKeyHasThatKey) {
  std::mt19937_64 random(20261207);
  std::uniform_real_distribution<double> exponent(-7.0, 8.0);
  std::uniform_int_distribution<int> decimals(0, kMaxForwardDecimals);
  int mismatches = 0;
  auto check = [&](double made, int d) {
    const uint64_t key = FixedKey(made, d);
    if (key == kNoKey) return;
    double lo = 0, hi = 0;
    KeyRange(key, d, lo, hi);
    std::vector<double> inside = {made,           lo, hi, std::nextafter(lo, hi), std::nextafter(hi, lo),
                                  lo / 2 + hi / 2};
    const double width = (hi - lo) * std::pow(10.0, d);
    bool ok = width >= ((key >> 1) == 0 ? 0.49 : 0.99) && width < 1.0;
    for (double v : inside) ok &= !(lo <= v && v <= hi) || FixedKey(v, d) == key;
    if (!ok && ++mismatches <= 10) {
      ADD_FAILURE() << std::hexfloat << "value " << made << " decimals " << d << ": range [" << lo << ", "
                    << hi << "]";
    }
  };
  for (int i = 0; i < 200000; ++i) {
    const int d = decimals(random);
    const double v = RandomValue(random, exponent);
    const double half = HalfAbove(v, d);
    for (double near :
         {v, std::nextafter(half, 0.0), std::nextafter(half, 1e300), -std::nextafter(half, 0.0)})
      check(near, d);
  }
  for (int d = 0; d <= kMaxForwardDecimals; ++d) {
    for (double v : {0.0, -0.0, 1e-300, -1e-300, 0.4 / std::pow(10.0, d), -0.4 / std::pow(10.0, d)})
      check(v, d);
  }
  EXPECT_EQ(mismatches, 0);
}

TEST(FixedFormat, SmallestAndLargestFixedMagnitudes) {
  EXPECT_EQ(Fixed(std::numeric_limits<double>::denorm_min(), 8, 5), " 0.00000");
  EXPECT_EQ(Fixed(-std::numeric_limits<double>::min(), 8, 5), "-0.00000");
  EXPECT_EQ(Fixed(999999999999999.875, 12, 1), "999999999999999.9");
  EXPECT_EQ(Fixed(999999999999999.875, 12, 0), "1000000000000000");
  EXPECT_EQ(Fixed(123456789012.345678, 0, 9), Reference(123456789012.345678, 0, 9));
}

// From 1e15 up the text is the shortest scientific one that reads back as the same double.
TEST(FixedFormat, MagnitudesFrom1e15UseShortestScientificNotation) {
  EXPECT_EQ(Fixed(1e15, 12, 1), "       1e+15");
  EXPECT_EQ(Fixed(-1e15, 12, 1), "      -1e+15");
  EXPECT_EQ(Fixed(1.5e16, 5, 4), "1.5e+16");
  EXPECT_EQ(Fixed(-2.5e20, 8, 2), "-2.5e+20");
  EXPECT_EQ(Fixed(std::numeric_limits<double>::max(), 8, 5), "1.7976931348623157e+308");
  EXPECT_EQ(Fixed(-std::numeric_limits<double>::max(), 8, 5), "-1.7976931348623157e+308");
  const double big = 123456789012345678.0;
  EXPECT_EQ(std::stod(Fixed(big, 0, 3)), big);
}

TEST(FixedFormat, InfinityAndNanAreFaultsNotText) {
  const double inf = std::numeric_limits<double>::infinity();
  for (double v : {inf, -inf}) {
    try {
      Fixed(v, 8, 2);
      ADD_FAILURE() << "no fault for " << v;
    } catch (const FloatingPointError& e) {
      EXPECT_EQ(e.fault(), FpFault::Overflow);
    }
  }
  try {
    Fixed(std::numeric_limits<double>::quiet_NaN(), 8, 2);
    ADD_FAILURE() << "no fault for nan";
  } catch (const FloatingPointError& e) {
    EXPECT_EQ(e.fault(), FpFault::InvalidOperation);
  }
}

}  // namespace
}  // namespace zarn
