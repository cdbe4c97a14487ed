#include "flight/stages.h"

#include "records/errors.h"

namespace zarn {

StagePlan PlanStages(const FlightParameters& p) {
  StagePlan plan;
  for (std::size_t i = 0; i < kStageParameters.size(); ++i) {
    const StageParameters& f = kStageParameters[i];
    if (i > 0 && p.*f.Iud == 0.0) continue;  // an absent upper stage stays all zero
    StageData& st = plan.Stages[i];
    st.FuelMass = p.*f.Mt;
    st.IspSeaLevel = p.*f.Iud;
    st.IspVacuum = p.*f.IudP;
    st.DryMass = p.*f.Mdv;
    st.MassFlow = Checked(Div(p.*f.Schub, st.IspVacuum));  // vacuum thrust / vacuum Isp
    st.BurnTime = Checked(Div(st.FuelMass, st.MassFlow));
  }
  plan.End[0] = plan.Stages[0].BurnTime;
  plan.End[1] = Checked(plan.End[0] + plan.Stages[1].BurnTime);
  plan.End[2] = Checked(plan.End[1] + plan.Stages[2].BurnTime);
  return plan;
}

int StageBurningAt(const StagePlan& plan, double t) {
  if (t <= plan.End[0]) return 1;
  if (t <= plan.End[1]) return 2;
  return 3;
}

int StageAfter(const StagePlan& plan, double t) {
  for (int s = 0; s < 3; ++s)
    if (t < plan.End[s] && plan.Stages[static_cast<std::size_t>(s)].BurnTime > 0.0) return s + 1;
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
    if (burns && next) events.push_back({plan.End[at], EventKind::Staging, i + 1});
  }
  return events;
}

}  // namespace zarn
