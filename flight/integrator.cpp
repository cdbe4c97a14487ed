#include "flight/integrator.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "flight/columns.h"
#include "flight/event_feed.h"
#include "flight/globe_run.h"
#include "flight/number_text.h"
#include "flight/ode_run.h"
#include "flight/parameters.h"
#include "flight/run_loop.h"
#include "flight/stages.h"
#include "models/derivatives.h"
#include "models/flight_model.h"
#include "models/motion_step.h"
#include "records/constants.h"
#include "records/errors.h"

namespace zarn {
namespace {

// A sink that takes nothing: the run of a sweep's case that keeps only its figures.
class NoSink final : public StepSink {
 public:
  void Begin() override {}
  void Step(const FlightState&) override {}
  void Sampled(int32_t) override {}
  void End(const RunResult&) override {}
  void Abandon() noexcept override {}
};

// The classic rule: one explicit Euler step of the motion per step of the run, the propulsion,
// staging and hold of the step's start before it.
class EulerRule final : public StepRule {
 public:
  EulerRule(const FlightParameters& p, RunResult& result, StepSink& sink, bool rows = true)
      : d_(result), p_(p), s_(result.Final), sink_(sink), rows_(rows) {}

  // The first step of the probe pass alone, in no file: what a run would meet at once.
  void FirstStep() {
    Launch(0);
    Advance();
  }

  void Launch(int32_t pass) override {
    pass_ = pass;
    prevWhole_ = -1.0;
    steps_ = 0;
    d_.Units = UnitFlags{};
    s_.Stage = 0.0;
    s_.CxCur = p_.Cx;
    s_.CyCur = p_.Cy;
    if (p_.TaskKind == kTaskRocket) plan_ = PlanStages(p_);
    s_.X = 0.0;
    s_.H = p_.H0;
    s_.t = 0.0;
    s_.V = p_.V0;
    s_.Theta = p_.TTO / kDegPerRad;
    s_.Mass = p_.MassaStart;
    s_.Area = p_.S0;
    s_.Volumen = 0.0;
    sampleCount_ = 1;
    dragLaw_ = std::nearbyint(p_.AeroModel) != 0.0;  // parameters stay fixed during a run
    buoyancyMode_ = IsBuoyantTask(p_.TaskKind) ? 1 : 0;
    airRelative_ = p_.WindModel == 1.0;
    atmosphere_ = AtmosphereOf(p_);
    vehicle_ = p_.Vehicle.get();
    pitchEnd_ =
        vehicle_ && vehicle_->Pitch && !vehicle_->Pitch->Empty() ? vehicle_->Pitch->Rows().back().X : -1.0;
    onRail_ = p_.RailLength > 0.0;
    railExit_.reset();
    chuteOpen_.reset();
    apexAt_.reset();
  }

  bool Advance() override {
    s_.Atm = FlightAir(s_.H, band_, atmosphere_);
    const double wind = WindAt(s_.H);
    // The air's speed, where the wind is air moving over the ground, as the drag takes it.
    s_.Mach = Div(airRelative_ ? AirSpeedOf(s_.V, s_.Theta, wind) : s_.V, s_.Atm.Vsound);
    if (p_.TaskKind == kTaskRocket && s_.t <= plan_.End[2]) {
      Burn();
    } else {
      s_.Thrust = 0.0;
      s_.Isp = 0.0;
    }
    if (dragLaw_) s_.CxCur = DragCoefficient(p_.Cx, p_.AeroModel, s_.Mach);
    if (p_.AeroModel == 2.0) s_.CxCur = CdTable().At(s_.Mach);
    if (chuteOpen_) s_.CxCur = Checked((dragLaw_ ? s_.CxCur : p_.Cx) + Div(p_.ChuteCdS, p_.S0));
    if (onRail_) s_.Theta = p_.TTO / kDegPerRad;
    const FlightState before = s_;
    if (feed_) feed_->Entry(s_);
    if (airRelative_) {
      MotionStepAirRelative(s_, wind, p_.dt0, buoyancyMode_);
    } else {
      MotionStep(s_, wind, p_.dt0, buoyancyMode_, trig_);
    }
    if (onRail_ || p_.ChuteCdS > 0.0) VehicleStep(before);
    if (feed_) feed_->After(s_);
    ++steps_;

    sink_.Step(s_);
    if (pass_ == 1) Sample();
    return (s_.H > p_.Hk || onRail_) && s_.t < p_.Tk;  // on the rail the body stands on its pad
  }

