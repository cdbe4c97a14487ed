#include "models/derivatives.h"

#include <cmath>
#include <numbers>

#include "models/motion_step.h"
#include "records/errors.h"

namespace zarn {

double WrappedAngle(double theta) {
  constexpr double pi = std::numbers::pi;
  if (theta > pi) return theta - 2 * pi;
  if (theta <= -pi) return theta + 2 * pi;
  return theta;
}

PathRates PointMassRates(double V, double Theta, const PointMass& m) {
  const double sinT = std::sin(Theta);
  const double cosT = std::cos(Theta);
  const double thrustAcc = Div(m.Thrust, m.Mass);
  const double half = m.Roh * m.Area / 2;  // [kg/m] of the forces' coefficient * air speed^2
  PathRates r{};
  r.dH = Checked(V * sinT);
  if (m.Model == Wind::kClassic) {
    const double vAir = V + m.Vwind * cosT;
    const double vTurn = V + m.Vwind * sinT;
    r.dX = Checked(vAir * cosT);
    r.dV = Checked(thrustAcc - RateAeroAcceleration(m.CxCur, half, Checked(vAir * vAir), m.Mass) -
                   kGravity * sinT);
    r.dTheta = Checked(
        Div(RateAeroAcceleration(m.CyCur, half, Checked(vTurn * vTurn), m.Mass) - kGravity * cosT, V));
    return r;
  }
  // Drag against the air speed, lift square to it (turned toward growing angle).
  const AirVelocity a = AirVelocityOf(V, sinT, cosT, m.Vwind);
  const double drag = RateAeroAcceleration(m.CxCur, half, a.Magnitude, m.Mass);  // [1/s] per m/s of air speed
  const double lift = RateAeroAcceleration(m.CyCur, half, a.Magnitude, m.Mass);
  r.dX = Checked(V * cosT);
  r.dV = Checked(thrustAcc - drag * a.Along - lift * a.Across - kGravity * sinT);
  r.dTheta = Checked(Div(lift * a.Along - drag * a.Across - kGravity * cosT, V));
  return r;
}

void RecordForces(FlightState& s, double Vwind, Wind model) {
  const double roh = s.Atm.Roh;
  if (model == Wind::kClassic) {
    s.q = DynamicPressure(roh, s.V);
    RecordLoads(s, s.q, model, AirVelocity{});
    return;
  }
  const AirVelocity a = AirVelocityOf(s.V, std::sin(s.Theta), std::cos(s.Theta), Vwind);
  s.q = DynamicPressure(roh, a.Magnitude);
  RecordLoads(s, s.q, model, a);
}

void MotionStepAirRelative(FlightState& s, double Vwind, double dt0, int32_t BuoyancyMode) {
  // The classic step's order throughout: the rest-speed kick, the forces of the speed at entry,
  // the turn from the new speed, and at zero wind the same angle limit, so that no wind gives the
  // same bits.
  if (s.V == 0.0) s.V = kRestSpeed;
  const double roh = s.Atm.Roh;
  const double V = s.V;
  const double mass = s.Mass;
  const double sinT = std::sin(s.Theta);
  const double cosT = std::cos(s.Theta);
  const AirVelocity a = AirVelocityOf(V, sinT, cosT, Vwind);
  const double q = DynamicPressure(roh, a.Magnitude);
  s.q = q;
  s.Auftrieb = 0.0;

  if (BuoyancyMode != 1) {
    const double thrustAcc = Div(s.Thrust, mass);
    const double dragAcc = StepAeroAcceleration(s.CxCur, roh, Checked(a.Magnitude * a.Along), s.Area, mass);
    const double liftAcc = StepAeroAcceleration(s.CyCur, roh, Checked(a.Magnitude * a.Across), s.Area, mass);
    const double dVdt = Checked(thrustAcc - dragAcc - liftAcc - kGravity * sinT);
    s.dVdt = dVdt;
    s.X = Checked(s.X + V * cosT * dt0);
    s.H = Checked(s.H + V * sinT * dt0);
    const double V1 = Checked(V + dVdt * dt0);
    s.V = V1;
    const AirVelocity a1 = AirVelocityOf(V1, sinT, cosT, Vwind);
    const double liftTurn =
        Div(StepAeroAcceleration(s.CyCur, roh, Checked(a1.Magnitude * a1.Along), s.Area, mass), V1);
    const double dragTurn =
        Div(StepAeroAcceleration(s.CxCur, roh, Checked(a1.Magnitude * a1.Across), s.Area, mass), V1);
    const double dThetadt = Checked(liftTurn - dragTurn - Div(kGravity * cosT, V1));
    const double theta = Checked(s.Theta + dThetadt * dt0);
    // Without wind the classic limit; with it the air may carry the path past the vertical.
    s.Theta = Vwind == 0.0 ? LimitedAngle(theta) : WrappedAngle(theta);
  }

  s.t = Checked(s.t + dt0);
  RecordLoads(s, q, Wind::kAirRelative, a);
}

}  // namespace zarn
