#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "models/atmosphere.h"
#include "models/motion_step.h"
#include "records/errors.h"
#include "tests/support/states.h"

namespace zarn {
namespace {

FlightState HorizontalStartWithWind() {
  FlightState s{};
  s.V = 100;
  s.Theta = 0;
  s.Thrust = 1000;
  s.Mass = 100;
  s.Area = 1;
  s.CxCur = 0.2;
  s.CyCur = 0.1;
  s.Atm.Roh = 1.225;
  return s;
}

TEST(MotionStep, HorizontalStartWithWindEntersDragRangeAndTurnDifferently) {
  FlightState s = HorizontalStartWithWind();
  MotionStep(s, /*Vwind=*/10, /*dt0=*/0.1, /*BuoyancyMode=*/0);
  EXPECT_DOUBLE_EQ(s.q, 6125);
  EXPECT_NEAR(s.dVdt, -4.8225, 1e-12);
  EXPECT_NEAR(s.X, 11.0, 1e-12);
  EXPECT_EQ(s.H, 0.0);
  EXPECT_NEAR(s.V, 99.51775, 1e-12);
  EXPECT_NEAR(s.Theta, -0.003752, 5e-7);
  EXPECT_NEAR(s.t, 0.1, 1e-15);
  // Recorded forces and load factors carry no wind.
  EXPECT_DOUBLE_EQ(s.Drag, 1225);
  EXPECT_DOUBLE_EQ(s.Lift, 612.5);
  EXPECT_NEAR(s.nx, -0.229592, 5e-7);
  EXPECT_NEAR(s.ny, 0.625, 1e-12);
  EXPECT_NE(s.nx, (s.dVdt + 9.8 * std::sin(0.0)) / 9.8);
}

TEST(MotionStep, FirstStepOfTheFirstPresetMatchesTheWorkedValues) {
  FlightState s = test_support::BallAtLaunch(45, 0.01);
  s.Atm = StandardAtmosphere(1.0);
  EXPECT_NEAR(s.Atm.Roh, 1.2248846, 1e-12);
  MotionStep(s, 0, 0.005, 0);
  EXPECT_NEAR(s.dVdt, -8.154130, 5e-7);
  EXPECT_NEAR(s.X, 0.353574, 5e-7);
  EXPECT_NEAR(s.H, 1.353533, 5e-7);
  EXPECT_NEAR(s.V, 99.959229, 5e-7);
  EXPECT_NEAR(s.Theta, 0.784994, 5e-7);
  EXPECT_NEAR(s.Drag, 1.224885, 5e-7);
  EXPECT_NEAR(s.nx, -0.124988, 5e-7);
  EXPECT_EQ(s.ny, 0.0);
}

TEST(MotionStep, StartFromRestUsesTheRestSpeedAndHoldsTheAngleAtMinus90) {
  FlightState s{};
  s.V = 0;
  s.Theta = -88 / 57.3;
  s.H = 10000;
  s.Mass = 1;
  s.Area = 0.02;
  s.CxCur = 0.45;
  s.Atm.Roh = 0.4127;
  MotionStep(s, 0, 0.01, 0);
  EXPECT_NEAR(s.V, 0.09814, 5e-6);
  EXPECT_EQ(s.Theta, -90 / 57.3);
  EXPECT_NEAR(s.q, 0.4127 * 0.0002 * 0.0002 / 2, 1e-18);  // q from the rest speed, not from 0
}

TEST(MotionStep, LiftTurnsThePathPastTheVerticalAndTheAngleIsHeldAt90Over57_3) {
  FlightState s{};
  s.V = 100;
  s.Theta = 89 / 57.3;
  s.CyCur = 1;
  s.Mass = 1;
  s.Area = 1;
  s.Atm.Roh = 1.225;
  MotionStep(s, 0, 0.1, 0);
  EXPECT_EQ(s.Theta, 1.5706806282722514);
  EXPECT_NE(s.Theta, M_PI / 2);
  EXPECT_DOUBLE_EQ(s.ny, 625);
}

// Drag and lift as written: coefficient * density * (air speed)^2 * area / 2 / mass, the square
// first. Each case is one where multiplying the speed in twice gives another last bit.
TEST(MotionStep, DragAndLiftTermsFollowTheWrittenOrderToTheLastBit) {
  struct Case {
    const char* What;
    double V, ThetaDeg, H, Mass, Area, Cx, Cy, Vwind, dt0;
    bool TurnDiffers;  // the lift term too gives another last bit in the other order
  } const cases[] = {
      {"first step of the fifth preset", 14000, 0, 0.1, 200, 0.034, 0.1, 0.05, 0, 0.0015, true},
      {"drag with wind", 100, 10, 500, 1, 0.02, 0.45, 0.3, 5, 0.01, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    FlightState s{};
    s.V = c.V;
    s.Theta = c.ThetaDeg / 57.3;
    s.H = c.H;
    s.Mass = c.Mass;
    s.Area = c.Area;
    s.CxCur = c.Cx;
    s.CyCur = c.Cy;
    s.Atm = StandardAtmosphere(c.H);
    const double roh = s.Atm.Roh, sinT = std::sin(s.Theta), cosT = std::cos(s.Theta);
    const double vAir = c.V + c.Vwind * cosT;
    const double dVdt = 0 / c.Mass - c.Cx * roh * (vAir * vAir) * c.Area / 2 / c.Mass - 9.8 * sinT;
    const double otherOrder = 0 / c.Mass - c.Cx * roh * vAir * vAir * c.Area / 2 / c.Mass - 9.8 * sinT;
    ASSERT_NE(dVdt, otherOrder) << "the case does not tell the orders apart";
    const double V1 = c.V + dVdt * c.dt0, vTurn = V1 + c.Vwind * sinT;
    const double theta =
        s.Theta + (c.Cy * roh * (vTurn * vTurn) * c.Area / 2 / c.Mass / V1 - 9.8 * cosT / V1) * c.dt0;
    const double otherTheta =
        s.Theta + (c.Cy * roh * vTurn * vTurn * c.Area / 2 / c.Mass / V1 - 9.8 * cosT / V1) * c.dt0;
    ASSERT_EQ(theta != otherTheta, c.TurnDiffers);

    MotionStep(s, c.Vwind, c.dt0, 0);
    EXPECT_EQ(s.dVdt, dVdt);
    EXPECT_EQ(s.V, V1);
    EXPECT_EQ(s.Theta, theta);
  }
}

TEST(MotionStep, BuoyancyModeKeepsTheBodyInPlaceButAdvancesTimeAndForces) {
  FlightState s = HorizontalStartWithWind();
  s.X = 5;
  s.H = 7;
  s.dVdt = 3.25;
  s.Auftrieb = 1234;  // a value the form may leave behind
  MotionStep(s, 10, 0.1, 1);
  EXPECT_EQ(s.X, 5);
  EXPECT_EQ(s.H, 7);
  EXPECT_EQ(s.V, 100);
  EXPECT_EQ(s.Theta, 0);
  EXPECT_EQ(s.dVdt, 3.25);
  EXPECT_NEAR(s.t, 0.1, 1e-15);
  EXPECT_DOUBLE_EQ(s.Drag, 1225);
  EXPECT_DOUBLE_EQ(s.Lift, 612.5);
  EXPECT_NEAR(s.nx, -0.229592, 5e-7);
  EXPECT_NEAR(s.ny, 0.625, 1e-12);
  EXPECT_EQ(s.Auftrieb, 0.0);
}

// A run keeps the sine and cosine of the last angle from step to step. Its states must be those of
// steps that take both afresh, to the bit: while the angle changes every step (lift turns the
// path), and while it stays at its limit (a steep dive that gravity holds there), and across the
// change from one to the other.
TEST(MotionStep, KeptSineAndCosineGiveTheStatesOfFreshOnes) {
  struct Flight {
    const char* Name;
    double Theta, CyCur, V;
  };
  for (const Flight& f : {Flight{"turning", 0.3, 0.1, 100}, Flight{"diving to the limit", -1.6, 0.0, 1}}) {
    FlightState fresh = HorizontalStartWithWind();
    fresh.Theta = f.Theta;
    fresh.CyCur = f.CyCur;
    fresh.V = f.V;
    FlightState kept = fresh;
    AngleTrig trig;
    int held = 0;  // steps that began at the angle of the step before
    for (int i = 0; i < 400; ++i) {
      const double before = kept.Theta;
      MotionStep(fresh, 2, 0.05, 0);
      MotionStep(kept, 2, 0.05, 0, trig);
      ASSERT_EQ(std::memcmp(&fresh, &kept, sizeof fresh), 0) << f.Name << ", step " << i;
      held += kept.Theta == before ? 1 : 0;
    }
    if (f.CyCur == 0.0) {
      EXPECT_GT(held, 100) << f.Name;  // the kept values were used
    }
  }
}

TEST(MotionStep, BuoyancyForceIsClearedEveryStep) {
  FlightState s = HorizontalStartWithWind();
  s.Auftrieb = 98000;
  MotionStep(s, 0, 0.1, 0);
  EXPECT_EQ(s.Auftrieb, 0.0);
}

bool AllFinite(const FlightState& s) {
  for (double v : {s.t, s.X, s.H, s.V, s.Theta, s.q, s.Drag, s.Lift, s.nx, s.ny, s.dVdt})
    if (!std::isfinite(v)) return false;
  return true;
}

std::string FaultOf(FlightState& s, double Vwind = 0, double dt0 = 0.1, int32_t buoyancy = 0) {
  try {
    MotionStep(s, Vwind, dt0, buoyancy);
  } catch (const FloatingPointError& e) {
    return e.what();
  }
  return "no fault";
}

TEST(MotionStepFaults, ZeroMassWithoutThrustIsAnInvalidOperationAndLeavesTheStateFinite) {
  FlightState s = HorizontalStartWithWind();
  s.Thrust = 0;
  s.Mass = 0;
  EXPECT_EQ(FaultOf(s), "Invalid floating point operation");
  EXPECT_TRUE(AllFinite(s));
  EXPECT_EQ(s.X, 0.0);
  EXPECT_EQ(s.t, 0.0);  // the step stopped before time advanced
}

TEST(MotionStepFaults, ZeroMassWithThrustIsADivisionByZero) {
  FlightState s = HorizontalStartWithWind();
  s.Mass = 0;
  EXPECT_EQ(FaultOf(s), "Floating point division by zero");
  EXPECT_TRUE(AllFinite(s));
}

TEST(MotionStepFaults, ZeroMassStopsTheStepInBuoyancyModeToo) {
  FlightState s = HorizontalStartWithWind();
  s.Mass = 0;
  EXPECT_EQ(FaultOf(s, 0, 0.1, 1), "Floating point division by zero");
  EXPECT_TRUE(AllFinite(s));
}

TEST(MotionStepFaults, ASpeedThatComesExactlyToRestIsAFault) {
  // dVdt = -Cx Roh V^2 Area / 2 / Mass = -1 m/s^2, dt0 = 1 s: V' = 0 exactly.
  FlightState s{};
  s.V = 1;
  s.Mass = 1;
  s.Area = 2;
  s.CxCur = 1;
  s.Atm.Roh = 1;
  EXPECT_EQ(FaultOf(s, 0, 1.0), "Invalid floating point operation");
  EXPECT_EQ(s.V, 0.0);
  EXPECT_TRUE(AllFinite(s));
}

TEST(MotionStepFaults, AnAirSpeedWhoseSquareOverflowsIsAnOverflowBeforeTheSpeedChanges) {
  // In thin air q stays finite, but (1e155 m/s)^2 does not: the fault comes at the square, not a
  // step later from a nonsensical speed.
  FlightState s{};
  s.V = 1e155;
  s.Mass = 1;
  s.Area = 1;
  s.CxCur = 0.2;
  s.Atm.Roh = 1e-10;
  EXPECT_EQ(FaultOf(s), "Floating point overflow");
  EXPECT_EQ(s.V, 1e155);
  EXPECT_EQ(s.X, 0.0);
  EXPECT_TRUE(AllFinite(s));
}

TEST(MotionStepFaults, AnOverflowingSpeedIsAnOverflowNotAnInfinity) {
  FlightState s = HorizontalStartWithWind();
  s.V = 1e200;
  EXPECT_EQ(FaultOf(s), "Floating point overflow");
  EXPECT_TRUE(AllFinite(s));
}

}  // namespace
}  // namespace zarn
