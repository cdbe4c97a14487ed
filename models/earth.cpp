#include "models/earth.h"

#include <cmath>

namespace zarn {
namespace {

double SquaredEccentricity(const Earth& e) {
  return e.Ellipsoid() ? kWgs84F * (2.0 - kWgs84F) : 0.0;
}

}  // namespace

Vec3 Gravity(const Earth& e, const Vec3& r) {
  const double r2 = r.squaredNorm();
  const double rn = std::sqrt(r2);
  const double k = -e.Mu / (r2 * rn);
  if (!e.Ellipsoid()) return k * r;
  // The J2 term of the potential -mu/r (1 - J2 (a/r)^2 (3 sin^2(lat) - 1) / 2), differentiated.
  const double zz = r.z() * r.z() / r2;
  const double j = 1.5 * kWgs84J2 * (e.Radius * e.Radius / r2);
  return {k * r.x() * (1.0 + j * (1.0 - 5.0 * zz)), k * r.y() * (1.0 + j * (1.0 - 5.0 * zz)),
          k * r.z() * (1.0 + j * (3.0 - 5.0 * zz))};
}

Vec3 FrameAcceleration(const Earth& e, const Vec3& r, const Vec3& v) {
  if (!e.Rotates()) return Vec3::Zero();
  const Vec3 w(0.0, 0.0, e.Rate);
  return -2.0 * w.cross(v) - w.cross(w.cross(r));
}

Vec3 PositionOf(const Earth& e, const Place& p) {
  const double e2 = SquaredEccentricity(e);
  const double s = std::sin(p.Lat);
  const double n = e.Radius / std::sqrt(1.0 - e2 * s * s);  // the prime vertical's radius of curvature
  const double c = (n + p.Height) * std::cos(p.Lat);
  return {c * std::cos(p.Lon), c * std::sin(p.Lon), (n * (1.0 - e2) + p.Height) * s};
}

Place PlaceOf(const Earth& e, const Vec3& r) {
  const double rho = std::hypot(r.x(), r.y());
  const double lon = std::atan2(r.y(), r.x());
  const double e2 = SquaredEccentricity(e);
  if (e2 == 0.0) return {std::atan2(r.z(), rho), lon, r.norm() - e.Radius};
  // Latitude by fixed-point iteration on the height: converges to the last bit in a few rounds at
  // any height a flight reaches.
  double lat = std::atan2(r.z(), rho * (1.0 - e2));
  double h = 0.0;
  for (int i = 0; i < 8; ++i) {
    const double s = std::sin(lat);
    const double n = e.Radius / std::sqrt(1.0 - e2 * s * s);
    h = std::fabs(std::cos(lat)) > 1e-9 ? rho / std::cos(lat) - n : std::fabs(r.z()) - n * (1.0 - e2);
    lat = std::atan2(r.z(), rho * (1.0 - e2 * n / (n + h)));
  }
  return {lat, lon, h};
}

LocalAxes AxesAt(const Place& p) {
  const double sl = std::sin(p.Lat), cl = std::cos(p.Lat);
  const double so = std::sin(p.Lon), co = std::cos(p.Lon);
  return {Vec3(-so, co, 0.0), Vec3(-sl * co, -sl * so, cl), Vec3(cl * co, cl * so, sl)};
}

}  // namespace zarn

namespace zarn {

Rates3 PointMassRates3(const Earth& e, const Vec3& r, const Vec3& v, const PointMass3& body, double roh,
                       const Vec3& wind) {
  const Vec3 air = v - wind;
  const Vec3 drag = -0.5 * roh * air.norm() * body.CdA * air;
  return {v, (body.Thrust + drag) / body.Mass + Gravity(e, r) + FrameAcceleration(e, r, v)};
}

}  // namespace zarn
