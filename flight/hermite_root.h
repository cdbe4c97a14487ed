#pragma once
// The template part of hermite.h: TOMS 748 (Alefeld, Potra and Shi 1995) from Boost.Math.
#include <boost/math/tools/toms748_solve.hpp>
#include <cstdint>

namespace zarn {

template <typename F>
double RootBetween(F f, double a, double b, double fa, double fb) {
  if (fa == 0.0) return a;
  if (fb == 0.0) return b;
  std::uintmax_t iterations = 100;
  // 50 bits: a few units in the last place of t, far below anything a step could show.
  const auto bracket = boost::math::tools::toms748_solve(
      f, a, b, fa, fb, boost::math::tools::eps_tolerance<double>(50), iterations);
  return bracket.first + (bracket.second - bracket.first) / 2;
}

}  // namespace zarn
