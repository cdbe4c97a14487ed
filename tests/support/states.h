#pragma once
// States as the tests of single steps build them, for the layers below the runs.
#include "records/constants.h"
#include "records/flight_data.h"

namespace zarn::test_support {

// The ball of the first preset at its launch: 1 kg, 0.02 m^2, from 1 m at 100 m/s and `angleDeg`,
// drag coefficient cx (0: vacuum). The air is the caller's.
inline FlightState BallAtLaunch(double angleDeg, double cx) {
  FlightState s{};
  s.H = 1;
  s.V = 100;
  s.Theta = angleDeg / kDegPerRad;
  s.Mass = 1;
  s.Area = 0.02;
  s.CxCur = cx;
  return s;
}

}  // namespace zarn::test_support
