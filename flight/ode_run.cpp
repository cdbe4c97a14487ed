#include "flight/ode_run.h"

#include <algorithm>
#include <array>
#include <boost/math/tools/minima.hpp>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "flight/columns.h"
#include "flight/events.h"
#include "flight/number_text.h"
#include "flight/ode_steppers.h"
#include "flight/run_loop.h"
#include "flight/stages.h"
#include "models/derivatives.h"
#include "models/flight_model.h"
#include "models/motion_step.h"
#include "records/constants.h"
#include "records/errors.h"

namespace zarn {

Method MethodOf(const FlightParameters& p) {
  return static_cast<Method>(static_cast<int32_t>(p.Integrator));
}

double RtolOf(const FlightParameters& p) {
  return p.Rtol == 0.0 ? kDefaultRtol : p.Rtol;
}

std::string_view MethodName(Method m) {
  switch (m) {
    case Method::kRungeKutta4:
      return "Runge-Kutta 4";
    case Method::kDormandPrince:
      return "Dormand-Prince 5(4)";
    case Method::kEuler:
      break;
  }
  return "Euler";
}

int MethodOrder(Method m) {
  switch (m) {
    case Method::kRungeKutta4:
      return 4;
    case Method::kDormandPrince:
      return 5;
    case Method::kEuler:
      break;
  }
  return 1;
}

void ValidateMethod(const FlightParameters& p, char decimalSeparator) {
  auto named = [&](const char* name, double v) {
    return std::string(name) + " = " + FormatGeneral(v, 15, decimalSeparator);
  };
  if (p.Integrator != 0.0 && p.Integrator != 1.0 && p.Integrator != 2.0)
    throw Error(named("Integrator", p.Integrator) +
                " is no method (0 two-pass Euler, 1 Runge-Kutta 4, 2 adaptive Dormand-Prince)");
  if (p.WindModel != 0.0 && p.WindModel != 1.0)
    throw Error(named("WindModel", p.WindModel) + " is no wind model (0 classic, 1 relative to the air)");
  if (p.AtmosphereModel != 0.0 && p.AtmosphereModel != 1.0)
    throw Error(named("AtmosphereModel", p.AtmosphereModel) +
                " is no atmosphere (0 the table, 1 the 1976 US Standard Atmosphere)");
  if (p.Rtol != 0.0 && !(p.Rtol >= 1e-14 && p.Rtol <= 0.1))
    throw Error(named("Rtol", p.Rtol) + " must be 0 (for 1e-8) or from 1e-14 to 0.1");
}

namespace {

// The state the methods advance. With the classic wind the speed and angle along the path, as the
// Euler step has them (its angle limit and vertical hold are statements about the angle); with the
// wind relative to the air the ground velocity's components, which need no angle limit and pass
// through rest and the vertical smoothly; the angle is then recorded as atan2.
using State = std::array<double, 5>;
constexpr std::size_t kX = 0, kH = 1, kA = 2, kB = 3, kMass = 4;  // kA, kB: V, Theta or u, w

using steppers::Bisect;
using Span = steppers::Span<State>;
using System = steppers::System<State>;
using OdeStepper = steppers::OdeStepper<State>;
using steppers::HermiteAt;

std::unique_ptr<OdeStepper> StepperOf(Method m, double rtol) {
  return steppers::StepperOf<State>(m, rtol);
}

class HigherOrderRule final : public StepRule, public System {
 public:
  HigherOrderRule(const FlightParameters& p, RunResult& result, StepSink& sink, bool rows)
      : p_(p),
        d_(result),
        s_(result.Final),
        sink_(sink),
        rows_(rows),
        vehicle_(p.Vehicle.get()),
        airRelative_(p.WindModel == 1.0 && (p.Vwind != 0.0 || (vehicle_ && vehicle_->WindAlong))),
        atmosphere_(AtmosphereOf(p)),
        stepper_(StepperOf(MethodOf(p), RtolOf(p))) {}

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
  void Finish() override {
    LocateMaxima();
    AddVehicleEvents();
  }
  // Both passes fly the same steps; only the rows' times need the first one's duration.
  bool NeedsDuration() const override { return rows_; }

