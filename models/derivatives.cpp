#include "models/derivatives.h"

#include <cmath>
#include <numbers>

#include "models/motion_step.h"
#include "records/errors.h"

namespace zarn {
namespace {

// The velocity relative to the air in the path's own axes: along the path and across it (toward
// the side the angle grows), and its magnitude. The air moves at (Vwind, 0) over the ground.
struct AirSpeed {
  double Along;
  double Across;
  double Magnitude;
};

AirSpeed AirSpeedOf(double V, double sinT, double cosT, double Vwind) {
  const double along = V - Vwind * cosT;
  const double across = Vwind * sinT;
  // sqrt of a rounded square gives the number back: with no wind the air speed is |V| to the bit.
  return {along, across, Checked(std::sqrt(Checked(along * along + across * across)))};
}

// The shares of the air speed along and across the path (1 and 0 at rest in the air).
struct Shares {
  double Along;
  double Across;
};
Shares SharesOf(const AirSpeed& a) {
  if (a.Magnitude == 0.0) return {1.0, 0.0};
  return {a.Along / a.Magnitude, a.Across / a.Magnitude};
}

}  // namespace

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
    r.dV = Checked(thrustAcc - Div(m.CxCur * half * Checked(vAir * vAir), m.Mass) - kGravity * sinT);
    r.dTheta = Checked(Div(Div(m.CyCur * half * Checked(vTurn * vTurn), m.Mass) - kGravity * cosT, V));
    return r;
  }
  // Drag against the air speed, lift square to it (turned toward growing angle).
  const AirSpeed a = AirSpeedOf(V, sinT, cosT, m.Vwind);
  const double drag = Div(m.CxCur * half * a.Magnitude, m.Mass);  // [1/s] per m/s of air speed
  const double lift = Div(m.CyCur * half * a.Magnitude, m.Mass);
  r.dX = Checked(V * cosT);
  r.dV = Checked(thrustAcc - drag * a.Along - lift * a.Across - kGravity * sinT);
  r.dTheta = Checked(Div(lift * a.Along - drag * a.Across - kGravity * cosT, V));
  return r;
}

void RecordForces(FlightState& s, double Vwind, Wind model) {
  const double roh = s.Atm.Roh;
  if (model == Wind::kClassic) {
    s.q = Checked(roh * s.V * s.V / 2);
    s.Drag = Checked(s.CxCur * s.q * s.Area);
    s.Lift = Checked(s.CyCur * s.q * s.Area);
    s.nx = Checked(Div(s.Thrust - s.Drag, s.Mass) / kGravity);
    s.ny = Checked(Div(s.Lift, s.Mass) / kGravity);
    return;
  }
  const AirSpeed a = AirSpeedOf(s.V, std::sin(s.Theta), std::cos(s.Theta), Vwind);
  const Shares k = SharesOf(a);
  s.q = Checked(roh * a.Magnitude * a.Magnitude / 2);
  s.Drag = Checked(s.CxCur * s.q * s.Area);
  s.Lift = Checked(s.CyCur * s.q * s.Area);
  s.nx = Checked(Div(s.Thrust - s.Drag * k.Along - s.Lift * k.Across, s.Mass) / kGravity);
  s.ny = Checked(Div(s.Lift * k.Along - s.Drag * k.Across, s.Mass) / kGravity);
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
  const AirSpeed a = AirSpeedOf(V, sinT, cosT, Vwind);
  const double q = Checked(roh * a.Magnitude * a.Magnitude / 2);
  s.q = q;
  s.Auftrieb = 0.0;

  if (BuoyancyMode != 1) {
    const double thrustAcc = Div(s.Thrust, mass);
    const double dragAcc = Div(s.CxCur * roh * Checked(a.Magnitude * a.Along) * s.Area / 2, mass);
    const double liftAcc = Div(s.CyCur * roh * Checked(a.Magnitude * a.Across) * s.Area / 2, mass);
    const double dVdt = Checked(thrustAcc - dragAcc - liftAcc - kGravity * sinT);
    s.dVdt = dVdt;
    s.X = Checked(s.X + V * cosT * dt0);
    s.H = Checked(s.H + V * sinT * dt0);
    const double V1 = Checked(V + dVdt * dt0);
    s.V = V1;
    const AirSpeed a1 = AirSpeedOf(V1, sinT, cosT, Vwind);
    const double liftTurn = Div(Div(s.CyCur * roh * Checked(a1.Magnitude * a1.Along) * s.Area / 2, mass), V1);
    const double dragTurn =
        Div(Div(s.CxCur * roh * Checked(a1.Magnitude * a1.Across) * s.Area / 2, mass), V1);
    const double dThetadt = Checked(liftTurn - dragTurn - Div(kGravity * cosT, V1));
    double theta = Checked(s.Theta + dThetadt * dt0);
    if (Vwind == 0.0) {
      if (theta <= -kAngleLimit) theta = -kAngleLimit;
      if (theta >= kAngleLimit) theta = kAngleLimit;
    } else {
      theta = WrappedAngle(theta);  // the air may carry the path past the vertical
    }
    s.Theta = theta;
  }

  s.t = Checked(s.t + dt0);
  const Shares k = SharesOf(a);
  s.Drag = Checked(s.CxCur * q * s.Area);
  s.Lift = Checked(s.CyCur * q * s.Area);
  s.nx = Checked(Div(s.Thrust - s.Drag * k.Along - s.Lift * k.Across, mass) / kGravity);
  s.ny = Checked(Div(s.Lift * k.Along - s.Drag * k.Across, mass) / kGravity);
}

}  // namespace zarn
