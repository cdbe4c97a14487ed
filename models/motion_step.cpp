#include "models/motion_step.h"

#include <bit>
#include <cmath>

#include "models/flight_model.h"
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
  const double q = DynamicPressure(roh, V);
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
    // The square is formed first; a square beyond the range of double is an overflow where it
    // arises.
    const double vAir = V + Vwind * cosT;
    const double sq = Checked(vAir * vAir);
    const double thrustAcc = Div(s.Thrust, mass);
    const double dragAcc = StepAeroAcceleration(s.CxCur, roh, sq, s.Area, mass);
    const double dVdt = Checked(thrustAcc - dragAcc - kGravity * sinT);
    s.dVdt = dVdt;
    s.X = Checked(s.X + vAir * cosT * dt0);
    s.H = Checked(s.H + V * sinT * dt0);
    const double V1 = Checked(V + dVdt * dt0);
    s.V = V1;
    const double vTurn = V1 + Vwind * sinT;
    const double sqTurn = Checked(vTurn * vTurn);
    const double liftTurn = Div(StepAeroAcceleration(s.CyCur, roh, sqTurn, s.Area, mass), V1);
    const double dThetadt = Checked(liftTurn - Div(kGravity * cosT, V1));
    s.Theta = LimitedAngle(Checked(s.Theta + dThetadt * dt0));
  }

  s.t = Checked(s.t + dt0);
  // Recorded forces use q from the speed at entry, without wind.
  RecordLoads(s, q, Wind::kClassic, AirVelocity{});
}

}  // namespace zarn
