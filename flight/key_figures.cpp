#include "flight/key_figures.h"

#include "flight/presets.h"
#include "records/constants.h"
#include "records/errors.h"

namespace zarn {

KeyFigures KeyFiguresOf(const FlightParameters& p, const RunResult& run) {
  const FlightState& s = run.Final;
  KeyFigures f{};
  f.LastStepTime = f.FlightTime = s.t;
  f.LastStepRange = f.Range = s.X;
  f.LastStepSpeed = f.EndSpeed = s.V;
  f.LastStepH = s.H;
  f.LastStepAngle = s.Theta * kDegPerRad;
  f.LastStepMass = s.Mass;
  f.StepsPerPass = run.Summary.StepsPerPass;
  f.SamplesStored = run.Summary.SamplesStored;
  f.MaxQ = run.Summary.MaxQ;
  f.PeakNx = run.Summary.PeakNx;
  f.LocatedMaxima = run.Summary.Method != 0;
  if (const FlightEvent* impact = FindEvent(run.Events, EventKind::Impact)) {
    f.FlightTime = *(f.ImpactTime = impact->t);
    f.Range = *(f.ImpactRange = impact->X);
    f.EndSpeed = *(f.ImpactSpeed = impact->V);
    f.ImpactAngle = impact->Theta * kDegPerRad;
  }
  if (const FlightEvent* apex = FindEvent(run.Events, EventKind::Apex)) {
    f.ApexH = apex->H;
    f.ApexTime = apex->t;
    f.ApexRange = apex->X;
  }
  if (const FlightEvent* rail = FindEvent(run.Events, EventKind::RailExit)) {
    f.RailExitTime = rail->t;
    f.RailExitSpeed = rail->V;
  }
  if (const FlightEvent* chute = FindEvent(run.Events, EventKind::ChuteOpen)) f.ChuteOpenTime = chute->t;
  if (const FlightEvent* landing = FindEvent(run.Events, EventKind::Landing)) {
    f.LandingSpeed = landing->V;
    f.Drift = landing->X;
  }
  try {
    if (p.TaskKind == kTaskLevelFlight) f.LevelFlightSpeed = LevelFlightSpeed(p.MassaStart, p.Cy, p.H0, p.S0);
    if (p.TaskKind == kTaskBuoyantGas) f.BuoyantVolume = ComputeBuoyancy(p.MassaStart, p.GasDensity).Volumen;
  } catch (const FloatingPointError&) {
    // A lift of 0 or a gas as dense as air: the form showed the fault when it was activated.
  }
  return f;
}

Figures FiguresOf(const KeyFigures& k) {
  Figures figures;
  for (std::size_t id = 0; id < kFigures.size(); ++id) figures[id] = kFigures[id].Read(k);
  return figures;
}

namespace {

struct Relabel {
  int Shown;  //!< the figure whose place it takes
  int From;   //!< the figure whose value it shows
  std::string_view Label;
};
constexpr std::array<Relabel, 6> kImpactLabels{{
    {kFigTime, kFigImpactT, "Flight time"},
    {kFigRange, kFigImpactX, "Range"},
    {kFigEndV, kFigImpactV, "End speed"},
    {kFigImpactT, kFigTime, "Flight time at the last step"},
    {kFigImpactX, kFigRange, "Range at the last step"},
    {kFigImpactV, kFigEndV, "Speed at the last step"},
}};

}  // namespace

ShownFigure ShownAs(const Figures& figures, int id) {
  const bool impact = figures[kFigImpactT] && figures[kFigImpactX] && figures[kFigImpactV];
  if (impact)
    for (const Relabel& r : kImpactLabels)
      if (r.Shown == id) return {r.From, r.Label};
  return {id, kFigures[static_cast<std::size_t>(id)].Label};
}

}  // namespace zarn
