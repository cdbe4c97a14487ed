#include "models/thrust_curve.h"

#include <algorithm>
#include <cstddef>
#include <utility>

namespace zarn {

ThrustCurve::ThrustCurve(std::vector<ThrustPoint> points, double propellantMass)
    : propellant_(propellantMass) {
  // The curve starts from no thrust at ignition unless its first point is there.
  if (!points.empty() && points.front().t <= 0.0) points_.clear();
  points_.insert(points_.end(), points.begin(), points.end());
  impulse_.reserve(points_.size());  // impulse_ starts with the first point's 0
  for (std::size_t i = 1; i < points_.size(); ++i) {
    const ThrustPoint& a = points_[i - 1];
    const ThrustPoint& b = points_[i];
    impulse_.push_back(impulse_.back() + (b.t - a.t) * (a.F + b.F) / 2);
  }
}

namespace {
// The segment [i - 1, i] that holds t, for t inside the burn.
std::size_t SegmentOf(const std::vector<ThrustPoint>& p, double t) {
  const auto it =
      std::upper_bound(p.begin(), p.end(), t, [](double x, const ThrustPoint& q) { return x < q.t; });
  return std::clamp<std::size_t>(static_cast<std::size_t>(it - p.begin()), 1, p.size() - 1);
}
}  // namespace

double ThrustCurve::Thrust(double t) const {
  if (!(t >= 0.0) || t > BurnTime()) return 0.0;
  const std::size_t i = SegmentOf(points_, t);
  const ThrustPoint& a = points_[i - 1];
  const ThrustPoint& b = points_[i];
  return a.F + (b.F - a.F) * (t - a.t) / (b.t - a.t);
}

double ThrustCurve::Impulse(double t) const {
  if (!(t > 0.0)) return 0.0;
  if (t >= BurnTime()) return TotalImpulse();
  const std::size_t i = SegmentOf(points_, t);
  const ThrustPoint& a = points_[i - 1];
  return impulse_[i - 1] + (t - a.t) * (a.F + Thrust(t)) / 2;  // the thrust is linear in the segment
}

}  // namespace zarn