  int64_t Evaluations() const override { return steps_; }  // one motion step each
  void Finish() override { MergeVehicleEvents(p_, railExit_, chuteOpen_, d_.Events); }

  void BeginEvents(EventLog& log) override {
    feed_.emplace(log, p_.dt0, RunAirOf(p_), airRelative_ ? p_.Vwind : 0.0);
  }
  void EndEvents() override {
    feed_->Finish(s_);
    feed_.reset();
  }

 private:
  // [m/s] the wind toward +X at height H: the profile's where one is given.
  double WindAt(double H) const {
    return vehicle_ && vehicle_->WindAlong ? vehicle_->WindAlong->At(H) : p_.Vwind;
  }

  // The drag table of what flies: the vehicle's until stage 2 ignites, then the latest one given.
  const LinearTable& CdTable() const { return DragTableOf(*vehicle_, static_cast<int>(s_.Stage)); }

  // After a step: the rail holds the path's angle and keeps a body too weak to lift off on the
  // pad; the apex and the parachute.
  void VehicleStep(const FlightState& before) {
    if (onRail_) {
      if (before.V <= kRestSpeed && s_.V <= kRestSpeed) {
        s_.X = before.X;
        s_.H = before.H;
        s_.V = before.V;
      }
      s_.Theta = p_.TTO / kDegPerRad;
      if (std::hypot(s_.X, s_.H - p_.H0) >= p_.RailLength) {
        onRail_ = false;
        railExit_ = FlightEvent{EventKind::RailExit, 0, s_.t, s_.X, s_.H, s_.V, s_.Theta};
      }
    }
    if (p_.ChuteCdS <= 0.0 || chuteOpen_) return;
    const bool descends = s_.H < before.H;
    if (!apexAt_ && descends) apexAt_ = before.t;
    const bool low = p_.ChuteHeight > 0.0 && descends && s_.H <= p_.ChuteHeight;
    if ((apexAt_ && s_.t >= *apexAt_ + p_.ChuteDelay) || low)
      chuteOpen_ = FlightEvent{EventKind::ChuteOpen, 0, s_.t, s_.X, s_.H, s_.V, s_.Theta};
  }

  // Thrust, mass flow and staging of the stage whose window holds t, then the vertical hold.
  void Burn() {
    const int stage = StageBurningAt(plan_, s_.t);
    if (stage == 0) {  // a coast: the path flies on unpowered
      s_.Thrust = 0.0;
      s_.Isp = 0.0;
      return;
    }
    s_.Mass = MassAfterStaging(plan_, static_cast<int>(s_.Stage), stage, s_.Mass);
    const StagePush push = StagePushAt(plan_, stage, s_.t, s_.Atm.Pbar);
    s_.Isp = push.Isp;
    s_.Thrust = push.Thrust;
    s_.Mass = Checked(s_.Mass - push.MassFlow * p_.dt0);
    s_.Stage = stage;

    if (pitchEnd_ >= 0.0) {
      // The program sets the path's angle while it lasts, then the path flies on.
      if (s_.t < pitchEnd_) s_.Theta = vehicle_->Pitch->At(s_.t) / kDegPerRad;
      return;
    }
    if (p_.RailLength > 0.0) return;  // the rail, not the vertical hold, points the thrust
    if (HoldsVertical(s_.t, s_.Thrust, s_.Mass)) {
      s_.Theta = kAngleLimit;  // straight up: 90/57.3, not pi/2
      s_.AngleHold = 0.0;
    } else if (s_.AngleHold == 0.0) {
      s_.Theta = p_.TTO / kDegPerRad;
      s_.AngleHold = 1.0;
    }
  }

