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
  try {
    if (p.TaskKind == kTaskLevelFlight) f.LevelFlightSpeed = LevelFlightSpeed(p.MassaStart, p.Cy, p.H0, p.S0);
    if (p.TaskKind == kTaskBuoyantGas) f.BuoyantVolume = ComputeBuoyancy(p.MassaStart, p.GasDensity).Volumen;
  } catch (const FloatingPointError&) {
    // A lift of 0 or a gas as dense as air: the form showed the fault when it was activated.
  }
  return f;
}

}  // namespace zarn