 private:
  // What holds between two events: the stage that burns (0 none) and whether the rocket's
  // vertical hold keeps the angle.
  struct Mode {
    int Stage = 0;
    bool Hold = false;
    int Last = 0;        //!< the stage that burned last, through a coast
    bool Rail = false;   //!< on the launch rail: the path keeps the launch angle
    bool Pitch = false;  //!< the pitch program sets the path's angle
    bool Chute = false;  //!< the parachute is open
  };

  // An angle the path is held at, and its rate: the vertical hold, the rail, the pitch program.
  struct Held {
    double Angle;  //!< [rad]
    double Rate;   //!< [rad/s]
  };

  // A step as flown: cut at End where an event ended it, in the mode that held over it.
  struct Stretch {
    Span Full;
    double End;
    Mode In;
  };

  // ----- the forces as rates -----

  struct Instant {
    AtmosphereState Atm;
    double Mach, CxCur, Thrust, Isp, MassFlow;
  };

  // The air, Mach number, drag coefficient and propulsion of a state in the current mode. The
  // Euler step's mass decrement of MassFlow * dt0 at each burning step becomes the rate -MassFlow
  // over the stage's window, which ends at the stage's burn time exactly.
  Instant InstantOf(double t, const State& y) {
    Instant i{};
    i.Atm = FlightAir(y[kH], band_, atmosphere_);
    i.Mach = Div(AirSpeed(y), i.Atm.Vsound);
    i.CxCur = p_.AeroModel == 2.0 ? CdTable().At(i.Mach) : DragCoefficient(p_.Cx, p_.AeroModel, i.Mach);
    // The parachute's drag area on the body's reference area.
    if (mode_.Chute) i.CxCur = Checked(i.CxCur + Div(p_.ChuteCdS, p_.S0));
    if (mode_.Stage > 0) {
      const StagePush push = StagePushAt(plan_, mode_.Stage, t, i.Atm.Pbar);
      i.Isp = push.Isp;
      i.Thrust = push.Thrust;
      i.MassFlow = push.MassFlow;
    }
    return i;
  }

  // The drag table of what flies: the vehicle's until stage 2 ignites, then the latest one given.
  const LinearTable& CdTable() const { return DragTableOf(*vehicle_, mode_.Last); }

  // [m/s] the wind toward +X at height H: the profile's where one is given.
  double WindAt(double H) const {
    return vehicle_ && vehicle_->WindAlong ? vehicle_->WindAlong->At(H) : p_.Vwind;
  }

  std::optional<Held> HeldAngle(double t) const {
    if (mode_.Hold) return Held{kAngleLimit, 0.0};
    if (mode_.Rail) return Held{launchAngle_, 0.0};
    if (mode_.Pitch) {
      // The program is linear between its rows: its rate is the slope of the row it is in.
      const LinearTable& pitch = *vehicle_->Pitch;
      const double rate = PitchRate(pitch, t) / kDegPerRad;
      return Held{pitch.At(t) / kDegPerRad, rate};
    }
    return std::nullopt;
  }

  // [m] how far the body has gone from the pad.
  double Travel(const State& y) const { return std::hypot(y[kX], y[kH] - p_.H0); }

  double Speed(const State& y) const { return airRelative_ ? std::hypot(y[kA], y[kB]) : y[kA]; }
  double AirSpeed(const State& y) const {
    return airRelative_ ? std::hypot(y[kA] - WindAt(y[kH]), y[kB]) : y[kA];
  }
  double Angle(const State& y) const {
    if (!airRelative_) return y[kB];
    // At rest the path keeps the direction it was given.
    return y[kA] == 0.0 && y[kB] == 0.0 ? launchAngle_ : std::atan2(y[kB], y[kA]);
  }
  double Climb(const State& y) const { return airRelative_ ? y[kB] : y[kA] * std::sin(y[kB]); }
  // Climb(y) > 0, without the sine where the angle's sign gives the sine's: an angle within the
  // limit, and a product that cannot round to 0.
  bool Climbs(const State& y) const {
    if (airRelative_) return y[kB] > 0.0;
    const double V = std::fabs(y[kA]), theta = std::fabs(y[kB]);
    if (!(V > 1e-150 && theta > 1e-150 && theta < 3.0)) return Climb(y) > 0.0;
    return (y[kA] > 0.0) == (y[kB] > 0.0);
  }