  // A sample at the pass's first step and at every step during which t passed a multiple of
  // SampleInterval (the whole part of t / SampleInterval grew): one row per crossing however short
  // the step, and every step of a flight of fewer steps than rows. Past the last row, a crossing
  // overwrites it.
  void Sample() {
    const double whole = std::trunc(Checked(Div(s_.t, d_.Summary.SampleInterval)));
    const bool first = prevWhole_ < 0.0;
    if (whole > prevWhole_) {
      sink_.Sampled(sampleCount_);
      StoreSample(sampleCount_);
      d_.Summary.SamplesStored = sampleCount_;  // rows fill in order: the latest is the highest
      sampleCount_ = std::min(sampleCount_ + 1, d_.Table.RowsPerColumn);
    }
    prevWhole_ = whole;

    RunSummary& sum = d_.Summary;
    if (first) {
      sum.ApexH = s_.H;
      sum.MaxQ = s_.q;
      sum.PeakNx = s_.nx;
    } else {
      sum.ApexH = std::max(sum.ApexH, s_.H);
      sum.MaxQ = std::max(sum.MaxQ, s_.q);
      if (std::fabs(s_.nx) > std::fabs(sum.PeakNx)) sum.PeakNx = s_.nx;  // the first of equal peaks
    }
  }

  void StoreSample(int32_t row) {
    if (rows_) StoreRow(d_.Table, d_.Units, row, s_, p_);
    s_.Re = Checked(Div(s_.Atm.Roh * s_.V * 1.0, s_.Atm.Mu));  // for a length of 1 m
  }

