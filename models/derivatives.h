#pragma once
// The point-mass equations of motion as rates of the state, for the higher-order integrators, and
// the Euler step with the wind as air moving over the ground: drag and lift along and across the
// velocity relative to the air. Both on the forces of flight_model.h.
#include <cstdint>

#include "models/flight_model.h"
#include "records/flight_data.h"

namespace zarn {

// What the forces of one instant depend on besides speed and angle.
struct PointMass {
  double Thrust;  //!< [N] along the path
  double Mass;    //!< [kg]
  double Area;    //!< [m^2]
  double CxCur;
  double CyCur;
  double Roh;    //!< [kg/m^3]
  double Vwind;  //!< [m/s]
  Wind Model;
};

// d/dt of X, H, V and Theta, and the tangential acceleration by itself (= dV).
struct PathRates {
  double dX;
  double dH;
  double dV;
  double dTheta;
};

// The rates at speed V and angle Theta. The classic wind gives the continuous form of the Euler
// step: the rate of turn takes the speed of the same instant where the step takes the new one. A
// zero V is a division by zero (FloatingPointError), as in the step.
PathRates PointMassRates(double V, double Theta, const PointMass& m);

// The recorded forces of an instant: q, Drag, Lift, nx and ny of s (its V and Theta, s.Atm.Roh, the
// coefficients, Thrust and Mass). With the classic wind they carry no wind, as the step's; with the
// air-relative wind q is formed from the air speed and nx, ny are the aerodynamic and thrust loads
// along and across the path.
void RecordForces(FlightState& s, double Vwind, Wind model);

// The Euler step of MotionStep with the air-relative wind: the same order of operations, so that
// with no wind it gives the classic step's bits (within the angle limit and for a speed of 0 or
// more); with a wind no angle limit holds and Theta is kept in (-pi, pi], so that a path may turn
// past the vertical and fly back toward -X.
void MotionStepAirRelative(FlightState& s, double Vwind, double dt0, int32_t BuoyancyMode);

// The angle in (-pi, pi].
double WrappedAngle(double theta);

}  // namespace zarn
