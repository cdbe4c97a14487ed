// The events of whole runs against figures computed apart from the run: the closed forms of a
// throw in vacuum, the stages' burn times from their fuel and mass flow, the speed of sound at the
// height of a Mach 1 crossing; and the impact range over the launch angle without the saw of the
// last step.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "flight/integrator.h"
#include "flight/key_figures.h"
#include "models/atmosphere.h"
#include "tests/support/flights.h"

namespace zarn {
namespace {

using test_support::PresetParameters;
using test_support::SoundingRocket;

std::vector<FlightEvent> EventsOf(const FlightParameters& p) {
  return ComputeTrajectory(p)->Events;
}

TEST(RunEvents, ImpactRangeOfPresetZeroOverTheLaunchAngleHasOneMaximumAndNoSaw) {
  // 44 to 46 degrees in steps of 0.05 at the preset's step: X at the last step lies up to 0.16 m
  // below the ground and saws by decimetres; X at the impact bends down at every angle and its
  // third differences stay below a hundredth of a millimetre.
  std::vector<double> impact, last;
  for (int i = 0; i <= 40; ++i) {
    FlightParameters p = PresetParameters(0);
    p.TTO = 44 + 0.05 * i;
    const auto run = ComputeTrajectory(p);
    const KeyFigures f = KeyFiguresOf(p, *run);
    ASSERT_TRUE(f.ImpactRange);
    impact.push_back(*f.ImpactRange);
    last.push_back(f.LastStepRange);
  }
  int lastTurns = 0;
  for (std::size_t i = 0; i + 2 < impact.size(); ++i) {
    EXPECT_LT(impact[i + 2] - 2 * impact[i + 1] + impact[i], 0.0) << i;
    if ((last[i + 1] - last[i]) * (last[i + 2] - last[i + 1]) < 0) ++lastTurns;
  }
  for (std::size_t i = 0; i + 3 < impact.size(); ++i)
    EXPECT_LT(std::fabs(impact[i + 3] - 3 * impact[i + 2] + 3 * impact[i + 1] - impact[i]), 1e-5) << i;
  EXPECT_GT(lastTurns, 3);  // what the figure at the last step does
  const auto top = std::max_element(impact.begin(), impact.end()) - impact.begin();
  EXPECT_GT(top, 0);
  EXPECT_LT(top, 40);
}

TEST(RunEvents, ApexAndImpactInVacuumApproachTheClosedFormsAsTheEulerStepDoes) {
  // From 1 m at 100 m/s and 45 degrees without drag: apex at V0 sin / g, impact where
  // H0 + V0 sin t - g t^2 / 2 = 0. The Euler flight is first order; the events carry its error
  // and no error of their own, so halving the step halves the distances.
  const double sinT = std::sin(45 / 57.3), g = 9.8, vy = 100 * sinT;
  const double apexT = vy / g, impactT = (vy + std::sqrt(vy * vy + 2 * g * 1.0)) / g;
  double apexErr[2], impactErr[2];
  for (int i = 0; i < 2; ++i) {
    FlightParameters p = PresetParameters(0);
    p.Cx = 0;
    p.dt0 = i == 0 ? 0.002 : 0.001;
    const auto events = EventsOf(p);
    const FlightEvent* apex = FindEvent(events, EventKind::Apex);
    const FlightEvent* impact = FindEvent(events, EventKind::Impact);
    ASSERT_TRUE(apex && impact);
    apexErr[i] = apex->t - apexT;
    impactErr[i] = impact->t - impactT;
    EXPECT_LT(std::fabs(apexErr[i]), p.dt0);
    EXPECT_LT(std::fabs(impactErr[i]), p.dt0);
    EXPECT_NEAR(impact->H, 0.0, 1e-9);
    EXPECT_LT(std::fabs(apex->Theta), 0.1 * p.dt0);  // level, to the Euler flight's first order
    EXPECT_EQ(events.front().Kind, EventKind::Launch);
    EXPECT_EQ(events.back().Kind, EventKind::Impact);
  }
  EXPECT_NEAR(apexErr[0] / apexErr[1], 2.0, 0.05);
  EXPECT_NEAR(impactErr[0] / impactErr[1], 2.0, 0.05);
}

// Each method (Integrator 0, 1, 2) gives the events of its flight.
class RunEventsOfMethod : public testing::TestWithParam<int> {};

TEST_P(RunEventsOfMethod, BurnoutsAreAtTheFuelsEndAndMachOneWhereTheSpeedIsThatOfSound) {
  FlightParameters p = SoundingRocket();
  p.Integrator = GetParam();
  const auto run = ComputeTrajectory(p);
  const std::vector<FlightEvent>& events = run->Events;
  std::vector<const FlightEvent*> burnouts, stagings, mach;
  for (const FlightEvent& e : events) {
    if (e.Kind == EventKind::Burnout) burnouts.push_back(&e);
    if (e.Kind == EventKind::Staging) stagings.push_back(&e);
    if (e.Kind == EventKind::MachUp || e.Kind == EventKind::MachDown) mach.push_back(&e);
  }
  ASSERT_EQ(burnouts.size(), 2u);
  EXPECT_NEAR(burnouts[0]->t, 600 / (60000.0 / 2500), 1e-12);
  EXPECT_NEAR(burnouts[1]->t, 25 + 350 / (25000.0 / 2600), 1e-12);
  ASSERT_EQ(stagings.size(), 1u);  // the second engine stays on board
  EXPECT_EQ(stagings[0]->t, burnouts[0]->t);
  // Up through Mach 1 under thrust; down and up again around the apex above 120 km, where a run
  // takes 290 m/s for the speed of sound; down again before the ground. A speed between the two
  // speeds of sound crosses Mach 1 where the height passes 120 km.
  ASSERT_GE(mach.size(), 2u);
  EXPECT_EQ(mach.front()->Kind, EventKind::MachUp);
  for (const FlightEvent* e : mach) {
    SCOPED_TRACE(e->t);
    if (std::fabs(e->H - 120000) < 1e-3) {
      EXPECT_GT(e->V, 274.71);
      EXPECT_LT(e->V, 290.0);
    } else {
      EXPECT_NEAR(e->V / (e->H > 120000 ? 290.0 : StandardAtmosphere(e->H).Vsound), 1.0, 1e-9);
    }
  }
  // The largest dynamic pressure between the steps is at least that of every step.
  const FlightEvent* maxQ = FindEvent(events, EventKind::MaxQ);
  ASSERT_TRUE(maxQ);
  const double q = StandardAtmosphere(maxQ->H).Roh * maxQ->V * maxQ->V / 2;
  EXPECT_GE(q, run->Summary.MaxQ * (1 - 1e-9));
  EXPECT_LT(q, run->Summary.MaxQ * 1.01);
  for (std::size_t i = 1; i < events.size(); ++i) EXPECT_LE(events[i - 1].t, events[i].t);
}

class RunEventsOfHigherOrder : public testing::TestWithParam<int> {};

TEST_P(RunEventsOfHigherOrder, ApexAndImpactInVacuumMeetTheClosedForms) {
  // From 1 m at 100 m/s and 45 degrees without drag; the fourth- and fifth-order flights and their
  // interpolants hold the parabola to rounding at the preset's step.
  const double sinT = std::sin(45 / 57.3), cosT = std::cos(45 / 57.3), g = 9.8, vy = 100 * sinT;
  const double apexT = vy / g, impactT = (vy + std::sqrt(vy * vy + 2 * g * 1.0)) / g;
  FlightParameters p = PresetParameters(0);
  p.Cx = 0;
  p.Integrator = GetParam();
  const auto events = EventsOf(p);
  const FlightEvent* apex = FindEvent(events, EventKind::Apex);
  const FlightEvent* impact = FindEvent(events, EventKind::Impact);
  ASSERT_TRUE(apex && impact);
  EXPECT_NEAR(apex->t, apexT, 1e-6 * apexT);
  EXPECT_NEAR(apex->H, 1 + vy * vy / (2 * g), 1e-6 * 256);
  EXPECT_NEAR(apex->X, 100 * cosT * apexT, 1e-6 * 511);
  EXPECT_NEAR(impact->t, impactT, 1e-6 * impactT);
  EXPECT_NEAR(impact->X, 100 * cosT * impactT, 1e-6 * 1020);
  EXPECT_NEAR(impact->V, std::hypot(100 * cosT, vy - g * impactT), 1e-6 * 100);
  EXPECT_EQ(events.front().Kind, EventKind::Launch);
  EXPECT_EQ(events.back().Kind, EventKind::Impact);
}

INSTANTIATE_TEST_SUITE_P(Methods, RunEventsOfMethod, testing::Values(0, 1, 2));
INSTANTIATE_TEST_SUITE_P(Methods, RunEventsOfHigherOrder, testing::Values(1, 2));

TEST(RunEvents, AFlightEndedByTimeHasNoImpactAndItsFiguresAreLeftOut) {
  FlightParameters p = PresetParameters(0);
  p.Tk = 5;  // still climbing
  const auto run = ComputeTrajectory(p);
  const KeyFigures f = KeyFiguresOf(p, *run);
  EXPECT_FALSE(f.ImpactTime || f.ImpactRange || f.ImpactSpeed || f.ImpactAngle);
  EXPECT_FALSE(f.ApexTime || f.ApexRange);
  ASSERT_FALSE(run->Events.empty());
  EXPECT_EQ(run->Events.front().Kind, EventKind::Launch);
}

}  // namespace
}  // namespace zarn