  void Rates(double t, const State& y, State& dy) {
    ++evaluations_;
    if (buoyant_) {
      dy = State{};  // the body does not move; only its time goes on
      return;
    }
    const Instant i = InstantOf(t, y);
    const double V = Speed(y);
    const std::optional<Held> held = HeldAngle(t);
    // Within the angle limit; the rest-speed kick of the Euler step is made once, at the start.
    const double theta = held ? held->Angle : airRelative_ ? Angle(y) : LimitedAngle(y[kB]);
    const PointMass m{i.Thrust, y[kMass],  p_.S0,         i.CxCur,
                      p_.Cy,    i.Atm.Roh, WindAt(y[kH]), airRelative_ ? Wind::kAirRelative : Wind::kClassic};
    dy[kMass] = -i.MassFlow;
    if (!airRelative_) {
      const PathRates r = PointMassRates(V, theta, m);
      dy[kX] = r.dX;
      dy[kH] = r.dH;
      dy[kA] = r.dV;
      double turn = r.dTheta;
      // At the limit the angle stays put rather than turn past the vertical, as the step's clamp.
      if (held) {
        turn = held->Rate;
      } else if ((theta >= kAngleLimit && turn > 0.0) || (theta <= -kAngleLimit && turn < 0.0)) {
        turn = 0.0;
      }
      dy[kB] = turn;
      if (Resting(V, r.dV)) dy[kX] = dy[kH] = dy[kA] = 0.0;
      return;
    }
    // The ground velocity's components: the path's rates turned by the angle. V * dTheta stays
    // finite at rest, so the rates are formed as the acceleration along and across the path.
    const double sinT = std::sin(theta);
    const double cosT = std::cos(theta);
    const PathRates r = PointMassRates(V == 0.0 ? kRestSpeed : V, theta, m);
    const double across = (held ? held->Rate : r.dTheta) * (V == 0.0 ? kRestSpeed : V);
    dy[kX] = y[kA];
    dy[kH] = y[kB];
    dy[kA] = Checked(r.dV * cosT - across * sinT);
    dy[kB] = Checked(r.dV * sinT + across * cosT);
    if (Resting(V, r.dV)) dy = State{0.0, 0.0, 0.0, 0.0, dy[kMass]};
  }

  // On the rail at rest, a body whose thrust does not lift it along the rail stays on the pad.
  bool Resting(double V, double dV) const { return mode_.Rail && V <= kRestSpeed && dV <= 0.0; }

  // The recorded quantities of a state at time t, as the Euler step leaves them after a step.
  void Record(double t, const State& y, double dVdt) {
    const Instant i = InstantOf(t, y);
    const std::optional<Held> held = HeldAngle(t);
    s_.t = t;
    s_.X = y[kX];
    s_.H = y[kH];
    s_.V = Speed(y);
    s_.Theta = held && !mode_.Hold ? held->Angle : airRelative_ ? Angle(y) : LimitedAngle(y[kB]);
    s_.Mass = y[kMass];
    s_.Area = p_.S0;
    s_.Atm = i.Atm;
    s_.Mach = i.Mach;
    s_.CxCur = i.CxCur;
    s_.CyCur = p_.Cy;
    s_.Thrust = i.Thrust;
    s_.Isp = i.Isp;
    s_.Auftrieb = 0.0;
    s_.dVdt = dVdt;
    RecordForces(s_, WindAt(y[kH]), airRelative_ ? Wind::kAirRelative : Wind::kClassic);
  }

  double TangentialRate(const State& y, const State& f) const {
    if (!airRelative_) return f[kA];
    const double V = Speed(y);
    return V == 0.0 ? 0.0 : (y[kA] * f[kA] + y[kB] * f[kB]) / V;
  }

  // ----- the pass -----

  // The stage whose window (end of the one before, own end] holds a time just after t.
  int StageAfter(double t) const { return rocket_ ? zarn::StageAfter(plan_, t) : 0; }

  // The hold as the Euler step tests it at a step's start: burning, before 50 s, weak.
  bool Weak(double t, const State& y) {
    // A rail or a pitch program says where the thrust points: no vertical hold then.
    if (railLength_ > 0.0 || pitchEnd_ >= 0.0) return false;
    if (mode_.Stage == 0 || !(t < kHoldUntil)) return false;
    const Instant i = InstantOf(t, y);
    return HoldsVertical(t, i.Thrust, y[kMass]);
  }

