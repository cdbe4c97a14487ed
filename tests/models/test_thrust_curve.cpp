// A motor's thrust curve and the tables the flight reads against Mach, height or time.
#include <gtest/gtest.h>

#include <vector>

#include "models/linear_table.h"
#include "models/thrust_curve.h"

namespace zarn {
namespace {

// Cesaroni 4895L1395-P (its RASP file): 2.475 kg of propellant, 4895 N s by its name.
ThrustCurve CesaroniL1395() {
  return ThrustCurve({{0.02, 100},
                      {0.04, 1400},
                      {0.1, 1800},
                      {0.2, 1500},
                      {0.4, 1540},
                      {0.8, 1591},
                      {1.1, 1641},
                      {2.4, 1481},
                      {2.8, 1446},
                      {3, 1500},
                      {3.18, 830},
                      {3.35, 100},
                      {3.45, 0}},
                     2.475);
}

TEST(ThrustCurve, ReproducesTheMotorsStatedImpulseAndBurnsItsPropellantWithTheThrust) {
  const ThrustCurve c = CesaroniL1395();
  EXPECT_NEAR(c.TotalImpulse(), 4895.0, 4.895);  // 0.1 %
  EXPECT_DOUBLE_EQ(c.BurnTime(), 3.45);
  // Linear between the points, from 0 at ignition, nothing outside the burn.
  EXPECT_DOUBLE_EQ(c.Thrust(0.01), 50.0);
  EXPECT_DOUBLE_EQ(c.Thrust(0.07), 1600.0);
  EXPECT_NEAR(c.Thrust(3.4), 50.0, 1e-9);
  EXPECT_EQ(c.Thrust(-0.1), 0.0);
  EXPECT_EQ(c.Thrust(3.5), 0.0);
  // The propellant: gone at the last point, and at any time the integral of the mass flow (a
  // midpoint sum of a million pieces).
  EXPECT_DOUBLE_EQ(c.Burned(3.45), 2.475);
  EXPECT_DOUBLE_EQ(c.Burned(10.0), 2.475);
  EXPECT_EQ(c.Burned(0.0), 0.0);
  for (const double t : {0.03, 1.0, 3.1}) {
    constexpr int kPieces = 1'000'000;
    double sum = 0.0;
    for (int i = 0; i < kPieces; ++i) sum += c.MassFlow((i + 0.5) * t / kPieces) * t / kPieces;
    EXPECT_NEAR(c.Burned(t), sum, 1e-9) << t;
  }
}

TEST(LinearTable, IsLinearBetweenRowsAndHoldsItsEndsBeyondThem) {
  const LinearTable cd({{0.0, 0.5}, {0.8, 0.5}, {1.2, 0.9}, {3.0, 0.6}});
  EXPECT_EQ(cd.At(-1.0), 0.5);
  EXPECT_EQ(cd.At(0.4), 0.5);
  EXPECT_DOUBLE_EQ(cd.At(1.0), 0.7);
  EXPECT_DOUBLE_EQ(cd.At(2.1), 0.75);
  EXPECT_EQ(cd.At(3.0), 0.6);
  EXPECT_EQ(cd.At(9.0), 0.6);
  EXPECT_EQ(LinearTable({{5.0, 2.0}}).At(0.0), 2.0);
}

}  // namespace
}  // namespace zarn
