#include "flight/globe_run.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <memory>
#include <numbers>
#include <optional>
#include <string>
#include <string_view>

#include "flight/columns.h"
#include "flight/events.h"
#include "flight/number_text.h"
#include "flight/ode_run.h"
#include "flight/ode_steppers.h"
#include "flight/run_loop.h"
#include "flight/stages.h"
#include "models/flight_model.h"
#include "models/motion_step.h"
#include "models/vehicle_tables.h"
#include "records/constants.h"
#include "records/errors.h"

namespace zarn {

Earth EarthOf(const FlightParameters& p) {
  Earth e;
  e.Shape = static_cast<EarthShape>(static_cast<int>(p.EarthModel));
  e.Radius = p.EarthRadius != 0.0 ? p.EarthRadius : e.Ellipsoid() ? kWgs84A : kMeanEarthRadius;
  e.Mu = p.EarthMu != 0.0 ? p.EarthMu : kWgs84Mu;
  e.Rate = !e.Rotates() ? 0.0 : p.EarthRate != 0.0 ? p.EarthRate : kWgs84Rate;
  return e;
}

void ValidateEarth(const FlightParameters& p, char decimalSeparator) {
  auto named = [&](std::string_view name, double v) {
    return std::string(name) + " = " + FormatGeneral(v, 15, decimalSeparator);
  };
  if (p.EarthModel != 0.0 && p.EarthModel != 1.0 && p.EarthModel != 2.0 && p.EarthModel != 3.0)
    throw Error(named("EarthModel", p.EarthModel) +
                " is no Earth model (0 flat with g = 9.8, 1 a sphere, 2 a rotating sphere, 3 the rotating "
                "WGS-84 ellipsoid with J2)");
  for (const auto& [name, v] : {std::pair<std::string_view, double>{"EarthRadius", p.EarthRadius},
                                {"EarthMu", p.EarthMu},
                                {"EarthRate", p.EarthRate}}) {
    if (!std::isfinite(v)) throw Error(named(name, v) + " must be a finite number");
    if (v < 0.0) throw Error(named(name, v) + " cannot be negative");
  }
  if (!(p.LaunchLat >= -90.0 && p.LaunchLat <= 90.0))
    throw Error(named("LaunchLat", p.LaunchLat) + " must be from -90 to 90 degrees");
  for (const auto& [name, v] : {std::pair<std::string_view, double>{"LaunchLon", p.LaunchLon},
                                {"Azimuth", p.Azimuth},
                                {"VwindCross", p.VwindCross}})
    if (!std::isfinite(v)) throw Error(named(name, v) + " must be a finite number");
  // The classic wind is a set of corrections within the vertical plane; a wind across it is only
  // the air's own motion.
  if (p.EarthModel == 0.0 && p.VwindCross != 0.0 && p.WindModel != 1.0)
    throw Error(named("VwindCross", p.VwindCross) + " needs the wind as the air's motion, not " +
                named("WindModel", p.WindModel) + " (the classic wind)");
}

namespace {

// Position (Earth-fixed, or over the flat Earth along, right of and above the launch site's
// azimuth), velocity relative to the Earth, and mass.
using State = std::array<double, 7>;
constexpr std::size_t kMass = 6;

using Span = steppers::Span<State>;
using steppers::Bisect;

Vec3 PositionIn(const State& y) {
  return {y[0], y[1], y[2]};
}
Vec3 VelocityIn(const State& y) {
  return {y[3], y[4], y[5]};
}
void Put(State& y, const Vec3& r, const Vec3& v) {
  y[0] = r.x(), y[1] = r.y(), y[2] = r.z();
  y[3] = v.x(), y[4] = v.y(), y[5] = v.z();
}

// The horizontal directions of the flight and the vertical at a point.
struct Local {
  Vec3 Up, Along, Right;
  Place Where;  //!< Lat and Lon in radians; the height above the surface
};

class GlobeRule final : public StepRule, public steppers::System<State> {
 public:
  GlobeRule(const FlightParameters& p, RunResult& result, StepSink& sink, bool rows)
      : p_(p),
        d_(result),
        s_(result.Final),
        sink_(sink),
        rows_(rows),
        earth_(EarthOf(p)),
        flat_(earth_.Shape == EarthShape::kFlat),
        degPerRad_(DegreesPerRadian(p)),
        atmosphere_(AtmosphereOf(p)),
        vehicle_(p.Vehicle.get()),
        stepper_(steppers::StepperOf<State>(MethodOf(p), RtolOf(p))) {
    SetUpLaunchSite();
  }

