#include "flight/number_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <system_error>

#include "records/errors.h"

namespace zarn {

std::string ShortestText(double value) {
  char text[32];
  return std::string(text, std::to_chars(text, text + sizeof text, Checked(value)).ptr);
}

std::string FormatGeneral(double value, int digits, char sep) {
  if (value == 0.0 || !std::isfinite(value)) return "0";
  // 30 significant digits are exact for every double whose expansion ends within them, which is
  // all an exact tie at digit 16 or before can be: enough to round ties away from zero.
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific, 29);
  *res.ptr = '\0';
  char mant[32];
  int n = 0;
  const char* p = buf;
  for (; *p != 'e'; ++p)
    if (*p != '.') mant[n++] = *p;
  int exp10 = std::atoi(p + 1);

  if (digits > n) digits = n;
  bool up = false;
  if (digits < n) {
    if (mant[digits] > '5') {
      up = true;
    } else if (mant[digits] == '5') {
      up = true;  // a half, or more than a half: away from zero either way
    }
  }
  n = digits;
  if (up) {
    int i = n - 1;
    while (i >= 0 && mant[i] == '9') mant[i--] = '0';
    if (i >= 0) {
      ++mant[i];
    } else {  // 9.99.. rounded to 10.0..: one digit more in front
      std::memmove(mant + 1, mant, static_cast<std::size_t>(n - 1));
      mant[0] = '1';
      ++exp10;
    }
  }
  while (n > 1 && mant[n - 1] == '0') --n;

  std::string out;
  if (value < 0) out += '-';
  if (exp10 >= -4 && exp10 < digits) {
    if (exp10 >= 0) {
      for (int i = 0; i <= exp10; ++i) out += i < n ? mant[i] : '0';
      if (n > exp10 + 1) {
        out += sep;
        out.append(mant + exp10 + 1, mant + n);
      }
    } else {
      out += '0';
      out += sep;
      out.append(static_cast<std::size_t>(-exp10 - 1), '0');
      out.append(mant, mant + n);
    }
  } else {
    out += mant[0];
    if (n > 1) {
      out += sep;
      out.append(mant + 1, mant + n);
    }
    out += 'E';
    out += std::to_string(exp10);
  }
  return out;
}

ParseResult ParseNumber(std::string_view text, char sep, double& out) {
  std::size_t i = 0;
  const std::size_t len = text.size();
  auto isDigit = [&](std::size_t k) { return k < len && text[k] >= '0' && text[k] <= '9'; };
  while (i < len && text[i] == ' ') ++i;
  bool negative = false;
  if (i < len && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const std::size_t intBegin = i;
  while (isDigit(i)) ++i;
  const std::string_view intDigits = text.substr(intBegin, i - intBegin);
  std::string_view fracDigits;
  bool hasSep = false;
  if (i < len && text[i] == sep) {
    hasSep = true;
    const std::size_t fracBegin = ++i;
    while (isDigit(i)) ++i;
    fracDigits = text.substr(fracBegin, i - fracBegin);
  }
  if (intDigits.empty() && fracDigits.empty() && !hasSep) return ParseResult::NotANumber;
  int64_t exponent = 0;
  if (i < len && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    bool expNegative = false;
    if (i < len && (text[i] == '+' || text[i] == '-')) expNegative = text[i++] == '-';
    while (isDigit(i)) {
      if (exponent < 100000000) exponent = exponent * 10 + (text[i] - '0');
      ++i;
    }
    if (expNegative) exponent = -exponent;
  }
  while (i < len && text[i] == ' ') ++i;
  if (i != len) return ParseResult::NotANumber;

  // Normalise to what from_chars reads, independent of any locale.
  std::string s;
  s.reserve(intDigits.size() + fracDigits.size() + 24);
  if (negative) s += '-';
  s.append(intDigits.empty() ? std::string_view("0") : intDigits);
  s += '.';
  s.append(fracDigits.empty() ? std::string_view("0") : fracDigits);
  s += 'e';
  s += std::to_string(exponent);
  double v = 0.0;
  auto res = std::from_chars(s.data(), s.data() + s.size(), v);
  if (res.ec == std::errc::result_out_of_range) {
    // Decimal exponent of the leading non-zero digit decides: too small reads as zero, too large
    // for a double is an overflow, too large even for extended precision is no number at all.
    int64_t lead = exponent;
    std::size_t k = 0;
    while (k < intDigits.size() && intDigits[k] == '0') ++k;
    if (k < intDigits.size()) {
      lead += static_cast<int64_t>(intDigits.size() - k) - 1;
    } else {
      std::size_t f = 0;
      while (f < fracDigits.size() && fracDigits[f] == '0') ++f;
      lead -= static_cast<int64_t>(f) + 1;
    }
    if (lead < 0) {
      out = negative ? -0.0 : 0.0;
      return ParseResult::Ok;
    }
    return lead > 4931 ? ParseResult::NotANumber : ParseResult::Overflow;
  }
  if (res.ec != std::errc()) return ParseResult::NotANumber;
  out = v;
  return ParseResult::Ok;
}

namespace {

// FieldValue without its texts, where the 17 correctly rounded digits of the value decide the
// rounding to 15: every value but those within a unit of the 17th digit of a half (which FieldValue
// rounds away from zero by its 29-digit expansion), 9.99... that rounds to the next power of ten,
// and the ends of the range. False where the texts must decide.
bool FifteenDigits(double value, double& read) {
  const double a = std::fabs(value);
  if (!(a >= 1e-300 && a <= 1e300)) return false;
  char digits[40];
  const auto written = std::to_chars(digits, digits + sizeof digits, a, std::chars_format::scientific, 16);
  // d.dddddddddddddddde-XX: the 16th and 17th digits at 16 and 17, the exponent from 18.
  const int tail = (digits[16] - '0') * 10 + (digits[17] - '0');
  if (tail >= 48 && tail <= 51) return false;
  if (tail > 51) {
    int i = 15;
    for (; i >= 0; --i) {
      if (i == 1) continue;  // the point
      if (digits[i] != '9') break;
      digits[i] = '0';
    }
    if (i < 0) return false;
    ++digits[i];
  }
  char text[40];
  std::size_t n = 0;
  if (value < 0.0) text[n++] = '-';
  for (int i = 0; i < 16; ++i) text[n++] = digits[i];
  for (const char* c = digits + 18; c < written.ptr; ++c) text[n++] = *c;
  return std::from_chars(text, text + n, read).ec == std::errc{};
}

}  // namespace

double FieldValue(double value) {
  if (value == 0.0) return 0.0;  // "0", of either zero
  double read = 0.0;
  if (FifteenDigits(value, read)) return read;
  // Rounding up past the largest double is the overflow a field reports for that text.
  if (ParseNumber(FormatGeneral(value, kFieldDigits, '.'), '.', read) != ParseResult::Ok)
    RaiseFp(FpFault::Overflow);
  return read;
}

}  // namespace zarn