  RunResult& d_;
  const FlightParameters& p_;
  FlightState& s_;
  StepSink& sink_;
  const bool rows_;          //!< false: the table's rows are counted, not stored
  StagePlan plan_;           //!< a rocket's stages, set up at each pass start
  int32_t pass_ = 0;         //!< 0 probe pass, 1 recording pass
  int32_t sampleCount_ = 1;  //!< row the next sample goes to, 1..RowsPerColumn
  bool dragLaw_ = false;
  bool airRelative_ = false;  //!< the wind as air moving over the ground
  Atmosphere atmosphere_ = Atmosphere::kTable;
  int32_t buoyancyMode_ = 0;       //!< 1: the body does not move
  std::size_t band_ = 0;           //!< the atmosphere's band of the previous step
  AngleTrig trig_;                 //!< sin and cos of the previous step's angle
  double prevWhole_ = -1.0;        //!< whole part of t / SampleInterval after the previous recorded step
  std::optional<EventFeed> feed_;  //!< in the recording pass: its states to the event log
  const VehicleTables* vehicle_ = nullptr;  //!< the vehicle's files, or nullptr
  double pitchEnd_ = -1.0;                  //!< [s] the pitch program's last time; below 0: none
  bool onRail_ = false;
  std::optional<FlightEvent> railExit_, chuteOpen_;
  std::optional<double> apexAt_;  //!< [s]
  int64_t steps_ = 0;             //!< of this pass
};

}  // namespace

double PassFraction(const RunProgress& progress) {
  const double end = progress.Pass == 0 ? progress.Tk : progress.Duration;  // [s]
  return end > 0.0 ? std::clamp(progress.t / end, 0.0, 1.0) : 1.0;
}

double RunFraction(const RunProgress& progress) {
  return 0.5 * ((progress.Pass == 1 ? 1.0 : 0.0) + PassFraction(progress));
}

void ValidateRunParameters(const FlightParameters& p, char decimalSeparator) {
  // A step that is not positive never reaches Tk, and an infinite Tk is never reached.
  if (!(std::isfinite(p.dt0) && p.dt0 > 0.0)) throw Error("Integration step must be a positive number");
  if (!std::isfinite(p.Tk)) throw Error("End time must be a finite number");
  // A step too small for the clock would leave t where it is forever; a pass of more steps than
  // kMaxStepsPerPass would hold a core for hours, as good as forever in front of a window.
  if (p.Tk <= 0.0) return;  // the pass ends at its first step
  const std::string step = "Integration step dt0 = " + FormatGeneral(p.dt0, 15, decimalSeparator) + " s";
  const std::string end = "the end time Tk = " + FormatGeneral(p.Tk, 15, decimalSeparator) + " s";
  if (p.Tk + p.dt0 == p.Tk) throw Error(step + " cannot advance the time up to " + end);
  const double steps = std::ceil(p.Tk / p.dt0);
  if (steps > static_cast<double>(kMaxStepsPerPass))
    throw Error(step + " would take " + FormatGeneral(steps, 15, decimalSeparator) + " steps up to " + end +
                " (at most " + std::to_string(kMaxStepsPerPass) + ")");
}

namespace {

// "(MassaStart = 0)": the parameter and value that a refusal is about.
std::string NamedValue(std::string_view name, double value, char decimalSeparator) {
  return std::string(name) + " = " + FormatGeneral(value, 15, decimalSeparator);
}

std::string_view NameOfSlot(int slot) {
  for (const ParamName& p : kParamNames)
    if (p.Slot == slot) return p.Name;
  return {};
}

// Values that have no meaning below 0: an area, a drag coefficient, masses and thrusts.
struct NonNegative {
  int Slot;
  double FlightParameters::*Value;
};
constexpr std::array<NonNegative, 2> kNonNegative{
    {{kSlotS0, &FlightParameters::S0}, {kSlotCx, &FlightParameters::Cx}}};

// The launch rail, the coasts and the parachute: lengths, times and an area.
constexpr std::array<NonNegative, 6> kVehicleNonNegative{
    {{kSlotRailLength, &FlightParameters::RailLength},
     {kSlotCoast2, &FlightParameters::Coast2},
     {kSlotCoast3, &FlightParameters::Coast3},
     {kSlotChuteCdS, &FlightParameters::ChuteCdS},
     {kSlotChuteDelay, &FlightParameters::ChuteDelay},
     {kSlotChuteHeight, &FlightParameters::ChuteHeight}}};

void RefuseNegative(std::string_view name, double value, char decimalSeparator) {
  if (value < 0.0) throw Error(NamedValue(name, value, decimalSeparator) + " cannot be negative");
}

// The fault that the first step of the run would raise, or "".
std::string FirstStepFault(const FlightParameters& p);

}  // namespace

void ValidateRun(const FlightParameters& p, char decimalSeparator) {
  ValidateRunParameters(p, decimalSeparator);
  ValidateMethod(p, decimalSeparator);
  ValidateEarth(p, decimalSeparator);
  for (const NonNegative& v : kNonNegative) RefuseNegative(NameOfSlot(v.Slot), p.*v.Value, decimalSeparator);
  if (p.TaskKind == kTaskBuoyantGas)
    RefuseNegative(NameOfSlot(kSlotGasDensity), p.GasDensity, decimalSeparator);
  // A speed below 0 flies backwards along the path and an end time of 0 or less stops after one
  // step: neither is a flight, though both would run and report figures.
  RefuseNegative(NameOfSlot(kSlotV0), p.V0, decimalSeparator);
  if (!(p.Tk > 0.0))
    throw Error(NamedValue(NameOfSlot(kSlotTk), p.Tk, decimalSeparator) + " s must be more than 0");
  // The drag law rounds its code; a code that rounds to neither law would fly as 0 unannounced.
  const VehicleTables* vehicle = p.Vehicle.get();
  if (p.AeroModel == 2.0) {
    if (!vehicle || !vehicle->Cd[0])
      throw Error(NamedValue(NameOfSlot(kSlotAeroModel), p.AeroModel, decimalSeparator) +
                  " needs a drag table over Mach (CdTable)");
  } else if (const double law = std::nearbyint(p.AeroModel); law != 0.0 && law != 1.0) {
    throw Error(NamedValue(NameOfSlot(kSlotAeroModel), p.AeroModel, decimalSeparator) +
                " is no drag law (0 the constant Cx, 1 the V-2 law over Mach, 2 a drag table)");
  }
  // In three dimensions the wind is the air's motion whatever WindModel says; in the vertical
  // plane the classic wind's corrections know no wind that changes with height.
  if (vehicle && vehicle->WindAlong && p.WindModel != 1.0 && !FliesInThreeDimensions(p))
    throw Error("A wind profile (WindTable) needs WindModel = 1, the wind relative to the air, not " +
                NamedValue(NameOfSlot(kSlotWindModel), p.WindModel, decimalSeparator));
  for (const NonNegative& v : kVehicleNonNegative)
    RefuseNegative(NameOfSlot(v.Slot), p.*v.Value, decimalSeparator);
  if (p.ChuteCdS > 0.0 && !(p.S0 > 0.0))
    throw Error(NamedValue(NameOfSlot(kSlotChuteCdS), p.ChuteCdS, decimalSeparator) + " m2 needs an area " +
                NamedValue(NameOfSlot(kSlotS0), p.S0, decimalSeparator) + " above 0");
  if (p.TaskKind == kTaskRocket) {
    for (std::size_t i = 0; i < kStageParameters.size(); ++i) {
      const StageParameters& f = kStageParameters[i];
      const int stage = static_cast<int>(i) + 1;
      RefuseNegative(NameOfSlot(StageSlotOf(stage, kStageFuelMass)), p.*f.Mt, decimalSeparator);
      RefuseNegative(NameOfSlot(StageSlotOf(stage, kStageDryMass)), p.*f.Mdv, decimalSeparator);
      RefuseNegative(NameOfSlot(StageSlotOf(stage, kStageThrust)), p.*f.Schub, decimalSeparator);
    }
  }
  if (!(p.MassaStart > 0.0)) {
    // Where a run would fail at once, its fault comes first, as it did before the refusal.
    const std::string fault = FirstStepFault(p);
    const std::string mass = NamedValue(NameOfSlot(kSlotMass), p.MassaStart, decimalSeparator);
    throw Error(fault.empty() ? mass + " must be more than 0" : fault + " (" + mass + ")");
  }
}

namespace {

std::string FirstStepFault(const FlightParameters& p) {
  RunResult trial{};  // a run of its own: nothing of the caller's changes
  trial.Table.RowsPerColumn = TrajectoryTable::kMaxRows;
  NoSink none;
  EulerRule run(p, trial, none);
  try {
    run.FirstStep();
  } catch (const FloatingPointError& e) {
    return e.what();
  }
  return {};
}

}  // namespace

namespace {
template <Atmosphere model>
AirAt RunAirIn(double H) {
  std::size_t band = 0;
  const AtmosphereState air = FlightAir(H, band, model);
  return {air.Vsound, air.Roh};
}
}  // namespace

AirAt RunAir(double H) {
  return RunAirIn<Atmosphere::kTable>(H);
}

Atmosphere AtmosphereOf(const FlightParameters& p) {
  return p.AtmosphereModel == 1.0 ? Atmosphere::kUs76 : Atmosphere::kTable;
}

AirModel RunAirOf(const FlightParameters& p) {
  return AtmosphereOf(p) == Atmosphere::kUs76 ? RunAirIn<Atmosphere::kUs76> : RunAir;
}

namespace {

void Fly(const FlightParameters& p, const RunOptions& options, RunResult& result) {
  NoSink none;
  StepSink& sink = options.Sink != nullptr ? *options.Sink : none;
  const bool rows = options.Rows || options.Sink != nullptr;
  if (FliesInThreeDimensions(p)) {
    FlyInThreeDimensions(p, result, options, sink, rows);
    return;
  }
  if (MethodOf(p) != Method::kEuler) {
    FlyHigherOrder(p, result, options, sink, rows);
    return;
  }
  EulerRule euler(p, result, sink, rows);
  FlyTwoPasses(p, result, options, sink, euler);
}

}  // namespace

std::unique_ptr<RunResult> ComputeTrajectory(const FlightParameters& p, const RunOptions& options) {
  ValidateRun(p);
  auto result = std::make_unique<RunResult>();  // zero: rows the run does not store read 0
  result->Table.RowsPerColumn = TrajectoryTable::kMaxRows;
  Fly(p, options, *result);
  return result;
}

void ComputeTrajectory(const FlightParameters& p, const RunOptions& options, RunResult& result) {
  ValidateRun(p);
  if (options.Rows || options.Sink != nullptr) result.Table.Elements.fill(0.0);
  result.Table.RowsPerColumn = TrajectoryTable::kMaxRows;
  result.Units = UnitFlags{};
  result.Summary = RunSummary{};
  result.Final = FlightState{};
  result.Events.clear();
  result.AtEndTime.reset();
  result.LocatedMaxQ = 0.0;
  Fly(p, options, result);
}

}  // namespace zarn