  void Launch(int32_t pass) override {
    pass_ = pass;
    steps_ = 0;
    evaluations_ = 0;
    StartPass();
  }

  bool Advance() override {
    const bool more = Step();
    ++steps_;
    return more;
  }

  int64_t Evaluations() const override { return evaluations_; }
  void BeginEvents(EventLog& log) override { log_ = &log; }
  void EndEvents() override { log_ = nullptr; }
  bool NeedsDuration() const override { return rows_; }

  void Finish() override {
    MergeVehicleEvents(p_, railExit_, chuteOpen_, d_.Events);
    d_.Summary.MaxQ = std::max(d_.Summary.MaxQ, d_.LocatedMaxQ);
  }

  // The system of the steppers.
  void operator()(const State& y, State& dy, double t) override { Rates(t, y, dy); }

 private:
  struct Mode {
    int Stage = 0;
    bool Hold = false;
    int Last = 0;        //!< the stage that burned last, through a coast
    bool Rail = false;   //!< on the launch rail: the path keeps the launch angle
    bool Pitch = false;  //!< the pitch program sets the path's angle
    bool Chute = false;  //!< the parachute is open
  };

  // ----- the geometry -----

  void SetUpLaunchSite() {
    azimuth_ = p_.Azimuth * std::numbers::pi / 180.0;
    launchAngle_ = p_.TTO / degPerRad_;
    if (flat_) return;
    const Place site{p_.LaunchLat * std::numbers::pi / 180.0, p_.LaunchLon * std::numbers::pi / 180.0, 0.0};
    const LocalAxes axes = AxesAt(site);
    const Vec3 forward = std::cos(azimuth_) * axes.North + std::sin(azimuth_) * axes.East;
    site_ = PositionOf(earth_, site).normalized();
    // The plane of the great circle that leaves the site along the azimuth; its normal points left.
    normal_ = site_.cross(forward).normalized();
  }

  Local LocalAt(const Vec3& r) const {
    if (flat_) return {Vec3::UnitZ(), Vec3::UnitX(), Vec3::UnitY(), {0.0, 0.0, r.z()}};
    const Place where = PlaceOf(earth_, r);
    const Vec3 up = AxesAt(where).Up;
    Vec3 along = normal_.cross(up);
    // A quarter of the globe away from the track the along-track direction is lost: north there.
    along = along.squaredNorm() > 1e-24 ? along.normalized() : AxesAt(where).North;
    return {up, along, along.cross(up), where};
  }

  double HeightOf(const State& y) const { return flat_ ? y[2] : PlaceOf(earth_, PositionIn(y)).Height; }

  // The distance along the track's great circle from the site and across it, as arcs on the sphere
  // of the Earth's radius (the equatorial one of the ellipsoid), and the place in degrees.
  struct Ground {
    double X, Z, Lat, Lon;
  };
  Ground GroundOf(const Vec3& r) const {
    if (flat_) return {r.x(), r.y(), p_.LaunchLat, p_.LaunchLon};
    const Vec3 inPlane = r - r.dot(normal_) * normal_;
    double x = std::atan2(site_.cross(inPlane).dot(normal_), site_.dot(inPlane));
    // Around the globe the range goes on growing: the turn nearest the last step's.
    x += 2 * std::numbers::pi * std::nearbyint((turn_ - x) / (2 * std::numbers::pi));
    const double z = -std::asin(std::clamp(r.normalized().dot(normal_), -1.0, 1.0));
    const Place at = PlaceOf(earth_, r);
    const double deg = 180.0 / std::numbers::pi;
    return {earth_.Radius * x, earth_.Radius * z, at.Lat * deg, at.Lon * deg};
  }

