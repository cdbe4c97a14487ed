#include "flight/events.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "flight/hermite.h"

namespace zarn {
namespace {

constexpr double g = 9.8;

TEST(HermiteSegment, ReproducesACubicAndItsRateExactly) {
  // y = 2 - t + 0.5 t^2 - 0.25 t^3 on [1, 3]: a cubic is its own Hermite interpolant.
  auto y = [](double t) { return 2 - t + 0.5 * t * t - 0.25 * t * t * t; };
  auto dy = [](double t) { return -1 + t - 0.75 * t * t; };
  const HermiteSegment s{1, 3, y(1), y(3), dy(1), dy(3)};
  for (const double t : {1.0, 1.3, 2.0, 2.71, 3.0}) {
    EXPECT_NEAR(s.Value(t), y(t), 1e-13) << t;
    EXPECT_NEAR(s.Rate(t), dy(t), 1e-13) << t;
  }
  // The level 0 and the turning points of the same cubic, against their closed forms.
  // -0.25 t^3 + 0.5 t^2 - t + 2 = 0 has its one real root at t = 2.
  EXPECT_NEAR(*CrossingOf(s, 0.0), 2.0, 1e-14);
  EXPECT_FALSE(CrossingOf(s, 5.0));
  // dy < 0 throughout: no highest point.
  EXPECT_FALSE(TurningPointOf(s, +1));
  // A downward parabola's highest point, and a level it does not reach.
  const HermiteSegment p{0, 2, 0, 0, 3, -3};  // y = 3t - 1.5 t^2, top at t = 1, y = 1.5
  EXPECT_NEAR(*TurningPointOf(p, +1), 1.0, 1e-15);
  EXPECT_FALSE(TurningPointOf(p, -1));
  EXPECT_FALSE(CrossingOf(p, 2.0));
}

// A throw in vacuum, sampled exactly every dt: H is a parabola, so cubic segments hold it exactly
// and the apex and the impact come out at their closed forms whatever the step.
struct Throw {
  double V0 = 100, Theta0 = 0.7, H0 = 1.0;
  double vx() const { return V0 * std::cos(Theta0); }
  double vy(double t) const { return V0 * std::sin(Theta0) - g * t; }
  FlightNode At(double t) const {
    const double V = std::hypot(vx(), vy(t)), theta = std::atan2(vy(t), vx());
    return {t,
            vx() * t,
            H0 + V0 * std::sin(Theta0) * t - g * t * t / 2,
            V,
            theta,
            vx(),
            vy(t),
            -g * std::sin(theta),
            -g * std::cos(theta) / V,
            V / 340.0,
            0.6 * V * V};
  }
};

AirAt StillAir(double) {
  return {340.0, 1.2};
}

std::vector<FlightEvent> Fly(const Throw& f, double dt, double Hk, double Tk,
                             std::vector<ScheduledEvent> scheduled = {}) {
  EventLog log({Hk, StillAir, std::move(scheduled)});
  log.Start(f.At(0));
  FlightNode n = f.At(0);
  for (int k = 1; n.H > Hk && n.t < Tk; ++k) {
    n = f.At(k * dt);
    log.Next(n);
  }
  return log.Finish();
}

// A moment of one's own is a switching function: here the throw passing a range of 500 m, and
// its height falling through 200 m, found by the one root finder on the cubic segments.
class RangePassed final : public SwitchingEvent {
 public:
  explicit RangePassed(Sense sense) : SwitchingEvent(sense, Role::kEach) {}
  double At(const FlightNode& n) const override { return 500 - n.X; }
  double Between(const FlightNode& a, const FlightNode& b, double t) const override {
    return 500 - HermiteSegment{a.t, b.t, a.X, b.X, a.dX, b.dX}.Value(t);
  }
  EventKind KindOf(const FlightNode&, const FlightNode&) const override { return EventKind::Impact; }
};

TEST(SwitchingEvent, AZeroInItsSenseIsFoundBetweenTwoPointsAtItsClosedForm) {
  const Throw f;
  const double tx = 500 / f.vx();  // X = vx t
  const FlightNode a = f.At(std::floor(tx)), b = f.At(std::floor(tx) + 1);
  const RangePassed either(SwitchingEvent::Sense::kEither);
  ASSERT_TRUE(either.Crosses(a, b));
  EXPECT_NEAR(*either.Zero(a, b), tx, 1e-12);
  EXPECT_FALSE(either.Zero(b, f.At(b.t + 1)));  // past the range on both ends
  // 500 - X falls through 0 as the throw passes: the falling sense finds it, and no step that
  // ends short of the range holds it.
  const RangePassed falling(SwitchingEvent::Sense::kFalling);
  EXPECT_NEAR(*falling.Zero(a, b), tx, 1e-12);
  EXPECT_FALSE(falling.Zero(f.At(0), a));
  EXPECT_FALSE(falling.Crosses(b, f.At(b.t + 1)));
}

TEST(EventLog, ApexAndImpactOfAThrowInVacuumAreTheClosedFormsAtAnyStep) {
  const Throw f;
  const double vy0 = f.V0 * std::sin(f.Theta0);
  const double apexT = vy0 / g, apexH = f.H0 + vy0 * vy0 / (2 * g);
  const double Hk = -3.0;
  const double impactT = (vy0 + std::sqrt(vy0 * vy0 + 2 * g * (f.H0 - Hk))) / g;
  for (const double dt : {0.37, 0.05, 1.9}) {
    SCOPED_TRACE(dt);
    const auto events = Fly(f, dt, Hk, 1e9);
    const FlightEvent* apex = FindEvent(events, EventKind::Apex);
    const FlightEvent* impact = FindEvent(events, EventKind::Impact);
    ASSERT_TRUE(apex && impact);
    EXPECT_NEAR(apex->t, apexT, 1e-10);
    EXPECT_NEAR(apex->H, apexH, 1e-9);
    EXPECT_NEAR(apex->X, f.vx() * apexT, 1e-9);
    EXPECT_NEAR(impact->t, impactT, 1e-10);
    EXPECT_NEAR(impact->X, f.vx() * impactT, 1e-9);
    EXPECT_NEAR(impact->H, Hk, 1e-9);
    // Speed and angle are not polynomials in t: third order, close for a short step.
    if (dt < 0.1) {
      EXPECT_NEAR(apex->V, f.vx(), 1e-4);
      EXPECT_NEAR(apex->Theta, 0.0, 1e-6);
      EXPECT_NEAR(impact->V, f.At(impactT).V, 1e-4);
      EXPECT_NEAR(impact->Theta, f.At(impactT).Theta, 1e-6);
    }
    // In time order: launch first, impact last; the largest q at the lower end, the impact.
    ASSERT_GE(events.size(), 4u);
    EXPECT_EQ(events.front().Kind, EventKind::Launch);
    EXPECT_EQ(events.back().Kind, EventKind::Impact);
    EXPECT_NEAR(FindEvent(events, EventKind::MaxQ)->t, impactT, 1e-6);
  }
}

// The same throw drifting across the date line: the cross range, latitude and longitude grow
// linearly, which the cubics hold exactly, so every moment carries its place at its own time; the
// longitude comes back into -180..180 on the far side of the line, not 360 degrees off.
TEST(EventLog, EachMomentCarriesItsPlaceAcrossTheDateLine) {
  const Throw f;
  auto wrapped = [](double lon) { return lon > 180.0 ? lon - 360.0 : lon; };
  auto node = [&](double t) {
    FlightNode n = f.At(t);
    n.Z = 2.0 * t, n.dZ = 2.0;
    n.Lat = 10.0 - 0.01 * t, n.dLat = -0.01;
    n.Lon = wrapped(179.0 + 0.2 * t), n.dLon = 0.2;
    return n;
  };
  const double vy0 = f.V0 * std::sin(f.Theta0);
  // By hand: the apex at vy0 / g = 6.5736 s, the impact on H = 0 at 13.1628 s.
  const double apexT = vy0 / g, impactT = (vy0 + std::sqrt(vy0 * vy0 + 2 * g * f.H0)) / g;
  EXPECT_NEAR(apexT, 6.5736, 1e-4);
  EXPECT_NEAR(impactT, 13.1628, 1e-4);
  for (const double dt : {0.37, 1.9}) {
    SCOPED_TRACE(dt);
    EventLog log({0.0, StillAir, {{5.1, EventKind::Burnout, 1}}});
    log.Start(node(0));
    FlightNode n = node(0);
    for (int k = 1; n.H > 0.0; ++k) log.Next(n = node(k * dt));
    const auto events = log.Finish();
    const struct {
      EventKind Kind;
      double T, Lon;  // 179 + 0.2 t, by hand
    } expected[] = {{EventKind::Launch, 0.0, 179.0},
                    {EventKind::Burnout, 5.1, -179.98},  // in the step across the line
                    {EventKind::Apex, apexT, -179.68527},
                    {EventKind::Impact, impactT, -178.36744}};
    for (const auto& x : expected) {
      const FlightEvent* e = FindEvent(events, x.Kind);
      ASSERT_NE(e, nullptr) << static_cast<int>(x.Kind);
      EXPECT_NEAR(e->t, x.T, 1e-9);
      EXPECT_NEAR(e->Z, 2.0 * x.T, 1e-9);
      EXPECT_NEAR(e->Lat, 10.0 - 0.01 * x.T, 1e-11);
      EXPECT_NEAR(e->Lon, x.Lon, 1e-4);
    }
  }
}

TEST(EventLog, AFlightEndedByTimeHasNoImpactAndOneThatNeverClimbsNoApex) {
  Throw level;
  level.Theta0 = 0.0;  // its highest point is its start
  const auto falling = Fly(level, 0.1, -1e9, 3.0);
  EXPECT_FALSE(FindEvent(falling, EventKind::Apex));
  EXPECT_FALSE(FindEvent(falling, EventKind::Impact));
  // Still climbing when the time is up: no apex either.
  const auto climbing = Fly(Throw{}, 0.1, -1e9, 2.0);
  EXPECT_FALSE(FindEvent(climbing, EventKind::Apex));
  // A moment the flight does not reach is left out; one it reaches is on the curve.
  const auto burnt =
      Fly(Throw{}, 0.37, 0.0, 1e9, {{5.55, EventKind::Burnout, 1}, {1e6, EventKind::Burnout, 2}});
  ASSERT_TRUE(FindEvent(burnt, EventKind::Burnout));
  EXPECT_EQ(FindEvent(burnt, EventKind::Burnout)->Stage, 1);
  EXPECT_NEAR(FindEvent(burnt, EventKind::Burnout)->H, Throw{}.At(5.55).H, 1e-10);
  EXPECT_EQ(EventName(*FindEvent(burnt, EventKind::Burnout)), "burnout_1");
}

// A vertical climb at a constant 20 m/s^2 through air whose sound speed falls with height and
// whose density falls as exp(-H / 8000): H and V are polynomials in t, so the Mach 1 crossing and
// the largest dynamic pressure have closed forms.
constexpr double kAcc = 20.0;
AirAt ThinningAir(double H) {
  return {340.0 - 0.004 * H, 1.2 * std::exp(-H / 8000.0)};
}
FlightNode Climb(double t) {
  const double H = kAcc * t * t / 2, V = kAcc * t, air = 340.0 - 0.004 * H;
  return {t, 0, H, V, 1.5, 0, V, kAcc, 0, V / air, 0.6 * std::exp(-H / 8000.0) * V * V};
}

TEST(EventLog, MachOneAndTheLargestDynamicPressureOfAClimbAreTheirClosedForms) {
  // Mach 1: 20 t = 340 - 0.004 * 10 t^2, i.e. 0.04 t^2 + 20 t - 340 = 0.
  const double machT = (-20 + std::sqrt(400 + 4 * 0.04 * 340)) / (2 * 0.04);
  // q = 0.6 exp(-10 t^2 / 8000) 400 t^2 is largest where t^2 = 800.
  const double maxQT = std::sqrt(800.0);
  for (const double dt : {0.7, 0.125, 3.0}) {
    SCOPED_TRACE(dt);
    EventLog log({-1.0, ThinningAir, {}});
    log.Start(Climb(0));
    for (int k = 1; k * dt < 60; ++k) log.Next(Climb(k * dt));
    const auto events = log.Finish();
    const FlightEvent* mach = FindEvent(events, EventKind::MachUp);
    ASSERT_TRUE(mach);
    EXPECT_NEAR(mach->t, machT, 1e-10);
    EXPECT_NEAR(mach->V / ThinningAir(mach->H).Vsound, 1.0, 1e-13);
    EXPECT_FALSE(FindEvent(events, EventKind::MachDown));
    EXPECT_NEAR(FindEvent(events, EventKind::MaxQ)->t, maxQT, 1e-6);
  }
}

}  // namespace
}  // namespace zarn
