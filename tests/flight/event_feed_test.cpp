#include "flight/event_feed.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "flight/events.h"
#include "models/atmosphere.h"
#include "models/motion_step.h"
#include "tests/support/states.h"

namespace zarn {
namespace {

AirAt Air(double H) {
  const AtmosphereState a = StandardAtmosphere(H);
  return {a.Vsound, a.Roh};
}

// A ball flown by the explicit Euler step as a run flies it: 1 kg, 0.02 m^2, from 1 m at 100 m/s,
// to the ground; drag coefficient cx (0: vacuum).
std::vector<FlightEvent> Ball(double ttoDeg, double dt, double cx) {
  EventLog log({0.0, Air, {}});
  EventFeed feed(log, dt, Air);
  FlightState s = test_support::BallAtLaunch(ttoDeg, cx);
  AngleTrig trig;
  auto step = [&](FlightState& x) {
    x.Atm = StandardAtmosphere(x.H);
    x.Mach = x.V / x.Atm.Vsound;
    feed.Entry(x);
    MotionStep(x, 0.0, dt, 0, trig);
  };
  do {
    step(s);
    feed.After(s);
  } while (s.H > 0.0);
  feed.Finish(s);
  return log.Finish();
}

TEST(EventFeed, TheImpactRangeOverTheLaunchAngleIsSmoothWithOneMaximum) {
  // 44 to 46 degrees in steps of 0.05: the range at the last step saws by decimetres as the step
  // that ends the flight moves; the range at the impact bends down everywhere (one maximum), and
  // its third differences stay at the micrometre (a linear interpolant leaves a tenth of a
  // millimetre of kinks).
  std::vector<double> r;
  for (int i = 0; i <= 40; ++i)
    r.push_back(FindEvent(Ball(44 + 0.05 * i, 0.005, 0.01), EventKind::Impact)->X);
  for (std::size_t i = 0; i + 2 < r.size(); ++i) EXPECT_LT(r[i + 2] - 2 * r[i + 1] + r[i], 0.0) << i;
  for (std::size_t i = 0; i + 3 < r.size(); ++i)
    EXPECT_LT(std::fabs(r[i + 3] - 3 * r[i + 2] + 3 * r[i + 1] - r[i]), 1e-5) << i;
}

TEST(EventFeed, ApexAndImpactInVacuumConvergeToTheClosedFormsWithTheStep) {
  // The Euler flight is first order; its events, located on the cubic segments, add no error of
  // where a step happens to end: halving the step halves the distance to the closed forms (apex
  // 0.375 dt late, impact 0.857 dt).
  const double th = 45 / 57.3, vy = 100 * std::sin(th), g = 9.8;
  const double apexT = vy / g, impactT = (vy + std::sqrt(vy * vy + 2 * g * 1.0)) / g;
  double apexErr[2], impactErr[2];
  for (int i = 0; i < 2; ++i) {
    const auto e = Ball(45, i == 0 ? 0.002 : 0.001, 0.0);
    apexErr[i] = FindEvent(e, EventKind::Apex)->t - apexT;
    impactErr[i] = FindEvent(e, EventKind::Impact)->t - impactT;
    EXPECT_NEAR(FindEvent(e, EventKind::Impact)->H, 0.0, 1e-9);
  }
  EXPECT_NEAR(apexErr[0] / apexErr[1], 2.0, 0.05);
  EXPECT_NEAR(impactErr[0] / impactErr[1], 2.0, 0.05);
  EXPECT_LT(std::fabs(apexErr[1]), 0.01);
}

}  // namespace
}  // namespace zarn
