#pragma once
// The flight between two steps as a cubic Hermite segment per coordinate: the values and the
// rates at both ends fix it, so that a moment inside a step can be read to third order instead of
// at the step's ends.
#include <optional>

namespace zarn {

// y(t) on [T0, T1] from y and dy/dt at both ends.
struct HermiteSegment {
  double T0, T1;  //!< [s] the ends, T0 < T1
  double Y0, Y1;  //!< values at T0 and T1
  double R0, R1;  //!< rates dy/dt at T0 and T1

  double Value(double t) const;  // the cubic Hermite interpolant, third order
  double Rate(double t) const;   // its derivative
};

// The moment in [T0, T1] where the segment passes `level`, found by TOMS 748 on the cubic; only
// where its ends lie on either side of the level (one of them may touch it), else nothing.
std::optional<double> CrossingOf(const HermiteSegment& s, double level);

// The moment in [T0, T1] where the segment's rate passes 0 going from `sign`'s side to the other
// (sign +1: a highest point, -1: a lowest), found by TOMS 748 on the quadratic rate; only where the
// end rates say so.
std::optional<double> TurningPointOf(const HermiteSegment& s, int sign);

// The moment in [a, b] where f has its root, f(a) and f(b) on either side of 0 (either may be 0),
// to the last bits of a double; for a function of the segments such as the speed minus the speed
// of sound at the height.
template <typename F>
double RootBetween(F f, double a, double b, double fa, double fb);

}  // namespace zarn

#include "flight/hermite_root.h"
