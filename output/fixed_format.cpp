#include "output/fixed_format.h"

#include <cassert>
#include <charconv>
#include <cmath>

#include "records/errors.h"

namespace zarn {
namespace fixed_detail {

char* PutFixedExactBackward(char* end, double value, int width, int decimals) {
  if (!std::isfinite(value)) RaiseFp(std::isnan(value) ? FpFault::InvalidOperation : FpFault::Overflow);
  char text[kFieldRoom];
  const std::to_chars_result r =
      std::fabs(value) >= kScientificBound
          ? std::to_chars(text, text + sizeof text, value, std::chars_format::scientific)
          : std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  assert(r.ec == std::errc{});
  const auto length = static_cast<int>(r.ptr - text);
  char* start = end - length;
  std::memcpy(start, text, static_cast<std::size_t>(length));
  for (char* field = end - width; start > field;) *--start = ' ';
  return start;
}

}  // namespace fixed_detail

char* FormatFixed(char* out, double value, int width, int decimals) {
  assert(decimals >= 0 && decimals <= kMaxFixedDecimals && width >= 0 && width <= kMaxFixedWidth);
  char field[kFieldRoom];
  char* const end = field + sizeof field;
  const char* const start = PutFixedBackward(end, value, width, decimals);
  const auto length = static_cast<std::size_t>(end - start);
  std::memcpy(out, start, length);
  return out + length;
}

}  // namespace zarn
