#include "flight/hermite.h"

namespace zarn {

// Basis of the cubic Hermite interpolant on s = (t - T0) / h in [0, 1], h = T1 - T0:
// y = (2s^3 - 3s^2 + 1) Y0 + (s^3 - 2s^2 + s) h R0 + (-2s^3 + 3s^2) Y1 + (s^3 - s^2) h R1.
double HermiteSegment::Value(double t) const {
  const double h = T1 - T0;
  const double s = (t - T0) / h;
  const double s2 = s * s, s3 = s2 * s;
  return (2 * s3 - 3 * s2 + 1) * Y0 + (s3 - 2 * s2 + s) * h * R0 + (3 * s2 - 2 * s3) * Y1 +
         (s3 - s2) * h * R1;
}

double HermiteSegment::Rate(double t) const {
  const double h = T1 - T0;
  const double s = (t - T0) / h;
  const double s2 = s * s;
  return (6 * s2 - 6 * s) * (Y0 - Y1) / h + (3 * s2 - 4 * s + 1) * R0 + (3 * s2 - 2 * s) * R1;
}

std::optional<double> CrossingOf(const HermiteSegment& s, double level) {
  const double f0 = s.Y0 - level, f1 = s.Y1 - level;
  if ((f0 < 0.0 && f1 < 0.0) || (f0 > 0.0 && f1 > 0.0)) return std::nullopt;
  return RootBetween([&](double t) { return s.Value(t) - level; }, s.T0, s.T1, f0, f1);
}

std::optional<double> TurningPointOf(const HermiteSegment& s, int sign) {
  const double r0 = s.R0 * sign, r1 = s.R1 * sign;
  if (!(r0 > 0.0 && r1 <= 0.0)) return std::nullopt;
  return RootBetween([&](double t) { return s.Rate(t); }, s.T0, s.T1, s.R0, s.R1);
}

}  // namespace zarn