  // dX/dt: the turn of the position's projection into the track's plane, as an arc.
  double RangeRate(const Vec3& r, const Vec3& v) const {
    if (flat_) return v.x();
    const Vec3 pr = r - r.dot(normal_) * normal_;
    const Vec3 pv = v - v.dot(normal_) * normal_;
    return earth_.Radius * Div(pr.cross(pv).dot(normal_), pr.squaredNorm());
  }

  Vec3 LaunchDirection(const Local& l) const { return DirectionAt(l, launchAngle_); }

  // The direction at an angle against the local horizontal in the azimuth's vertical plane.
  static Vec3 DirectionAt(const Local& l, double theta) {
    return std::cos(theta) * l.Along + std::sin(theta) * l.Up;
  }

  // ----- the held path: the rail and the pitch program -----

  // The angle against the local horizontal the path is held at, and its rate (rad, rad/s).
  struct Held {
    double Angle, Rate;
  };
  std::optional<Held> HeldAngle(double t) const {
    if (mode_.Rail) return Held{launchAngle_, 0.0};
    if (mode_.Pitch) {
      const LinearTable& pitch = *vehicle_->Pitch;
      return Held{pitch.At(t) / degPerRad_, PitchRate(pitch, t) / degPerRad_};
    }
    return std::nullopt;
  }

  // How fast a held direction turns as the body moves: over a round Earth the local horizontal
  // tilts under it (by V cos theta / r on a sphere), from the change of the local axes over a metre
  // of the path either side.
  Vec3 FrameTurn(const Vec3& r, const Vec3& v, double theta) const {
    const double V = v.norm();
    if (flat_ || !(V > 0.0)) return Vec3::Zero();
    const Vec3 step = v / V;  // a metre along the path
    const Vec3 ahead = DirectionAt(LocalAt(r + step), theta), behind = DirectionAt(LocalAt(r - step), theta);
    return (ahead - behind) * (V / 2);
  }

  // [m] how far the body has gone from the pad.
  double Travel(const State& y) const { return (PositionIn(y) - pad_).norm(); }

  // [m/s] the wind at height H along the azimuth and across it, the profile's where one is given.
  double WindAlongAt(double H) const {
    return vehicle_ && vehicle_->WindAlong ? vehicle_->WindAlong->At(H) : p_.Vwind;
  }
  double WindAcrossAt(double H) const {
    return vehicle_ && vehicle_->WindAcross ? vehicle_->WindAcross->At(H) : p_.VwindCross;
  }

  // ----- the forces -----

  struct Instant {
    Local L;
    AtmosphereState Atm;
    double AirSpeed, Mach, CxCur, Thrust, Isp, MassFlow;
    Vec3 Accel;    //!< [m/s^2] relative to the Earth
    bool Resting;  //!< on the pad: the body does not move
  };

