// NASA's check cases for flight simulations (NASA/TM-2015-218675): a sphere of 1 slug, Cd 0.1,
// 0.1963495 ft^2, dropped at rest from 30 000 ft at latitude and longitude 0 into the 1976 standard
// atmosphere, flown 30 s on the point mass's rates. Their six simulations agree to 0.01 ft.
#include <gtest/gtest.h>

#include <array>
#include <boost/numeric/odeint/stepper/runge_kutta4.hpp>
#include <cmath>

#include "models/earth.h"
#include "models/linear_table.h"
#include "models/us76.h"

namespace zarn {
namespace {

constexpr double kFt = 0.3048;
constexpr double kSlug = 14.5939;

// The check cases' sphere: inverse-square gravity with their own mu and radius.
Earth CheckSphere(bool rotating) {
  return {rotating ? EarthShape::kRotatingSphere : EarthShape::kSphere, 20902255.199 * kFt,
          1.407644311e16 * kFt * kFt * kFt, rotating ? kWgs84Rate : 0.0};
}
Earth CheckEllipsoid() {
  return {EarthShape::kRotatingEllipsoid, kWgs84A, kWgs84Mu, kWgs84Rate};
}

struct AtThirty {
  double HeightFt, DownFt, EastDriftFt;
};

AtThirty Drop(const Earth& e, double cd, const LinearTable& eastWindFt) {
  using State = std::array<double, 6>;
  const Place start{0.0, 0.0, 30000 * kFt};
  const Vec3 east = AxesAt(start).East;  // the same east at every point this near 0, 0
  const PointMass3 ball{kSlug, cd * 0.1963495 * kFt * kFt, Vec3::Zero()};
  auto rates = [&](const State& y, State& dy, double) {
    const Vec3 r(y[0], y[1], y[2]), v(y[3], y[4], y[5]);
    const double h = PlaceOf(e, r).Height;
    const Rates3 d =
        PointMassRates3(e, r, v, ball, Us76Atmosphere(h).Roh, east * eastWindFt.At(h / kFt) * kFt);
    dy = {d.dr.x(), d.dr.y(), d.dr.z(), d.dv.x(), d.dv.y(), d.dv.z()};
  };
  const Vec3 r0 = PositionOf(e, start);
  State y{r0.x(), r0.y(), r0.z(), 0.0, 0.0, 0.0};
  boost::numeric::odeint::runge_kutta4<State> rk4;
  constexpr int kSteps = 3000;
  for (int i = 0; i < kSteps; ++i) rk4.do_step(rates, y, i * 0.01, 0.01);
  const Vec3 r(y[0], y[1], y[2]), v(y[3], y[4], y[5]);
  const Place p = PlaceOf(e, r);
  const LocalAxes a = AxesAt(p);
  return {p.Height / kFt, -v.dot(a.Up) / kFt, p.Lon * e.Radius / kFt};
}

TEST(CheckCases, Case4SphereNotRotating) {
  const AtThirty c = Drop(CheckSphere(false), 0.1, LinearTable({{0.0, 0.0}}));
  EXPECT_NEAR(c.HeightFt, 16231.307, 1.0);
  EXPECT_NEAR(c.DownFt, 867.1048, 0.1);
}

TEST(CheckCases, Case5SphereRotating) {
  const AtThirty c = Drop(CheckSphere(true), 0.1, LinearTable({{0.0, 0.0}}));
  EXPECT_NEAR(c.HeightFt, 16276.386, 1.0);
  EXPECT_NEAR(c.DownFt, 864.4800, 0.1);
}

TEST(CheckCases, Case1DraglessOverTheRotatingWgs84EllipsoidWithJ2) {
  const AtThirty c = Drop(CheckEllipsoid(), 0.0, LinearTable({{0.0, 0.0}}));
  EXPECT_NEAR(c.HeightFt, 15598.904, 1.0);
  EXPECT_NEAR(c.DownFt, 960.2931, 0.1);
}

TEST(CheckCases, Case6And7DragOverTheEllipsoidAndASteadyEastWind) {
  const AtThirty calm = Drop(CheckEllipsoid(), 0.1, LinearTable({{0.0, 0.0}}));
  EXPECT_NEAR(calm.HeightFt, 16284.445, 1.0);
  EXPECT_NEAR(calm.DownFt, 864.0108, 0.1);
  EXPECT_NEAR(calm.EastDriftFt, 19.51, 0.2);
  const AtThirty windy = Drop(CheckEllipsoid(), 0.1, LinearTable({{0.0, 20.0}}));
  EXPECT_NEAR(windy.HeightFt, 16285.162, 1.0);
  EXPECT_NEAR(windy.EastDriftFt - calm.EastDriftFt, 27.47, 0.2747);  // the wind's drift, 1 %
}

TEST(CheckCases, Case8AWindLinearInHeightDriftsTheSphereEast) {
  const AtThirty calm = Drop(CheckEllipsoid(), 0.1, LinearTable({{0.0, 0.0}}));
  const AtThirty shear = Drop(CheckEllipsoid(), 0.1, LinearTable({{0.0, -20.0}, {30000.0, 70.0}}));
  EXPECT_NEAR(shear.HeightFt, 16290.999, 1.0);
  EXPECT_NEAR(shear.EastDriftFt - calm.EastDriftFt, 80.49, 0.8049);  // the shear's drift, 1 %
}

}  // namespace
}  // namespace zarn
