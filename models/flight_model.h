#pragma once
// The flight's model: the air a run flies in, what a stage's engine gives, the aerodynamic and
// gravitational accelerations, the recorded loads, and the modes that change them (the vertical
// hold, the angle limit). The Euler step (motion_step.h) and the rates of the higher-order methods
// (derivatives.h) are built on these functions and nothing else, so that a change of the physics
// is made here once.
//
// The products keep the order in which each rule has always formed them: the Euler step takes
// coefficient * density * w * area / 2, the rates coefficient * (density * area / 2) * w. Both are
// here, side by side; a rule that took the other's would move the last bits of its results.
#include <cstddef>
#include <cstdint>

#include "records/constants.h"
#include "records/errors.h"
#include "records/flight_data.h"

namespace zarn {

// ----- the air -----

// Above kThinAirHeight every run takes the speed of sound as kThinAirVsound: the table's
// temperatures there belong to a gas too thin to carry sound.
inline constexpr double kThinAirHeight = 120000.0;  //!< [m]
inline constexpr double kThinAirVsound = 290.0;     //!< [m/s]

// Where the air's figures come from.
enum class Atmosphere : int32_t {
  kTable = 0,  //!< the table of atmosphere.h
  kUs76 = 1,   //!< the 1976 US Standard Atmosphere computed from its layers (us76.h)
};

// The air at H as a run takes it; `band` as for StandardAtmosphere (the table's).
AtmosphereState FlightAir(double H, std::size_t& band, Atmosphere model = Atmosphere::kTable) noexcept;

// ----- the wind -----

// How the wind enters the forces.
enum class Wind : int32_t {
  kClassic = 0,      //!< the classic step's three forms (drag, turn and range each their own)
  kAirRelative = 1,  //!< a positive Vwind is air moving toward +X; forces act on the air speed
};

// The velocity relative to the air in the path's own axes: along the path and across it (toward
// the side the angle grows), and its magnitude. The air moves at (Vwind, 0) over the ground.
struct AirVelocity {
  double Along;
  double Across;
  double Magnitude;
};
AirVelocity AirVelocityOf(double V, double sinT, double cosT, double Vwind);

// The speed relative to air that moves at `wind` toward +X, of a body at speed V and angle Theta:
// V itself without wind. For the Mach number and the events.
double AirSpeedOf(double V, double Theta, double wind);

// ----- the forces -----

// [Pa] q of the speed v.
inline double DynamicPressure(double roh, double v) {
  return Checked(roh * v * v / 2);
}

// [m/s^2] an aerodynamic acceleration as the Euler step forms it: coefficient * density * w *
// area / 2 / mass, w the square of the air speed or its product with a share of it.
inline double StepAeroAcceleration(double coefficient, double roh, double w, double area, double mass) {
  return Div(coefficient * roh * w * area / 2, mass);
}

// [m/s^2] the same as the rates form it: coefficient * half * w / mass, half = density * area / 2.
inline double RateAeroAcceleration(double coefficient, double half, double w, double mass) {
  return Div(coefficient * half * w, mass);
}

// Drag and Lift from q, and the loads nx and ny of s (its Thrust, Mass, CxCur, CyCur, Area). With
// the classic wind they carry no wind; with the air-relative wind the aerodynamic forces act along
// and across the air speed `a`.
void RecordLoads(FlightState& s, double q, Wind model, const AirVelocity& a);

// The drag coefficient at a Mach number: Cx, or the V-2 law where AeroModel rounds to 1.
double DragCoefficient(double Cx, double AeroModel, double Mach);

// ----- propulsion -----

// [N*s/kg] linear in the ambient pressure: sea-level Isp at the table's sea-level pressure,
// vacuum Isp at 0.
double StageIsp(const StageData& stage, double Pbar);
// [N] the stage's thrust at that Isp.
double StageThrust(const StageData& stage, double isp);

// ----- the modes -----

// A weak rocket climbs straight up (at kAngleLimit) for its first kHoldUntil seconds: the hold
// ends then, or once thrust per mass reaches kHoldThrustPerMass; on release the path turns to the
// launch angle once and then flies freely.
inline constexpr double kHoldUntil = 50.0;          //!< [s]
inline constexpr double kHoldThrustPerMass = 25.0;  //!< [N/kg]
bool HoldsVertical(double t, double thrust, double mass);

// The angle within +-kAngleLimit (90 / 57.3, not pi/2): the path does not turn past the vertical.
inline double LimitedAngle(double theta) {
  if (theta <= -kAngleLimit) theta = -kAngleLimit;
  if (theta >= kAngleLimit) theta = kAngleLimit;
  return theta;
}

}  // namespace zarn