  // Everything that acts on the body in state y in the current mode. Drag against the air's
  // velocity, lift square to it in the vertical plane, thrust along the velocity over the ground
  // (straight up during the hold), gravity, and where the Earth turns the Coriolis and centrifugal
  // accelerations of its frame: the frame turns with the Earth, so the velocity is the one a
  // person on the ground sees.
  Instant InstantOf(double t, const State& y) {
    Instant i{};
    const Vec3 r = PositionIn(y), v = VelocityIn(y);
    const double mass = y[kMass];
    i.L = LocalAt(r);
    i.Atm = FlightAir(i.L.Where.Height, band_, atmosphere_);
    // The wind is the air moving over the ground, horizontal: along the azimuth and to its right.
    const double H = i.L.Where.Height;
    const Vec3 air = v - (WindAlongAt(H) * i.L.Along + WindAcrossAt(H) * i.L.Right);
    i.AirSpeed = air.norm();
    i.Mach = Div(i.AirSpeed, i.Atm.Vsound);
    i.CxCur = p_.AeroModel == 2.0 ? DragTableOf(*vehicle_, mode_.Last).At(i.Mach)
                                  : DragCoefficient(p_.Cx, p_.AeroModel, i.Mach);
    // The parachute's drag area on the body's reference area.
    if (mode_.Chute) i.CxCur = Checked(i.CxCur + Div(p_.ChuteCdS, p_.S0));
    if (mode_.Stage > 0) {
      const StagePush push = StagePushAt(plan_, mode_.Stage, t, i.Atm.Pbar);
      i.Isp = push.Isp;
      i.Thrust = push.Thrust;
      i.MassFlow = push.MassFlow;
    }
    const std::optional<Held> held = HeldAngle(t);
    const double w2 = i.AirSpeed * i.AirSpeed;
    const double half = i.Atm.Roh * p_.S0 / 2;
    Vec3 a = Vec3::Zero();
    if (i.AirSpeed > 0.0) {
      const Vec3 along = air / i.AirSpeed;
      a -= RateAeroAcceleration(i.CxCur, half, w2, mass) * along;
      const Vec3 lift = i.L.Up - i.L.Up.dot(along) * along;
      if (p_.Cy != 0.0 && lift.squaredNorm() > 1e-24)
        a += RateAeroAcceleration(p_.Cy, half, w2, mass) * lift.normalized();
    }
    if (i.Thrust != 0.0) {
      const double V = v.norm();
      const Vec3 dir = mode_.Hold ? i.L.Up
                       : held     ? DirectionAt(i.L, held->Angle)
                       : V > 0.0  ? Vec3(v / V)
                                  : LaunchDirection(i.L);
      a += Div(i.Thrust, mass) * dir;
    }
    if (flat_) {
      a.z() -= kGravity;
    } else {
      a += Gravity(earth_, r) + FrameAcceleration(earth_, r, v);
    }
    if (held) {
      // The path keeps the held direction d: the speed along it changes by the acceleration along
      // it, and the velocity turns with d, by the program's rate and the tilt of the horizontal.
      const Vec3 d = DirectionAt(i.L, held->Angle);
      const Vec3 n = DirectionAt(i.L, held->Angle + std::numbers::pi / 2);
      const double u = v.dot(d), along = a.dot(d);
      // On the rail at rest, a body whose thrust does not lift it along the rail stays on the pad.
      if (mode_.Rail && std::fabs(u) <= kRestSpeed && along <= 0.0) {
        a = Vec3::Zero();
        i.Resting = true;
      } else {
        a = along * d + u * (held->Rate * n + FrameTurn(r, v, held->Angle));
      }
    }
    for (int k = 0; k < 3; ++k) Checked(a[k]);
    i.Accel = a;
    return i;
  }

  void Rates(double t, const State& y, State& dy) {
    ++evaluations_;
    if (buoyant_) {
      dy = State{};  // the body does not move; only its time goes on
      return;
    }
    const Instant i = InstantOf(t, y);
    for (std::size_t k = 0; k < 3; ++k) dy[k] = i.Resting ? 0.0 : y[k + 3];
    dy[3] = i.Accel.x(), dy[4] = i.Accel.y(), dy[5] = i.Accel.z();
    dy[kMass] = -i.MassFlow;
  }

  // The path angle against the local horizontal; at rest the launch's.
  double AngleOf(const Vec3& v, const Local& l) const {
    const double V = v.norm();
    return V > 0.0 ? std::asin(std::clamp(v.dot(l.Up) / V, -1.0, 1.0)) : launchAngle_;
  }

  // The recorded quantities of a state at time t; the angle in the unit of degPerRad_, so that the
  // table's column shows degrees.
  void Record(double t, const State& y) {
    const Instant i = InstantOf(t, y);
    const std::optional<Held> held = HeldAngle(t);
    const Vec3 r = PositionIn(y), v = VelocityIn(y);
    const Ground g = GroundOf(r);
    const double V = v.norm();
    s_.t = t;
    s_.X = g.X;
    s_.Z = g.Z;
    s_.Lat = g.Lat;
    s_.Lon = g.Lon;
    s_.H = i.L.Where.Height;
    s_.V = V;
    s_.Theta = held ? held->Angle : AngleOf(v, i.L);
    s_.Mass = y[kMass];
    s_.Area = p_.S0;
    s_.Atm = i.Atm;
    s_.Mach = i.Mach;
    s_.CxCur = i.CxCur;
    s_.CyCur = p_.Cy;
    s_.Thrust = i.Thrust;
    s_.Isp = i.Isp;
    s_.Auftrieb = 0.0;
    s_.dVdt = V > 0.0 ? i.Accel.dot(v) / V : 0.0;
    s_.q = DynamicPressure(i.Atm.Roh, i.AirSpeed);
    RecordLoads(s_, s_.q, Wind::kClassic, AirVelocity{});
    s_.Re = Checked(Div(s_.Atm.Roh * s_.V * 1.0, s_.Atm.Mu));  // for a length of 1 m
  }

