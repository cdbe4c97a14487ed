#pragma once
// A motor's thrust over its burn, as a motor file gives it: thrust linear between the points,
// starting from 0 at ignition and ending at the last point. The propellant burns in proportion to
// the thrust, so that the motor's propellant mass is gone at the last point.
#include <vector>

namespace zarn {

struct ThrustPoint {
  double t;  //!< [s] since ignition
  double F;  //!< [N]
};

class ThrustCurve {
 public:
  ThrustCurve() = default;
  // points: times rising from 0; thrusts of 0 or more, with an impulse above 0. Without a point at 0
  // the curve rises from 0 at ignition to its first point.
  // propellantMass [kg]: what the burn consumes.
  ThrustCurve(std::vector<ThrustPoint> points, double propellantMass);

  double BurnTime() const { return points_.back().t; }  //!< [s]
  const std::vector<ThrustPoint>& Points() const { return points_; }
  double TotalImpulse() const { return impulse_.back(); }  //!< [N s]
  double PropellantMass() const { return propellant_; }    //!< [kg]
  double Thrust(double t) const;                           //!< [N]; 0 before ignition and after the burn
  double Impulse(double t) const;                          //!< [N s] delivered by t
  double Burned(double t) const { return propellant_ * Impulse(t) / TotalImpulse(); }   //!< [kg] by t
  double MassFlow(double t) const { return propellant_ * Thrust(t) / TotalImpulse(); }  //!< [kg/s]

 private:
  std::vector<ThrustPoint> points_{{0.0, 0.0}};
  std::vector<double> impulse_{0.0};  //!< [N s] up to each point
  double propellant_ = 0.0;
};

}  // namespace zarn
