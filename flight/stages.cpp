#include "flight/stages.h"

#include <algorithm>

#include "models/flight_model.h"
#include "records/errors.h"

namespace zarn {

StagePlan PlanStages(const FlightParameters& p) {
  StagePlan plan;
  for (std::size_t i = 0; i < kStageParameters.size(); ++i) {
    const StageParameters& f = kStageParameters[i];
    const StageMotor* motor = p.Vehicle && p.Vehicle->Motors[i] ? &*p.Vehicle->Motors[i] : nullptr;
    StageData& st = plan.Stages[i];
    if (motor != nullptr) {
      // The curve's own figures; the stage's thrust and Isp fields do not apply.
      plan.Motors[i] = motor;
      const ThrustCurve& c = motor->Curve;
      st.FuelMass = c.PropellantMass();
      st.IspSeaLevel = st.IspVacuum = Checked(Div(c.TotalImpulse(), c.PropellantMass()));
      st.DryMass = p.*f.Mdv != 0.0 ? p.*f.Mdv : motor->CaseMass;
      st.BurnTime = c.BurnTime();
      st.MassFlow = Checked(Div(st.FuelMass, st.BurnTime));  // the mean, for the form
      continue;
    }
    if (i > 0 && p.*f.Iud == 0.0) continue;  // an absent upper stage stays all zero
    st.FuelMass = p.*f.Mt;
    st.IspSeaLevel = p.*f.Iud;
    st.IspVacuum = p.*f.IudP;
    st.DryMass = p.*f.Mdv;
    st.MassFlow = Checked(Div(p.*f.Schub, st.IspVacuum));  // vacuum thrust / vacuum Isp
    st.BurnTime = Checked(Div(st.FuelMass, st.MassFlow));
  }
  const std::array<double, 3> coast{0.0, p.Coast2, p.Coast3};
  plan.End[0] = plan.Stages[0].BurnTime;
  for (std::size_t i = 1; i < 3; ++i) {
    // A coast belongs to a stage that burns; an absent stage's window stays empty.
    const bool burns = plan.Stages[i].BurnTime > 0.0;
    plan.Ignition[i] = burns ? Checked(plan.End[i - 1] + coast[i]) : plan.End[i - 1];
    plan.End[i] = Checked(plan.Ignition[i] + plan.Stages[i].BurnTime);
  }
  return plan;
}

StagePush StagePushAt(const StagePlan& plan, int stage, double t, double Pbar) {
  const auto at = static_cast<std::size_t>(stage - 1);
  const StageData& st = plan.Stages[at];
  if (const StageMotor* m = plan.Motors[at]) {
    const double thrust = m->Curve.Thrust(t - plan.Ignition[at]);
    return {thrust, st.IspVacuum, Checked(Div(thrust, st.IspVacuum))};
  }
  const double isp = StageIsp(st, Pbar);
  return {StageThrust(st, isp), isp, st.MassFlow};
}

int StageBurningAt(const StagePlan& plan, double t) {
  if (t <= plan.End[0]) return 1;
  if (t <= plan.Ignition[1]) return 0;
  if (t <= plan.End[1]) return 2;
  if (t <= plan.Ignition[2]) return 0;
  return 3;
}

int StageAfter(const StagePlan& plan, double t) {
  for (std::size_t s = 0; s < 3; ++s)
    if (t < plan.End[s] && plan.Stages[s].BurnTime > 0.0)
      return t >= plan.Ignition[s] ? static_cast<int>(s) + 1 : 0;
  return 0;
}

double MassAfterStaging(const StagePlan& plan, int before, int after, double mass) {
  if (before == 1 && after == 2) return Checked(mass - plan.Stages[0].DryMass);
  if (before == 2 && after == 3) return Checked(mass - plan.Stages[1].DryMass);
  return mass;
}

std::vector<ScheduledEvent> StageEvents(const StagePlan& plan) {
  std::vector<ScheduledEvent> events;
  for (int32_t i = 0; i < 3; ++i) {
    const auto at = static_cast<std::size_t>(i);
    const bool burns = i == 0 || plan.Stages[at].BurnTime > 0.0;
    if (burns) events.push_back({plan.End[at], EventKind::Burnout, i + 1});
    const bool next = i < 2 && plan.Stages[at + 1].BurnTime > 0.0;
    if (burns && next) events.push_back({plan.Ignition[at + 1], EventKind::Staging, i + 1});
  }
  return events;
}

const LinearTable& DragTableOf(const VehicleTables& vehicle, int last) {
  for (int k = std::min(last, 3) - 1; k > 0; --k)
    if (vehicle.Cd[static_cast<std::size_t>(k)]) return *vehicle.Cd[static_cast<std::size_t>(k)];
  return *vehicle.Cd[0];
}

double PitchRate(const LinearTable& pitch, double t) {
  constexpr double kD = 1e-6;  //!< [s]
  return (pitch.At(t + kD) - pitch.At(t - kD)) / (2 * kD);
}

void MergeVehicleEvents(const FlightParameters& p, const std::optional<FlightEvent>& railExit,
                        const std::optional<FlightEvent>& chuteOpen, std::vector<FlightEvent>& events) {
  if (railExit) events.push_back(*railExit);
  if (chuteOpen) events.push_back(*chuteOpen);
  if (p.ChuteCdS > 0.0)
    if (const FlightEvent* impact = FindEvent(events, EventKind::Impact)) {
      FlightEvent landing = *impact;
      landing.Kind = EventKind::Landing;
      events.push_back(landing);
    }
  std::stable_sort(events.begin(), events.end(),
                   [](const FlightEvent& a, const FlightEvent& b) { return a.t < b.t; });
}

}  // namespace zarn