  // ----- the modes -----

  bool Weak(double t, const State& y) {
    // A rail or a pitch program says where the thrust points: no vertical hold then.
    if (p_.RailLength > 0.0 || pitchEnd_ >= 0.0) return false;
    if (mode_.Stage == 0 || !(t < kHoldUntil)) return false;
    const Instant i = InstantOf(t, y);
    return HoldsVertical(t, i.Thrust, y[kMass]);
  }

  // Turns the velocity, keeping its speed.
  void PointAlong(State& y, const Vec3& dir) {
    const Vec3 r = PositionIn(y);
    Put(y, r, VelocityIn(y).norm() * dir);
  }

  void EnterMode(double t, State& y) {
    mode_.Stage = rocket_ ? StageAfter(plan_, t) : 0;
    // The engine of the stage that burned last goes where the next one takes over, across a coast.
    y[kMass] = MassAfterStaging(plan_, mode_.Last, mode_.Stage, y[kMass]);
    if (mode_.Stage > 0) s_.Stage = mode_.Last = mode_.Stage;
    mode_.Rail = p_.RailLength > 0.0 && !railExit_;
    mode_.Chute = chuteOpen_.has_value();
    const bool pitched = mode_.Pitch;
    mode_.Pitch = pitchEnd_ >= 0.0 && mode_.Stage > 0 && t < pitchEnd_;
    const bool hold = Weak(t, y);
    const Local l = LocalAt(PositionIn(y));
    if (hold && !mode_.Hold) {
      PointAlong(y, l.Up);
      s_.AngleHold = 0.0;
    } else if (!hold && s_.AngleHold == 0.0 && mode_.Stage > 0) {
      PointAlong(y, LaunchDirection(l));  // the turn to the launch angle, once per release
      s_.AngleHold = 1.0;
    }
    mode_.Hold = hold;
    // The program's angle from its start, and where it ends the path flies on from its last one.
    if (mode_.Pitch || pitched) PointAlong(y, DirectionAt(l, vehicle_->Pitch->At(t) / degPerRad_));
    if (mode_.Rail) PointAlong(y, LaunchDirection(l));
  }

  // The next time at which the rates change: a stage's end or a point of its motor's curve, the
  // end of the hold, an ignition after a coast, a row of the pitch program, the parachute's time.
  double NextBreak() const {
    double b = p_.Tk;
    if (mode_.Stage > 0) {
      const auto at = static_cast<std::size_t>(mode_.Stage - 1);
      b = std::min(b, plan_.End[at]);
      if (const StageMotor* m = plan_.Motors[at])
        for (const ThrustPoint& q : m->Curve.Points())
          if (plan_.Ignition[at] + q.t > t_) {
            b = std::min(b, plan_.Ignition[at] + q.t);
            break;
          }
    }
    if (mode_.Hold) b = std::min(b, kHoldUntil);
    if (rocket_ && mode_.Stage == 0)
      for (std::size_t k = 0; k < 3; ++k)
        if (plan_.Stages[k].BurnTime > 0.0 && plan_.Ignition[k] > t_) b = std::min(b, plan_.Ignition[k]);
    if (mode_.Pitch)
      for (const LinearTable::Row& r : vehicle_->Pitch->Rows())
        if (r.X > t_) {
          b = std::min(b, r.X);
          break;
        }
    if (!chuteOpen_ && chuteAt_ > t_) b = std::min(b, chuteAt_);
    return b;
  }

