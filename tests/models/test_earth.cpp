// The Earth's shape, gravity and turning against WGS-84's published figures.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "models/earth.h"

namespace zarn {
namespace {

constexpr double kDeg = std::numbers::pi / 180.0;

Earth Wgs84() {
  return {EarthShape::kRotatingEllipsoid, kWgs84A, kWgs84Mu, kWgs84Rate};
}

TEST(Earth, TheEllipsoidsAxesAndNormalGravityAreWgs84s) {
  const Earth e = Wgs84();
  const Vec3 equator = PositionOf(e, {0.0, 0.0, 0.0});
  EXPECT_NEAR(equator.x(), 6378137.0, 1e-6);
  const Vec3 pole = PositionOf(e, {90 * kDeg, 0.0, 0.0});
  EXPECT_NEAR(pole.z(), 6356752.314245, 1e-5);  // the semi-minor axis b
  // Normal gravity (WGS-84: 9.7803253359 at the equator, 9.8321849378 at the poles) is gravity
  // and the centrifugal part along the plumb line; J2 alone leaves out a few parts in 1e5.
  const Vec3 atEquator = Gravity(e, equator) + FrameAcceleration(e, equator, Vec3::Zero());
  EXPECT_NEAR(atEquator.norm(), 9.7803253359, 1e-4);
  EXPECT_NEAR(Gravity(e, pole).norm(), 9.8321849378, 2e-4);
  // Straight down at the equator and pole, as the plumb line.
  EXPECT_NEAR(atEquator.normalized().x(), -1.0, 1e-12);
}

TEST(Earth, TheSpheresGravityFallsWithTheSquareOfTheDistanceAndDoesNotTurn) {
  // NASA's check-case sphere: mu 1.407644311e16 ft^3/s^2, R 20 902 255.199 ft.
  const Earth s{EarthShape::kSphere, 20902255.199 * 0.3048, 1.407644311e16 * std::pow(0.3048, 3), 0.0};
  const Vec3 r = PositionOf(s, {30 * kDeg, 40 * kDeg, 30000 * 0.3048});
  const double g = s.Mu / std::pow(s.Radius + 30000 * 0.3048, 2);
  EXPECT_NEAR(Gravity(s, r).norm(), g, 1e-12 * g);
  EXPECT_NEAR(Gravity(s, r).normalized().dot(r.normalized()), -1.0, 1e-14);
  EXPECT_EQ(FrameAcceleration(s, r, Vec3(100, 200, 300)), Vec3::Zero());
}

TEST(Earth, CoriolisAndCentrifugalPartsOfTheTurningEarth) {
  const Earth e = Wgs84();
  // At the equator a body at rest feels w^2 r outward; moving east at v, 2 w v more outward.
  const Vec3 r(kWgs84A, 0.0, 0.0);
  EXPECT_NEAR(FrameAcceleration(e, r, Vec3::Zero()).x(), kWgs84Rate * kWgs84Rate * kWgs84A, 1e-12);
  EXPECT_NEAR(FrameAcceleration(e, r, Vec3(0.0, 100.0, 0.0)).x(),
              kWgs84Rate * kWgs84Rate * kWgs84A + 2 * kWgs84Rate * 100.0, 1e-12);
}

TEST(Earth, PlacesGoRoundTripAndTheLocalAxesAreRightHanded) {
  for (const Earth& e : {Wgs84(), Earth{EarthShape::kSphere, 6371000.0, kWgs84Mu, 0.0}}) {
    for (const Place& p : {Place{0.0, 0.0, 0.0}, Place{45 * kDeg, 10 * kDeg, 9144.0},
                           Place{-33 * kDeg, -70 * kDeg, 400000.0}, Place{89.9 * kDeg, 170 * kDeg, 1000.0}}) {
      const Place back = PlaceOf(e, PositionOf(e, p));
      EXPECT_NEAR(back.Lat, p.Lat, 1e-12);
      EXPECT_NEAR(back.Lon, p.Lon, 1e-12);
      EXPECT_NEAR(back.Height, p.Height, 1e-6);
      const LocalAxes a = AxesAt(p);
      EXPECT_NEAR(a.East.cross(a.North).dot(a.Up), 1.0, 1e-12);
    }
  }
}

}  // namespace
}  // namespace zarn
