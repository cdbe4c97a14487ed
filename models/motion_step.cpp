#include "models/motion_step.h"

#include <bit>
#include <cmath>

#include "records/errors.h"

namespace zarn {

void MotionStep(FlightState& s, double Vwind, double dt0, int32_t BuoyancyMode) {
  AngleTrig trig;
  MotionStep(s, Vwind, dt0, BuoyancyMode, trig);
}

void MotionStep(FlightState& s, double Vwind, double dt0, int32_t BuoyancyMode, AngleTrig& trig) {
  if (s.V == 0.0) s.V = kRestSpeed;
  const double roh = s.Atm.Roh;
  const double V = s.V;
  const double mass = s.Mass;
  const double q = Checked(roh * V * V / 2);
  s.q = q;
  if (const auto bits = std::bit_cast<uint64_t>(s.Theta); bits != trig.ThetaBits) {
    trig.Sin = std::sin(s.Theta);
    trig.Cos = std::cos(s.Theta);
    trig.ThetaBits = bits;
  }
  const double sinT = trig.Sin;
  const double cosT = trig.Cos;
  s.Auftrieb = 0.0;

  if (BuoyancyMode != 1) {
    // The wind enters the drag and the range with the speed at entry, the turn with the new one.
    // Drag and lift in the written order, coefficient * density * (air speed)^2 * area / 2 / mass,
    // the square formed first; a square beyond the range of double is an overflow where it arises.
    const double vAir = V + Vwind * cosT;
    const double sq = Checked(vAir * vAir);
    const double thrustAcc = Div(s.Thrust, mass);
    const double dragAcc = Div(s.CxCur * roh * sq * s.Area / 2, mass);
    const double dVdt = Checked(thrustAcc - dragAcc - kGravity * sinT);
    s.dVdt = dVdt;
    s.X = Checked(s.X + vAir * cosT * dt0);
    s.H = Checked(s.H + V * sinT * dt0);
    const double V1 = Checked(V + dVdt * dt0);
    s.V = V1;
    const double vTurn = V1 + Vwind * sinT;
    const double sqTurn = Checked(vTurn * vTurn);
    const double liftTurn = Div(Div(s.CyCur * roh * sqTurn * s.Area / 2, mass), V1);
    const double dThetadt = Checked(liftTurn - Div(kGravity * cosT, V1));
    double theta = Checked(s.Theta + dThetadt * dt0);
    if (theta <= -kAngleLimit) theta = -kAngleLimit;
    if (theta >= kAngleLimit) theta = kAngleLimit;
    s.Theta = theta;
  }

  s.t = Checked(s.t + dt0);
  // Recorded forces use q from the speed at entry, without wind.
  s.Drag = Checked(s.CxCur * q * s.Area);
  s.Lift = Checked(s.CyCur * q * s.Area);
  s.nx = Checked(Div(s.Thrust - s.Drag, mass) / kGravity);
  s.ny = Checked(Div(s.Lift, mass) / kGravity);
}

}  // namespace zarn