  // ----- the pass -----

  void StartPass() {
    d_.Units = UnitFlags{};
    s_ = FlightState{};
    s_.AngleHold = 0.0;
    rocket_ = p_.TaskKind == kTaskRocket;
    buoyant_ = IsBuoyantTask(p_.TaskKind);
    if (rocket_) plan_ = PlanStages(p_);
    pitchEnd_ =
        vehicle_ && vehicle_->Pitch && !vehicle_->Pitch->Empty() ? vehicle_->Pitch->Rows().back().X : -1.0;
    railExit_.reset();
    chuteOpen_.reset();
    apexSeen_ = false;
    chuteAt_ = std::numeric_limits<double>::infinity();
    Vec3 r;
    if (flat_) {
      r = Vec3(0.0, 0.0, p_.H0);
    } else {
      const Place start{p_.LaunchLat * std::numbers::pi / 180.0, p_.LaunchLon * std::numbers::pi / 180.0,
                        p_.H0};
      r = PositionOf(earth_, start);
    }
    pad_ = r;
    Put(y_, r, p_.V0 * LaunchDirection(LocalAt(r)));
    y_[kMass] = p_.MassaStart;
    t_ = 0.0;
    turn_ = 0.0;
    mode_ = Mode{};
    EnterMode(0.0, y_);
    Rates(0.0, y_, f_);
    stepper_->Start(p_.dt0);
    nextRow_ = 1;
    Record(0.0, y_);
    if (ChutePending() && !(Climb(y_) > 0.0)) {  // a drop: its apex is its start
      Switches();
      EnterMode(0.0, y_);
      Rates(0.0, y_, f_);
      Record(0.0, y_);
    }
    apex_ = s_.H;
    if (log_) log_->Start(Node(0.0, y_, f_));
    d_.Summary.ApexH = s_.H;
    d_.Summary.MaxQ = s_.q;
    d_.Summary.PeakNx = s_.nx;
  }

  struct Cut {
    double T;
    bool Ended;
    bool Release;
    bool Switch = false;  //!< the rail's end, the apex before a parachute, the parachute's height
  };

  bool Step() {
    const double tb = NextBreak();
    Span full{t_, t_, y_, f_, y_, f_};
    stepper_->Take(*this, full, tb, p_.dt0);
    if (std::fabs(tb - full.T1) <= 1e-12 * std::max(1.0, std::fabs(tb))) full.T1 = tb;  // land on the break
    const Cut cut = Locate(full);
    Go(full, cut);
    if (cut.Ended) return false;
    if (cut.Release || cut.Switch || t_ == tb) ChangeMode(cut.Release);
    return true;
  }

  // The events that end a step early: the end height, the hold's release.
  Cut Locate(const Span& full) {
    Cut cut{full.T1, full.T1 >= p_.Tk, false};
    if (HeightOf(full.Y1) <= p_.Hk && !mode_.Rail) {  // on the rail the body stands on its pad
      if (HeightOf(full.Y0) > p_.Hk)
        cut.T = Bisect(full.T0, full.T1, [&](double t) { return HeightOf(At(full, t)) - p_.Hk; });
      cut.Ended = true;
    }
    if (mode_.Hold && !Weak(full.T1, full.Y1)) {
      const double tr = Bisect(full.T0, full.T1, [&](double t) { return Weak(t, At(full, t)) ? 1.0 : -1.0; });
      if (tr < cut.T) cut.T = tr, cut.Release = true, cut.Ended = false;
    }
    auto cutAt = [&](double t) {
      if (t <= cut.T) cut.T = t, cut.Switch = true, cut.Ended = false;
    };
    if (mode_.Rail && Travel(full.Y1) >= p_.RailLength)
      cutAt(Bisect(full.T0, full.T1, [&](double t) { return p_.RailLength - Travel(At(full, t)); }));
    if (ChutePending() && !apexSeen_ && Climb(full.Y0) > 0.0 && !(Climb(full.Y1) > 0.0))
      cutAt(Bisect(full.T0, full.T1, [&](double t) { return Climb(At(full, t)) > 0.0 ? 1.0 : -1.0; }));
    const double hc = p_.ChuteHeight;
    if (ChutePending() && hc > 0.0 && !(Climb(full.Y1) > 0.0) && HeightOf(full.Y0) > hc &&
        HeightOf(full.Y1) <= hc)
      cutAt(Bisect(full.T0, full.T1, [&](double t) { return HeightOf(At(full, t)) - hc; }));
    return cut;
  }