  void PointAlong(State& y, double theta) {
    if (!airRelative_) {
      y[kB] = theta;
      return;
    }
    const double V = Speed(y);
    y[kA] = V * std::cos(theta);
    y[kB] = V * std::sin(theta);
  }

  // Enters the mode that holds just after t: staging drops the engine of the stage just burned
  // when the next stage takes over, and the hold starts or ends.
  void EnterMode(double t, State& y) {
    mode_.Stage = StageAfter(t);
    y[kMass] = MassAfterStaging(plan_, mode_.Last, mode_.Stage, y[kMass]);
    if (mode_.Stage > 0) s_.Stage = mode_.Last = mode_.Stage;
    mode_.Rail = railLength_ > 0.0 && !railExit_;
    mode_.Chute = chuteOpen_.has_value();
    const bool pitched = mode_.Pitch;
    mode_.Pitch = pitchEnd_ >= 0.0 && mode_.Stage > 0 && t < pitchEnd_;
    const bool hold = Weak(t, y);
    if (hold && !mode_.Hold) {
      PointAlong(y, kAngleLimit);
      s_.AngleHold = 0.0;
    } else if (!hold && s_.AngleHold == 0.0 && mode_.Stage > 0) {
      PointAlong(y, p_.TTO / kDegPerRad);  // the turn to the launch angle, once per release
      s_.AngleHold = 1.0;
    }
    mode_.Hold = hold;
    // The program's angle from its start, and where it ends the path flies on from its last one.
    if (mode_.Pitch || pitched) PointAlong(y, vehicle_->Pitch->At(t) / kDegPerRad);
    if (mode_.Rail) PointAlong(y, launchAngle_);
  }

  // The next time at which the rates change: a stage's end, the end of the hold, the end time.
  double NextBreak() const {
    double b = p_.Tk;
    if (mode_.Stage > 0) {
      const auto at = static_cast<std::size_t>(mode_.Stage - 1);
      b = std::min(b, plan_.End[at]);
      if (const StageMotor* m = plan_.Motors[at])  // the curve's points, where its slope changes
        for (const ThrustPoint& q : m->Curve.Points())
          if (plan_.Ignition[at] + q.t > t_) {
            b = std::min(b, plan_.Ignition[at] + q.t);
            break;
          }
    }
    if (mode_.Hold) b = std::min(b, kHoldUntil);
    if (rocket_ && mode_.Stage == 0)  // a coast ends at the next ignition
      for (std::size_t k = 0; k < 3; ++k)
        if (plan_.Stages[k].BurnTime > 0.0 && plan_.Ignition[k] > t_) b = std::min(b, plan_.Ignition[k]);
    if (mode_.Pitch)  // the program's rows, where its rate changes
      for (const LinearTable::Row& r : vehicle_->Pitch->Rows())
        if (r.X > t_) {
          b = std::min(b, r.X);
          break;
        }
    if (!chuteOpen_ && chuteAt_ > t_) b = std::min(b, chuteAt_);
    return b;
  }

  void StartPass() {
    nxBefore_.reset();
    nxAfter_.reset();
    d_.Units = UnitFlags{};
    s_ = FlightState{};
    s_.AngleHold = 0.0;
    rocket_ = p_.TaskKind == kTaskRocket;
    buoyant_ = IsBuoyantTask(p_.TaskKind);
    if (rocket_) plan_ = PlanStages(p_);
    launchAngle_ = p_.TTO / kDegPerRad;
    railLength_ = p_.RailLength;
    pitchEnd_ =
        vehicle_ && vehicle_->Pitch && !vehicle_->Pitch->Empty() ? vehicle_->Pitch->Rows().back().X : -1.0;
    railExit_.reset();
    chuteOpen_.reset();
    apexSeen_ = false;
    chuteAt_ = std::numeric_limits<double>::infinity();
    double V = p_.V0;
    if (V == 0.0 && !airRelative_) V = kRestSpeed;  // the Euler step's kick, once
    y_ = State{0.0, p_.H0, V, launchAngle_, p_.MassaStart};
    if (airRelative_)
      y_ = State{0.0, p_.H0, V * std::cos(launchAngle_), V * std::sin(launchAngle_), p_.MassaStart};
    t_ = 0.0;
    mode_ = Mode{};
    EnterMode(0.0, y_);
    Rates(0.0, y_, f_);
    stepper_->Start(p_.dt0);
    nextRow_ = 1;
    // The forces of the launch count among the largest, as the Euler step records them at entry.
    Record(0.0, y_, TangentialRate(y_, f_));
    if (ChutePending() && !Climbs(y_)) {  // a drop: its apex is its start
      Switches();
      EnterMode(0.0, y_);
      Rates(0.0, y_, f_);
      Record(0.0, y_, TangentialRate(y_, f_));
    }
    if (log_) log_->Start(Node(0.0, y_, f_));
    d_.Summary.MaxQ = s_.q;
    d_.Summary.PeakNx = s_.nx;
  }

