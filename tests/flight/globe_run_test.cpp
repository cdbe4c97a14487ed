// Flights in three dimensions in-process, where the outputs do not show them yet: the flat Earth
// in a cross wind, the impact's place on the globe, and the table's columns beyond the files'.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "flight/columns.h"
#include "flight/events.h"
#include "flight/integrator.h"
#include "records/constants.h"
#include "records/flight_data.h"
#include "tests/support/flights.h"

namespace zarn {
namespace {

using test_support::Ballistic;

constexpr double kPi = std::numbers::pi;

// Over the flat Earth a cross wind makes the flight three-dimensional; in vacuum the wind does
// nothing and the parabola of g = 9.8 and the program's 57.3 degrees per radian stays:
// range V^2 sin(2 theta) / g, landing at minus the launch angle, no cross range.
TEST(GlobeRun, TheFlatEarthInACrossWindKeepsTheVacuumParabolaOf9p8AndThe57p3Degree) {
  FlightParameters p = Ballistic();
  p.V0 = 100;
  p.TTO = 45;
  p.Integrator = 2;
  p.Rtol = 1e-12;
  p.dt0 = 0.5;
  p.WindModel = 1;
  p.VwindCross = 7;
  const auto r = ComputeTrajectory(p);
  const double theta = 45.0 / 57.3;
  EXPECT_NEAR(r->Final.X, 100.0 * 100.0 * std::sin(2 * theta) / 9.8, 1e-6);
  EXPECT_NEAR(r->Final.Z, 0.0, 1e-9);
  const int last = r->Summary.SamplesStored;
  EXPECT_NEAR(r->Table.Cell(kColAngle, last), -45.0, 1e-6);
  const FlightEvent* impact = FindEvent(r->Events, EventKind::Impact);
  ASSERT_NE(impact, nullptr);
  EXPECT_NEAR(impact->Z, 0.0, 1e-9);
}

// A rocket fired straight up in vacuum (the flat Earth, three-dimensional by a cross wind that
// finds no air to push): Tsiolkovsky's speed less gravity's loss, and the height of the
// rocket equation integrated, at burnout: ve ln(m0/m) - g t and ve (t - m/mdot ln(m0/m)) - g t^2/2.
TEST(GlobeRun, ARocketStraightUpInVacuumMeetsTheRocketEquationAtBurnout) {
  FlightParameters p = test_support::OneStageRocket(Ballistic(), 100, 50, 2000, 4000);
  p.TTO = 90;
  p.WindModel = 1;
  p.VwindCross = 3;
  p.Integrator = 1;
  p.Tk = 25;  // 50 kg at 2 kg/s
  const auto r = ComputeTrajectory(p);
  const double ln2 = std::log(2.0);
  EXPECT_NEAR(r->Final.t, 25.0, 1e-9);
  EXPECT_NEAR(r->Final.Mass, 50.0, 1e-9);
  EXPECT_NEAR(r->Final.V, 2000 * ln2 - 9.8 * 25, 1e-3);
  // 90 / 57.3 falls 1.2e-4 rad short of the vertical, and gravity turns the slow start a little
  // further: a few centimetres of the 12 km.
  EXPECT_NEAR(r->Final.H, 2000 * (25 - 25 * ln2) - 9.8 * 25 * 25 / 2, 0.1);
  EXPECT_NEAR(r->Final.Z, 0.0, 1e-9);
}

// A body dropped into a wind from the right drifts right, as the same drop in the vertical plane
// with the wind along it drifts ahead (the plane's own rule, independent of the run in three
// dimensions), for every azimuth.
TEST(GlobeRun, ADropInACrossWindDriftsRightAsTheDropInThePlaneDriftsAhead) {
  FlightParameters plane = Ballistic();
  plane.H0 = 2000;
  plane.Cx = 0.5;
  plane.Integrator = 1;
  plane.WindModel = 1;
  plane.Vwind = 8;
  const auto ahead = ComputeTrajectory(plane);
  for (const double azimuth : {0.0, 135.0}) {
    SCOPED_TRACE(azimuth);
    FlightParameters across = plane;
    across.Vwind = 0;
    across.VwindCross = 8;
    across.Azimuth = azimuth;
    const auto right = ComputeTrajectory(across);
    EXPECT_GT(ahead->Final.X, 100.0);
    EXPECT_NEAR(right->Final.Z, ahead->Final.X, 1e-6 * ahead->Final.X);
    EXPECT_NEAR(right->Final.X, 0.0, 1e-9);
    EXPECT_NEAR(right->Final.t, ahead->Final.t, 1e-9);
  }
}

// Over the sphere, launched east along the equator with a wind from the left: the track is the
// equator, so the impact's longitude is its range over the radius, and the drift to the right is
// a latitude to the south of the same arc. The table's last row holds the same place.
TEST(GlobeRun, TheImpactsCrossRangeLatitudeAndLongitudeLieOnTheGlobeWhereTheRangeSays) {
  FlightParameters p = Ballistic();
  p.EarthModel = 1;
  p.Azimuth = 90;
  p.V0 = 600;
  p.TTO = 40;
  p.Cx = 0.3;
  p.VwindCross = 30;
  p.Integrator = 2;
  p.Tk = 1000;
  p.dt0 = 1;
  const auto r = ComputeTrajectory(p);
  const double R = 6371008.8, deg = kPi / 180.0;
  const FlightEvent* impact = FindEvent(r->Events, EventKind::Impact);
  ASSERT_NE(impact, nullptr);
  const FlightEvent& g = *impact;
  EXPECT_GT(g.Z, 100.0);
  EXPECT_NEAR(g.Lat * deg * R, -g.Z, 1e-6);
  EXPECT_NEAR(g.Lon * deg * R, impact->X, 1e-3);
  const int last = r->Summary.SamplesStored;
  EXPECT_NEAR(r->Table.Cell(kColZ, last), g.Z, 1e-3);
  EXPECT_NEAR(r->Table.Cell(kColLat, last), g.Lat, 1e-8);
  EXPECT_NEAR(r->Table.Cell(kColLon, last), g.Lon, 1e-8);
  // The plane's runs leave the columns beyond the files' empty.
  const auto flat = ComputeTrajectory(Ballistic());
  EXPECT_EQ(flat->Table.Cell(kColLat, 1), 0.0);
  for (const FlightEvent& e : flat->Events) EXPECT_EQ(e.Z + e.Lat + e.Lon, 0.0);
}

}  // namespace
}  // namespace zarn
