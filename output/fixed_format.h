#pragma once
// Fixed-point number text of the result files, written straight into the caller's buffer: no
// allocation, no locale, and digits four at a time from a "0000".."9999" table (40 kB): on the
// step file that formats a fifth faster than two-digit pairs, which need twice the divisions.
//
// Digits: those of the exact binary value rounded to `decimals` places, the same that
// std::to_chars or printf give; an exact half rounds to the even neighbour. The fast path
// multiplies by 10^decimals and rounds the product. Below 2^52 every n + 1/2 is a double and
// rounding the multiplication is monotonic, so the computed product lies on the same side of
// each half as the exact one, or exactly on it; only that last case (a true half, or a value
// within half an ulp of one) is handed to the exact std::to_chars.
//
// Layout: right-aligned in `width` characters and never cut (a longer text takes the room it
// needs); a negative number carries its minus sign inside the field, next to its first digit. A
// negative number that rounds to zero keeps its sign ("-0.00", as printf writes it); negative
// zero is plain zero.
//
// Magnitudes of kScientificBound = 1e15 and above are written in scientific notation, as the
// shortest text that reads back as the same double ("1e+15", "-2.5e+20"): in fixed point they
// would need 16 or more integer digits, the last of them noise of the binary value, and no field
// of the files is wider than 12 characters. Infinity and not-a-number are never written; they
// raise FloatingPointError (overflow, invalid operation) like the arithmetic that made them.
//
// Fields are written backwards, from their end: a line is built right to left, so a field's
// length need not be known before its digits are, and stores may spill to the left of the field
// into room that the fields further left overwrite afterwards.
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace zarn {

inline constexpr double kScientificBound = 1e15;
inline constexpr int kMaxFixedDecimals = 9;
inline constexpr int kMaxFixedWidth = 16;
// Bytes before `end` that PutFixedBackward may overwrite: the widest text (sign, 16 integer
// digits, point and 9 decimals: 27) and the 16 spaces stored in front of it.
inline constexpr int kFieldRoom = 48;

namespace fixed_detail {

static_assert(std::endian::native == std::endian::little, "the digit words are stored little-endian");

inline constexpr std::array<uint64_t, kMaxFixedDecimals + 1> kPow10 = {
    1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000};
inline constexpr std::array<double, kMaxFixedDecimals + 1> kPow10Real = {1e0, 1e1, 1e2, 1e3, 1e4,
                                                                         1e5, 1e6, 1e7, 1e8, 1e9};
// Products value*10^d that the fast path takes: below 2^52 its fraction is exact and every half
// is a double. For d = 0 the limit is kScientificBound, so that only the slow path meets a
// magnitude at or above it.
inline constexpr std::array<double, kMaxFixedDecimals + 1> kFastLimit = {
    kScientificBound, 0x1p52, 0x1p52, 0x1p52, 0x1p52, 0x1p52, 0x1p52, 0x1p52, 0x1p52, 0x1p52};
inline constexpr auto kDigitPairs = [] {
  std::array<char, 200> pairs{};
  for (int i = 0; i < 100; ++i) {
    pairs[static_cast<std::size_t>(2 * i)] = static_cast<char>('0' + i / 10);
    pairs[static_cast<std::size_t>(2 * i + 1)] = static_cast<char>('0' + i % 10);
  }
  return pairs;
}();
inline constexpr char kSpaces[kMaxFixedWidth + 1] = "                ";

// "0000" .. "9999": the four digits of each n < 10^4, as they appear in memory.
inline constexpr auto kDigitQuads = [] {
  std::array<uint32_t, 10000> quads{};
  for (uint32_t n = 0; n < 10000; ++n) {
    const uint32_t digits[4] = {n / 1000, n / 100 % 10, n / 10 % 10, n % 10};
    for (int i = 0; i < 4; ++i) quads[n] |= ('0' + digits[i]) << (8 * i);
  }
  return quads;
}();

// Writes the integer part ip < 10^8 and the `decimals` (0..4) digits of fp < 10^decimals ending
// at `end`, from at most two table words, with zeros in front of the integer part; returns the
// first significant digit (the last integer digit at least). Each store may spill to the left;
// the later ones overwrite what spilled.
[[gnu::always_inline]] inline char* PutQuadsBackward(char* end, uint32_t ip, uint32_t fp, int decimals) {
  if (decimals > 0) {
    std::memcpy(end - 4, &kDigitQuads[fp], 4);
    end -= decimals + 1;
  }
  const uint64_t text = kDigitQuads[ip / 10000] | (static_cast<uint64_t>(kDigitQuads[ip % 10000]) << 32);
  std::memcpy(end - 8, &text, 8);
  if (decimals > 0) *end = '.';
  // Leading zeros; the bit forced into the last digit keeps that one.
  const int leadingZeros = std::countr_zero((text ^ 0x3030303030303030ULL) | (uint64_t{1} << 56)) / 8;
  return end - 8 + leadingZeros;
}

// Writes the digits of v to the left of `end`; returns the first one.
inline char* PutDigitsBackward(char* end, uint64_t v) {
  while (v >= 100) {
    const uint64_t rest = v / 100;
    end -= 2;
    std::memcpy(end, &kDigitPairs[static_cast<std::size_t>(2 * (v - rest * 100))], 2);
    v = rest;
  }
  if (v >= 10) {
    end -= 2;
    std::memcpy(end, &kDigitPairs[static_cast<std::size_t>(2 * v)], 2);
  } else {
    *--end = static_cast<char>('0' + v);
  }
  return end;
}

// Writes exactly `count` digits of v (v < 10^count), leading zeros included, left of `end`.
inline char* PutDigitsBackward(char* end, uint64_t v, int count) {
  for (; count >= 2; count -= 2) {
    const uint64_t rest = v / 100;
    end -= 2;
    std::memcpy(end, &kDigitPairs[static_cast<std::size_t>(2 * (v - rest * 100))], 2);
    v = rest;
  }
  if (count == 1) *--end = static_cast<char>('0' + v);
  return end;
}

// Everything the fast path leaves: products on a half, large magnitudes, non-finite values.
char* PutFixedExactBackward(char* end, double value, int width, int decimals);

}  // namespace fixed_detail

// Writes `value` with `decimals` places (0..kMaxFixedDecimals), right-aligned in `width`
// (0..kMaxFixedWidth) characters, as the field that ends at `end`; returns the field's start.
// May overwrite up to kFieldRoom bytes before `end`. Inlined so that constant widths and
// decimals fold away.
[[gnu::always_inline]] inline char* PutFixedBackward(char* end, double value, int width, int decimals) {
  using namespace fixed_detail;
  const auto d = static_cast<std::size_t>(decimals);
  const bool negative = value < 0.0;
  const double product = std::fabs(value) * kPow10Real[d];
  if (!(product < kFastLimit[d])) [[unlikely]] {  // also every nan
    return PutFixedExactBackward(end, value, width, decimals);
  }
  const auto truncated = static_cast<int64_t>(product);
  const double fraction = product - static_cast<double>(truncated);  // exact below 2^52
  if (fraction == 0.5) [[unlikely]] {
    return PutFixedExactBackward(end, value, width, decimals);
  }
  const uint64_t scaled = static_cast<uint64_t>(truncated) + (fraction > 0.5 ? 1U : 0U);
  const uint64_t ip = scaled / kPow10[d];
  const uint64_t fp = scaled - ip * kPow10[d];

  char* start;
  if (decimals <= 4 && ip < 100000000) [[likely]] {
    start = PutQuadsBackward(end, static_cast<uint32_t>(ip), static_cast<uint32_t>(fp), decimals);
  } else {
    start = end;
    if (decimals > 0) {
      start = PutDigitsBackward(start, fp, decimals);
      *--start = '.';
    }
    start = PutDigitsBackward(start, ip);
  }
  std::memcpy(start - kMaxFixedWidth, kSpaces, kMaxFixedWidth);  // the padding of any field
  if (negative) *--start = '-';  // a sign rarely changes from one step to the next
  char* const fieldStart = end - width;
  return start < fieldStart ? start : fieldStart;
}

// Writes the same field forwards at `out`, exactly its own length; returns the end of the field.
char* FormatFixed(char* out, double value, int width, int decimals);

// --- Fields written forwards, keyed on their rounded value ---------------------------------------
//
// A line built in place, left to right, in the output buffer: each field's length is known from
// its rounded value before its digits are stored, and stores spill only to the right, into room
// that the next field overwrites. The key of a value is its magnitude scaled by 10^decimals and
// rounded, times two, plus one for a minus sign: two values with equal keys have equal texts, so
// a writer may reuse a field's text while its key stays (a field that moves by less than its last
// decimal from step to step). The rounding is the fast path's of PutFixedBackward.

// The key of a value that the forward writer does not take: an exact half, a magnitude of 10^8
// or more, more than kMaxForwardDecimals decimals, infinity and not-a-number. FormatFixed writes
// those.
inline constexpr uint64_t kNoKey = ~uint64_t{0};
inline constexpr int kMaxForwardDecimals = 4;
// Bytes past a field's end that PutKeyedForward may overwrite.
inline constexpr int kForwardSpill = kMaxFixedWidth;

namespace fixed_detail {
// Products below 10^8 * 10^d - 1 round to at most 8 integer digits; all lie below 2^52.
inline constexpr std::array<double, kMaxForwardDecimals + 1> kForwardLimit = {1e8 - 1, 1e9 - 1, 1e10 - 1,
                                                                              1e11 - 1, 1e12 - 1};
}  // namespace fixed_detail

// The key of `value` with `decimals` places, or kNoKey.
[[gnu::always_inline]] inline uint64_t FixedKey(double value, int decimals) {
  using namespace fixed_detail;
  const auto d = static_cast<std::size_t>(decimals);
  if (decimals > kMaxForwardDecimals) return kNoKey;
  const double product = std::fabs(value) * kPow10Real[d];
  if (!(product < kForwardLimit[d])) [[unlikely]]
    return kNoKey;  // also every nan
  const auto truncated = static_cast<int64_t>(product);
  const double fraction = product - static_cast<double>(truncated);  // exact below 2^52
  if (fraction == 0.5) [[unlikely]]
    return kNoKey;
  const uint64_t scaled = static_cast<uint64_t>(truncated) + (fraction > 0.5 ? 1U : 0U);
  return scaled * 2 + (value < 0.0 ? 1U : 0U);
}

// Values that surely have the key `key` (not kNoKey) with `decimals` places: every v with
// lo <= v <= hi. The range is narrower than the key's own by some units of the last place at
// either end, so that no rounding of |v| * 10^decimals inside it reaches a half: a writer may keep a
// field's text for a value in it without forming the value's key. Values outside it may still have
// the key; FixedKey tells.
[[gnu::always_inline]] inline void KeyRange(uint64_t key, int decimals, double& lo, double& hi) {
  using namespace fixed_detail;
  constexpr double kInside = 16 * std::numeric_limits<double>::epsilon();  // relative, far above rounding
  const double scale = kPow10Real[static_cast<std::size_t>(decimals)];
  const auto scaled = static_cast<double>(key >> 1);  // exact: below 2^52
  const double upper = (scaled + 0.5) / scale * (1.0 - kInside);
  const double lower = scaled == 0.0 ? 0.0 : (scaled - 0.5) / scale * (1.0 + kInside);
  if ((key & 1U) == 0) {
    lo = lower;  // 0 for the key of zero: -0.0 compares equal and has that key too
    hi = upper;
  } else {
    lo = -upper;
    hi = scaled == 0.0 ? -std::numeric_limits<double>::denorm_min() : -lower;  // below zero only
  }
}

// Writes the field of `key` (not kNoKey) forwards at `out`: the text that PutFixedBackward gives
// the value, right-aligned in `width` (at most kMaxFixedWidth) characters. May overwrite up to
// kForwardSpill bytes past the field's end. Returns the end.
[[gnu::always_inline]] inline char* PutKeyedForward(char* out, uint64_t key, int width, int decimals) {
  using namespace fixed_detail;
  const auto d = static_cast<std::size_t>(decimals);
  const uint64_t negative = key & 1U;
  const uint64_t scaled = key >> 1;
  const uint64_t ip = scaled / kPow10[d];
  const auto fp = static_cast<uint32_t>(scaled - ip * kPow10[d]);
  std::memcpy(out, kSpaces, kMaxFixedWidth);  // the padding of any field
  if (ip < 10000) [[likely]] {
    // Up to four integer digits: with the point and up to three decimals, one 8-byte word.
    const uint32_t quad = kDigitQuads[ip];
    const int zeros = std::countr_zero((quad ^ 0x30303030U) | (1U << 24)) / 8;
    const int significant = 4 - zeros;
    const int length = static_cast<int>(negative) + significant + (decimals > 0 ? decimals + 1 : 0);
    char* p = out + (width > length ? width - length : 0);
    *p = '-';  // overwritten by the digits when there is no sign
    p += negative;
    uint64_t text = quad >> (8 * zeros);
    if (decimals > 0) {
      const uint64_t fraction = kDigitQuads[fp] >> (8 * (kMaxForwardDecimals - decimals));
      text |= ('.' | (fraction << 8)) << (8 * significant);  // bytes past the eighth are lost ...
      std::memcpy(p, &text, 8);
      if (significant + decimals + 1 > 8)
        std::memcpy(p + significant + 1, &fraction, 4);  // ... and come here
      return p + significant + decimals + 1;
    }
    std::memcpy(p, &text, 8);
    return p + significant;
  }
  // Eight integer digits, the first in the lowest byte; the bit forced into the last keeps it.
  const uint64_t digits = kDigitQuads[ip / 10000] | (static_cast<uint64_t>(kDigitQuads[ip % 10000]) << 32);
  const int zeros = std::countr_zero((digits ^ 0x3030303030303030ULL) | (uint64_t{1} << 56)) / 8;
  const int significant = 8 - zeros;
  const int length = static_cast<int>(negative) + significant + (decimals > 0 ? decimals + 1 : 0);
  char* p = out + (width > length ? width - length : 0);
  *p = '-';  // overwritten by the digits when there is no sign
  p += negative;
  const uint64_t shifted = digits >> (8 * zeros);
  std::memcpy(p, &shifted, 8);
  p += significant;
  if (decimals > 0) {
    *p = '.';
    const uint32_t fraction = kDigitQuads[fp] >> (8 * (kMaxForwardDecimals - decimals));
    std::memcpy(p + 1, &fraction, 4);
    p += decimals + 1;
  }
  return p;
}

}  // namespace zarn