  // Takes one step, cut at the first event inside it; false when the flight has ended.
  bool Step() {
    const double tb = NextBreak();
    Span full{t_, t_, y_, f_, y_, f_};
    stepper_->Take(*this, full, tb, p_.dt0);
    if (std::fabs(tb - full.T1) <= 1e-12 * std::max(1.0, std::fabs(tb))) full.T1 = tb;  // land on the break
    const Cut cut = Locate(full);
    Advance(full, cut);
    if (cut.Ended) return false;
    if (cut.Release || cut.Switch || t_ == tb) ChangeMode(cut.Release);
    return true;
  }

  // Where a step ends: at its end, or at the first event inside it.
  struct Cut {
    double T;
    bool Ended;           //!< the flight ends there
    bool Release;         //!< the hold ends there
    bool Switch = false;  //!< the rail's end, the apex before a parachute, the parachute's height
  };

  // The events inside the step, the earliest first: the end height, the hold's release.
  Cut Locate(const Span& full) {
    Cut cut{full.T1, full.T1 >= p_.Tk, false};
    if (full.Y1[kH] <= p_.Hk && !mode_.Rail) {  // on the rail the body stands on its pad
      if (full.Y0[kH] > p_.Hk)
        cut.T = Bisect(full.T0, full.T1, [&](double t) { return At(full, t)[kH] - p_.Hk; });
      cut.Ended = true;  // a start at or below the end height still takes its first step
    }
    if (mode_.Hold && !Weak(full.T1, full.Y1)) {
      const double tr = Bisect(full.T0, full.T1, [&](double t) { return Weak(t, At(full, t)) ? 1.0 : -1.0; });
      if (tr < cut.T) cut.T = tr, cut.Release = true, cut.Ended = false;
    }
    auto cutAt = [&](double t) {
      if (t <= cut.T) cut.T = t, cut.Switch = true, cut.Ended = false;
    };
    if (mode_.Rail && Travel(full.Y1) >= railLength_)
      cutAt(Bisect(full.T0, full.T1, [&](double t) { return railLength_ - Travel(At(full, t)); }));
    if (ChutePending() && !apexSeen_ && Climbs(full.Y0) && !Climbs(full.Y1))
      cutAt(Bisect(full.T0, full.T1, [&](double t) { return Climbs(At(full, t)) ? 1.0 : -1.0; }));
    const double hc = p_.ChuteHeight;
    if (ChutePending() && hc > 0.0 && !Climbs(full.Y1) && full.Y0[kH] > hc && full.Y1[kH] <= hc)
      cutAt(Bisect(full.T0, full.T1, [&](double t) { return At(full, t)[kH] - hc; }));
    return cut;
  }

  bool ChutePending() const { return p_.ChuteCdS > 0.0 && !chuteOpen_; }

  // At a cut or a break: the rail's end, the apex, the parachute.
  void Switches() {
    if (mode_.Rail && Travel(y_) >= railLength_) railExit_ = EventHere(EventKind::RailExit);
    if (!ChutePending()) return;
    if (!apexSeen_ && !Climbs(y_)) {
      apexSeen_ = true;
      chuteAt_ = t_ + p_.ChuteDelay;
    }
    const bool low = p_.ChuteHeight > 0.0 && !Climbs(y_) && y_[kH] <= p_.ChuteHeight;
    if (t_ >= chuteAt_ || low) chuteOpen_ = EventHere(EventKind::ChuteOpen);
  }

