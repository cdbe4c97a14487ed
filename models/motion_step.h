#pragma once
// One explicit Euler step of the point-mass equations of motion in the vertical plane.
#include <cstdint>

#include "records/flight_data.h"

namespace zarn {

constexpr double kRestSpeed = 0.0002;  //!< [m/s] stands in for an exactly zero speed

// Advances s.t, X, H, V, Theta by dt0 and forms q, Drag, Lift, nx, ny, dVdt; clears Auftrieb.
// Reads s.Thrust, Mass, Area, CxCur, CyCur and s.Atm.Roh. With BuoyancyMode 1 the body stays
// where it is (only t advances). A fault (Mass 0, a speed that reaches exactly 0, an overflow)
// throws FloatingPointError; every field written before it is finite.
void MotionStep(FlightState& s, double Vwind, double dt0, int32_t BuoyancyMode);

// The sine and cosine of the flight-path angle they were taken for. A caller that keeps one from
// step to step spares both while the angle stays the same to the bit: at its limit, in a vertical
// hold, for a body that does not move.
struct AngleTrig {
  uint64_t ThetaBits = 0x7ff8dead0000beefULL;  // no angle yet: a nan that no step leaves behind
  double Sin = 0.0;
  double Cos = 1.0;
};
void MotionStep(FlightState& s, double Vwind, double dt0, int32_t BuoyancyMode, AngleTrig& trig);

}  // namespace zarn