  bool ChutePending() const { return p_.ChuteCdS > 0.0 && !chuteOpen_; }

  // At a cut or a break: the rail's end, the apex, the parachute.
  void Switches() {
    if (mode_.Rail && Travel(y_) >= p_.RailLength) railExit_ = EventHere(EventKind::RailExit);
    if (!ChutePending()) return;
    if (!apexSeen_ && !(Climb(y_) > 0.0)) {
      apexSeen_ = true;
      chuteAt_ = t_ + p_.ChuteDelay;
    }
    const bool low = p_.ChuteHeight > 0.0 && !(Climb(y_) > 0.0) && HeightOf(y_) <= p_.ChuteHeight;
    if (t_ >= chuteAt_ || low) chuteOpen_ = EventHere(EventKind::ChuteOpen);
  }

  FlightEvent EventHere(EventKind kind) const {
    return {kind, 0, t_, s_.X, s_.H, s_.V, s_.Theta, s_.Z, s_.Lat, s_.Lon};
  }

  void Go(const Span& full, const Cut& cut) {
    State y1 = full.Y1, f1 = full.F1;
    if (cut.T < full.T1) {
      y1 = At(full, cut.T);
      Rates(cut.T, y1, f1);
    }
    Apex(full, cut.T, y1);
    t_ = cut.T;
    y_ = y1;
    f_ = f1;
    Record(t_, y_);
    if (!flat_) turn_ = s_.X / earth_.Radius;
    sink_.Step(s_);
    if (pass_ == 1) Sample(full, cut.Ended);
    RunSummary& sum = d_.Summary;
    sum.ApexH = apex_;
    sum.MaxQ = std::max(sum.MaxQ, s_.q);
    if (std::fabs(s_.nx) > std::fabs(sum.PeakNx)) sum.PeakNx = s_.nx;
    if (log_) log_->Next(Node(t_, y_, f_));
  }

  void ChangeMode(bool release) {
    if (release) mode_.Hold = false;
    Switches();
    EnterMode(t_, y_);
    Rates(t_, y_, f_);
    if (log_) {
      const FlightState kept = s_;
      Record(t_, y_);
      log_->Next(Node(t_, y_, f_));
      s_ = kept;
    }
  }

  State At(const Span& sp, double t) {
    if (t <= sp.T0) return sp.Y0;
    if (t >= sp.T1) return sp.Y1;
    return stepper_->At(sp, t);
  }

  double Climb(const State& y) const { return VelocityIn(y).dot(LocalAt(PositionIn(y)).Up); }

  // The apex inside a step, where the climb rate changes sign, from the interpolant.
  void Apex(const Span& sp, double t1, const State& y1) {
    double top = HeightOf(y1);
    if (Climb(sp.Y0) > 0.0 && !(Climb(y1) > 0.0)) {
      const double ta = Bisect(sp.T0, t1, [&](double t) { return Climb(At(sp, t)); });
      top = std::max(top, HeightOf(At(sp, ta)));
    }
    apex_ = std::max(apex_, top);
  }