  FlightEvent EventHere(EventKind kind) const { return {kind, 0, t_, s_.X, s_.H, s_.V, s_.Theta}; }

  // The rail's end, the parachute's opening and, with a parachute, the landing at the impact.
  void AddVehicleEvents() { MergeVehicleEvents(p_, railExit_, chuteOpen_, d_.Events); }

  // Goes on to the step's end: records it for the sink, its rows, the extremes and the log.
  void Advance(const Span& full, const Cut& cut) {
    State y1 = full.Y1, f1 = full.F1;
    if (cut.T < full.T1) {
      y1 = At(full, cut.T);
      Rates(cut.T, y1, f1);  // a step cut short ends at its event
    }
    if (!airRelative_) y1[kB] = LimitedAngle(y1[kB]);

    Apex(full, cut.T, y1);
    const Stretch stretch{full, cut.T, mode_};
    t_ = cut.T;
    y_ = y1;
    f_ = f1;
    Record(t_, y_, TangentialRate(y_, f_));
    sink_.Step(s_);
    if (pass_ == 1) Sample(full, cut.Ended);
    Extremes(stretch);
    if (log_) log_->Next(Node(t_, y_, f_));
  }

  // At a break or the hold's release: the mode that holds from here on, and its rates.
  void ChangeMode(bool release) {
    if (release) mode_.Hold = false;
    Switches();
    EnterMode(t_, y_);
    Rates(t_, y_, f_);
    if (log_) ModeNode();
  }

  // ----- the events -----

  // A point for the event log: the state and the method's own rates there, so that the log's
  // cubic segments are those of the fourth-order interpolant. s_ must hold the state's record.
  FlightNode Node(double t, const State& y, const State& f) const {
    FlightNode n{t, y[kX], y[kH], s_.V, s_.Theta, f[kX], f[kH], f[kA], f[kB], s_.Mach, s_.q};
    if (airRelative_) {
      const double V2 = y[kA] * y[kA] + y[kB] * y[kB];
      n.dV = V2 == 0.0 ? 0.0 : (y[kA] * f[kA] + y[kB] * f[kB]) / std::sqrt(V2);
      n.dTheta = V2 == 0.0 ? 0.0 : (y[kA] * f[kB] - y[kB] * f[kA]) / V2;
    }
    return n;
  }

  // The point again where a new mode (staging, the hold's end) changes the state or its rates at
  // the same time: the next segment starts from what the flight goes on with.
  void ModeNode() {
    const FlightState kept = s_;
    Record(t_, y_, TangentialRate(y_, f_));
    log_->Next(Node(t_, y_, f_));
    s_ = kept;
  }

  // The method's interpolant inside a step.
  State At(const Span& sp, double t) {
    if (t <= sp.T0) return sp.Y0;
    if (t >= sp.T1) return sp.Y1;
    return stepper_->At(sp, t);
  }

  // The apex inside a step, where the climb rate changes sign, from the interpolant.
  void Apex(const Span& sp, double t1, const State& y1) {
    double top = y1[kH];
    if (Climbs(sp.Y0) && !Climbs(y1)) {
      const double ta = Bisect(sp.T0, t1, [&](double t) { return Climbs(At(sp, t)) ? 1.0 : -1.0; });
      top = std::max(top, At(sp, ta)[kH]);
    }
    apex_ = steps_ == 0 ? top : std::max(apex_, top);
  }

  void Extremes(const Stretch& stretch) {
    RunSummary& sum = d_.Summary;
    sum.ApexH = apex_;
    sum.MaxQ = std::max(sum.MaxQ, s_.q);
    if (std::fabs(s_.nx) > std::fabs(sum.PeakNx)) {
      sum.PeakNx = s_.nx;
      nxBefore_ = stretch;
      nxAfter_.reset();
    } else if (!nxAfter_ && nxBefore_ && nxBefore_->End == stretch.Full.T0 &&
               nxBefore_->In.Stage == stretch.In.Stage) {
      nxAfter_ = stretch;  // the step after the largest one, in the same mode: the peak may lie in it
    }
  }

  // nx at t inside a step flown in `mode`.
  double NxAt(const Stretch& st, double t) {
    const Mode kept = mode_;
    const FlightState record = s_;
    mode_ = st.In;
    const State y = HermiteAt(st.Full, t);
    Record(t, y, 0.0);
    const double nx = s_.nx;
    s_ = record;
    mode_ = kept;
    return nx;
  }

