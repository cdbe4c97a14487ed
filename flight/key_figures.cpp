#include "flight/key_figures.h"

#include "flight/presets.h"
#include "records/constants.h"
#include "records/errors.h"

namespace zarn {

KeyFigures KeyFiguresOf(const FlightParameters& p, const RunResult& run) {
  const FlightState& s = run.Final;
  KeyFigures f{};
  f.FlightTime = s.t;
  f.Range = s.X;
  f.ApexH = run.Summary.ApexH;
  f.EndSpeed = s.V;
  f.MaxQ = run.Summary.MaxQ;
  f.PeakNx = run.Summary.PeakNx;
  if (const FlightEvent* impact = FindEvent(run.Events, EventKind::Impact)) {
    f.ImpactTime = impact->t;
    f.ImpactRange = impact->X;
    f.ImpactSpeed = impact->V;
    f.ImpactAngle = impact->Theta * kDegPerRad;
  }
  if (const FlightEvent* apex = FindEvent(run.Events, EventKind::Apex)) {
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
