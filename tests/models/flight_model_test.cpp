// The pieces of the flight model that every rule shares, against hand-computed figures.
#include "models/flight_model.h"

#include <gtest/gtest.h>

#include "records/errors.h"

namespace zarn {
namespace {

TEST(FlightModel, AboveTheThinAirHeightSoundIsHeldAt290AndTheDensityStaysTheTables) {
  std::size_t band = 0;
  EXPECT_EQ(FlightAir(120000, band).Vsound, 274.71);  // the table's row, not yet above it
  EXPECT_EQ(FlightAir(120001, band).Vsound, 290.0);
  const AtmosphereState air = FlightAir(150000, band);
  EXPECT_EQ(air.Vsound, 290.0);
  EXPECT_DOUBLE_EQ(air.Roh, 2.196e-9);  // the band below, at its top
  EXPECT_DOUBLE_EQ(air.T, 627.54);
}

TEST(FlightModel, TheImpulseIsLinearInThePressureBetweenSeaLevelAndVacuum) {
  const StageData stage{100, 2300, 2500, 20, 10, 10};
  struct Case {
    double Pbar, Isp;
  } const cases[] = {{1.013, 2300}, {0.5065, 2400}, {0.0, 2500}, {2.026, 2100}};
  for (const Case& c : cases) {
    EXPECT_DOUBLE_EQ(StageIsp(stage, c.Pbar), c.Isp) << c.Pbar;
    EXPECT_DOUBLE_EQ(StageThrust(stage, c.Isp), 10 * c.Isp) << c.Pbar;
  }
}

TEST(FlightModel, TheHoldLastsWhileTheTimeIsBelow50sAndTheThrustBelow25NPerKg) {
  struct Case {
    double t, Thrust, Mass;
    bool Holds;
  } const cases[] = {{0, 2000, 100, true},   {49.9, 2499, 100, true}, {50, 2000, 100, false},
                     {10, 2500, 100, false}, {10, 0, 100, true},      {60, 0, 0, false}};
  for (const Case& c : cases)
    EXPECT_EQ(HoldsVertical(c.t, c.Thrust, c.Mass), c.Holds) << c.t << " " << c.Thrust;
  // Thrust per mass is formed only inside the hold's time, and a zero mass there is a fault.
  EXPECT_THROW(HoldsVertical(10, 0, 0), FloatingPointError);
}

TEST(FlightModel, TheAngleIsHeldAt90Over57_3EitherWay) {
  EXPECT_EQ(LimitedAngle(2.0), 90 / 57.3);
  EXPECT_EQ(LimitedAngle(-2.0), -90 / 57.3);
  EXPECT_EQ(LimitedAngle(1.5), 1.5);
  EXPECT_EQ(LimitedAngle(-1.5), -1.5);
}

TEST(FlightModel, LoadsCarryNoWindClassicallyAndTurnWithTheAirSpeedOtherwise) {
  FlightState s{};
  s.CxCur = 0.2, s.CyCur = 0.1, s.Area = 1, s.Thrust = 1000, s.Mass = 100;
  RecordLoads(s, 1000, Wind::kClassic, AirVelocity{0, 10, 10});
  EXPECT_EQ(s.Drag, 200);
  EXPECT_EQ(s.Lift, 100);
  EXPECT_DOUBLE_EQ(s.nx, 800 / 100 / 9.8);
  EXPECT_DOUBLE_EQ(s.ny, 1 / 9.8);
  // The air comes square across the path: drag acts across it, lift against the thrust.
  RecordLoads(s, 1000, Wind::kAirRelative, AirVelocity{0, 10, 10});
  EXPECT_DOUBLE_EQ(s.nx, 900.0 / 100 / 9.8);
  EXPECT_DOUBLE_EQ(s.ny, -200.0 / 100 / 9.8);
  // At rest in the air the shares are along the path.
  RecordLoads(s, 1000, Wind::kAirRelative, AirVelocity{0, 0, 0});
  EXPECT_DOUBLE_EQ(s.nx, 800 / 100 / 9.8);
}

TEST(FlightModel, TheDragCoefficientIsCxOrTheV2LawOverMach) {
  EXPECT_EQ(DragCoefficient(0.3, 0, 2.0), 0.3);
  EXPECT_EQ(DragCoefficient(0.3, 1, 0.5), 0.29);
  EXPECT_DOUBLE_EQ(DragCoefficient(0.3, 1, 2.0), 0.5 / 2 + 0.091);
}

}  // namespace
}  // namespace zarn
