#include "models/flight_model.h"

#include <cmath>

#include "models/atmosphere.h"
#include "models/drag_law.h"
#include "models/us76.h"
#include "records/errors.h"

namespace zarn {

AtmosphereState FlightAir(double H, std::size_t& band, Atmosphere model) noexcept {
  AtmosphereState air = model == Atmosphere::kUs76 ? Us76Atmosphere(H) : StandardAtmosphere(H, band);
  if (H > kThinAirHeight) air.Vsound = kThinAirVsound;
  return air;
}

AirVelocity AirVelocityOf(double V, double sinT, double cosT, double Vwind) {
  const double along = V - Vwind * cosT;
  const double across = Vwind * sinT;
  // sqrt of a rounded square gives the number back: with no wind the air speed is |V| to the bit.
  return {along, across, Checked(std::sqrt(Checked(along * along + across * across)))};
}

double AirSpeedOf(double V, double Theta, double wind) {
  if (wind == 0.0) return V;
  return std::hypot(V * std::cos(Theta) - wind, V * std::sin(Theta));
}

void RecordLoads(FlightState& s, double q, Wind model, const AirVelocity& a) {
  s.Drag = Checked(s.CxCur * q * s.Area);
  s.Lift = Checked(s.CyCur * q * s.Area);
  if (model == Wind::kClassic) {
    s.nx = Checked(Div(s.Thrust - s.Drag, s.Mass) / kGravity);
    s.ny = Checked(Div(s.Lift, s.Mass) / kGravity);
    return;
  }
  // The shares of the air speed along and across the path (1 and 0 at rest in the air).
  const bool still = a.Magnitude == 0.0;
  const double along = still ? 1.0 : a.Along / a.Magnitude;
  const double across = still ? 0.0 : a.Across / a.Magnitude;
  s.nx = Checked(Div(s.Thrust - s.Drag * along - s.Lift * across, s.Mass) / kGravity);
  s.ny = Checked(Div(s.Lift * along - s.Drag * across, s.Mass) / kGravity);
}

double DragCoefficient(double Cx, double AeroModel, double Mach) {
  double c = Cx;
  V2DragCoefficient(AeroModel, Mach, c);
  return c;
}

double StageIsp(const StageData& stage, double Pbar) {
  return Checked(stage.IspSeaLevel +
                 (kSeaLevelPbar - Pbar) / kSeaLevelPbar * (stage.IspVacuum - stage.IspSeaLevel));
}

double StageThrust(const StageData& stage, double isp) {
  return Checked(stage.MassFlow * isp);
}

bool HoldsVertical(double t, double thrust, double mass) {
  return t < kHoldUntil && Checked(Div(thrust, mass)) < kHoldThrustPerMass;
}

}  // namespace zarn