  // A point for the event log from the state in s_ and the rates f: the range and height with
  // their rates, and the speed and path angle with theirs (the local vertical turns as the body
  // moves over a round Earth).
  FlightNode Node(double t, const State& y, const State& f) const {
    const Vec3 r = PositionIn(y), v = VelocityIn(y), a(f[3], f[4], f[5]);
    const Local l = LocalAt(r);
    const double V = v.norm();
    const double dV = V > 0.0 ? a.dot(v) / V : 0.0;
    double dTheta = 0.0;
    const double cosT = std::cos(s_.Theta);
    if (V > 0.0 && cosT > 1e-9) {
      dTheta = (a.dot(l.Up) - std::sin(s_.Theta) * dV) / (V * cosT);
      if (!flat_) dTheta += V * cosT / r.norm();
    }
    FlightNode n{t, s_.X, s_.H, s_.V, s_.Theta, RangeRate(r, v), v.dot(l.Up), dV, dTheta, s_.Mach, s_.q};
    n.Z = s_.Z, n.Lat = s_.Lat, n.Lon = s_.Lon;
    if (flat_) {
      n.dZ = v.y();
    } else if (V > 0.0) {
      // The place's rates along the velocity, by a central difference over a metre each way: the
      // ellipsoid's latitude has no handy rate of its own, and over a metre the curve of the
      // ground is far below the last bits.
      const Vec3 step = v / V;
      const Ground ahead = GroundOf(r + step), behind = GroundOf(r - step);
      double dLon = ahead.Lon - behind.Lon;
      if (dLon > 180.0) dLon -= 360.0;
      if (dLon < -180.0) dLon += 360.0;
      n.dZ = (ahead.Z - behind.Z) / 2 * V;
      n.dLat = (ahead.Lat - behind.Lat) / 2 * V;
      n.dLon = dLon / 2 * V;
    }
    return n;
  }

  // Rows at the multiples of the sample interval that the step passed; the last row takes the
  // flight's end.
  void Sample(const Span& sp, bool ended) {
    const int32_t rows = d_.Table.RowsPerColumn;
    const double si = d_.Summary.SampleInterval;
    if (!rows_) {
      if (ended) d_.Summary.SamplesStored = rows;
      return;
    }
    const FlightState kept = s_;
    while (nextRow_ < rows && static_cast<double>(nextRow_) * si <= t_) {
      const double t = static_cast<double>(nextRow_) * si;
      Record(t, At(sp, t));
      Store(nextRow_++);
    }
    s_ = kept;
    if (ended && nextRow_ <= rows) {
      Store(rows);
      nextRow_ = rows + 1;
    }
  }

  void Store(int32_t row) {
    sink_.Sampled(row);
    StoreRow(d_.Table, d_.Units, row, s_, p_);
    d_.Summary.SamplesStored = row;
  }

  const FlightParameters& p_;
  RunResult& d_;
  FlightState& s_;
  StepSink& sink_;
  const bool rows_;
  const Earth earth_;
  const bool flat_;
  const double degPerRad_;
  const Atmosphere atmosphere_;
  const VehicleTables* vehicle_;  //!< the vehicle's files, or nullptr
  std::unique_ptr<steppers::OdeStepper<State>> stepper_;
  double azimuth_ = 0.0;         //!< [rad] clockwise from north
  double launchAngle_ = 0.0;     //!< [rad]
  Vec3 site_ = Vec3::UnitX();    //!< the launch site's direction from the centre
  Vec3 normal_ = Vec3::UnitZ();  //!< of the track's great circle, to its left
  StagePlan plan_;
  bool rocket_ = false;
  bool buoyant_ = false;
  Mode mode_;
  Vec3 pad_ = Vec3::Zero();  //!< where the flight starts
  double pitchEnd_ = -1.0;   //!< [s] the pitch program's last time; below 0: none
  std::optional<FlightEvent> railExit_, chuteOpen_;
  bool apexSeen_ = false;
  double chuteAt_ = 0.0;  //!< [s] the parachute's opening after the apex
  State y_{}, f_{};
  double t_ = 0.0;
  double apex_ = 0.0;
  double turn_ = 0.0;  //!< [rad] the range's angle at the last step
  std::size_t band_ = 0;
  int32_t pass_ = 0;
  int32_t nextRow_ = 1;
  int64_t steps_ = 0;
  int64_t evaluations_ = 0;
  EventLog* log_ = nullptr;
};

}  // namespace

void FlyInThreeDimensions(const FlightParameters& p, RunResult& result, const RunOptions& options,
                          StepSink& sink, bool rows) {
  GlobeRule rule(p, result, sink, rows);
  FlyTwoPasses(p, result, options, sink, rule);
}

}  // namespace zarn