  // The largest q is the max_q event's; the largest |nx| is searched inside the steps on both sides
  // of the step end where it was largest, so that neither saws with the step.
  void LocateMaxima() {
    RunSummary& sum = d_.Summary;
    sum.MaxQ = std::max(sum.MaxQ, d_.LocatedMaxQ);
    for (const std::optional<Stretch>& st : {nxBefore_, nxAfter_}) {
      if (!st || !(st->End > st->Full.T0)) continue;
      const double sign = sum.PeakNx < 0.0 ? -1.0 : 1.0;
      const auto found =
          boost::math::tools::brent_find_minima([&](double t) { return -sign * NxAt(*st, t); }, st->Full.T0,
                                                st->End, std::numeric_limits<double>::digits / 2);
      const double nx = NxAt(*st, found.first);
      if (std::fabs(nx) > std::fabs(sum.PeakNx)) sum.PeakNx = nx;
    }
  }

  // Rows at the multiples of the sample interval that the step passed, from its interpolant; the
  // last row takes the flight's end.
  void Sample(const Span& sp, bool ended) {
    const double t1 = t_;
    const State y1 = y_, f1 = f_;
    const int32_t rows = d_.Table.RowsPerColumn;
    const double si = d_.Summary.SampleInterval;
    if (!rows_) {
      // All a run without rows needs is their count, and the last row takes the flight's end.
      if (ended) d_.Summary.SamplesStored = rows;
      return;
    }
    while (nextRow_ < rows && static_cast<double>(nextRow_) * si <= t1) {
      const double t = static_cast<double>(nextRow_) * si;
      const State y = At(sp, t);
      State f{};
      Rates(t, y, f);
      --evaluations_;  // for the record, not the flight
      Record(t, y, TangentialRate(y, f));
      Store(nextRow_++);
    }
    if (ended && nextRow_ <= rows) {
      Record(t1, y1, TangentialRate(y1, f1));
      Store(rows);
      nextRow_ = rows + 1;
    }
    Record(t1, y1, TangentialRate(y1, f1));  // the step's own state again
  }

  void Store(int32_t row) {
    sink_.Sampled(row);
    StoreRow(d_.Table, d_.Units, row, s_, p_);
    d_.Summary.SamplesStored = row;
  }

 public:
  // The system of the steppers.
  void operator()(const State& y, State& dy, double t) override { Rates(t, y, dy); }

 private:
  const FlightParameters& p_;
  RunResult& d_;
  FlightState& s_;
  StepSink& sink_;
  const bool rows_;               //!< false: the rows are counted, not stored
  const VehicleTables* vehicle_;  //!< the vehicle's files, or nullptr
  const bool airRelative_;
  const Atmosphere atmosphere_;
  std::unique_ptr<OdeStepper> stepper_;
  StagePlan plan_;  //!< a rocket's stages and the ends of their windows
  bool rocket_ = false;
  bool buoyant_ = false;
  double launchAngle_ = 0.0;
  double railLength_ = 0.0;  //!< [m] 0: no rail
  double pitchEnd_ = -1.0;   //!< [s] the pitch program's last time; below 0: none
  std::optional<FlightEvent> railExit_, chuteOpen_;
  bool apexSeen_ = false;
  double chuteAt_ = 0.0;  //!< [s] when the parachute opens after the apex
  Mode mode_;
  State y_{}, f_{};
  double t_ = 0.0;
  double apex_ = 0.0;
  std::optional<Stretch> nxBefore_, nxAfter_;  //!< the steps on both sides of the largest |nx|
  std::size_t band_ = 0;
  int32_t pass_ = 0;
  int32_t nextRow_ = 1;
  int64_t steps_ = 0;  //!< of this pass
  int64_t evaluations_ = 0;
  EventLog* log_ = nullptr;  //!< in the recording pass: its points go there
};

}  // namespace

void FlyHigherOrder(const FlightParameters& p, RunResult& result, const RunOptions& options, StepSink& sink,
                    bool rows) {
  HigherOrderRule rule(p, result, sink, rows);
  FlyTwoPasses(p, result, options, sink, rule);
}

}  // namespace zarn
