#pragma once
// How every real becomes an integer in the graphs (pixel positions, marker half-sizes): the
// nearest integer, halves to the even neighbour, so 44.5 gives 44 and 7.5 gives 8.
#include <cmath>

namespace zarn {

// Assumes the default rounding mode (to nearest), which the program never changes.
inline int RoundEven(double v) {
  return static_cast<int>(std::nearbyint(v));
}

}  // namespace zarn
