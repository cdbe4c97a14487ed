#include "sim/key_figures.h"

#include "records/errors.h"
#include "sim/presets.h"

namespace zarn {

KeyFigures KeyFiguresOf(const ZarnData& d) {
  const FlightParameters& p = d.Params;
  KeyFigures f{d.State.t, d.State.X, d.Summary.ApexH, d.State.V, d.Summary.MaxQ, d.Summary.PeakNx, {}, {}};
  try {
    if (p.TaskKind == kTaskLevelFlight) f.LevelFlightSpeed = LevelFlightSpeed(p.MassaStart, p.Cy, p.H0, p.S0);
    if (p.TaskKind == kTaskBuoyantGas)
      f.BuoyantVolume = ComputeBuoyancy(p.MassaStart, d.PresetRecord[kSlotGasDensity]).Volumen;
  } catch (const FloatingPointError&) {
    // A lift of 0 or a gas as dense as air: the form showed the fault when it was activated.
  }
  return f;
}

}  // namespace zarn
