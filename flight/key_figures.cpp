#include "flight/key_figures.h"

#include "flight/presets.h"
#include "records/errors.h"

namespace zarn {

KeyFigures KeyFiguresOf(const FlightParameters& p, const RunResult& run) {
  const FlightState& s = run.Final;
  KeyFigures f{s.t, s.X, run.Summary.ApexH, s.V, run.Summary.MaxQ, run.Summary.PeakNx, {}, {}};
  try {
    if (p.TaskKind == kTaskLevelFlight) f.LevelFlightSpeed = LevelFlightSpeed(p.MassaStart, p.Cy, p.H0, p.S0);
    if (p.TaskKind == kTaskBuoyantGas) f.BuoyantVolume = ComputeBuoyancy(p.MassaStart, p.GasDensity).Volumen;
  } catch (const FloatingPointError&) {
    // A lift of 0 or a gas as dense as air: the form showed the fault when it was activated.
  }
  return f;
}

}  // namespace zarn
