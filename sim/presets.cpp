#include "sim/presets.h"

#include <cmath>

#include "models/atmosphere.h"
#include "records/constants.h"
#include "records/errors.h"

namespace zarn {

const std::array<Preset, 5> kPresets{{
    {"Projectil, Q= 45 Grad,  V= 100 m/s, H= 0 m", 1, 0.02, 0.01, 0, 1, 100, 45, 100, 0.005},
    {"Projectil, Q= -88 Grad,  V= 0 m/s, H= 10 km", 1, 0.02, 0.45, 0, 10000, 0, -88, 100, 0.01},
    {"Fu\u00dfball (m=450 g, Umfang = 70 cm)", 0.41, 0.038, 0.47, 0, 0.1, 40, 45, 100, 0.001},
    {"Tamsker - 1865 De la Terre \u00e0 la Lune (= Von der Erde zum Mond)", 10000, 5, 0.2, 0, 0.1, 18000, 89,
     5, 0.001},
    {"Railgun (vgl. I. R. McNab: Launch to Space with an Electromagnetic Railgun, "
     "IEEE Trans. Magn. 39 (2003), S. 295-304)",
     200, 0.034, 0.1, 0.05, 0.1, 14000, 0, 60, 0.0015},
}};

void WritePresetRecord(int index, std::array<double, 60>& record) noexcept {
  if (index < 0 || index >= static_cast<int>(kPresets.size())) return;
  const Preset& p = kPresets[static_cast<std::size_t>(index)];
  for (int slot = 0; slot < 30; ++slot) record[slot] = 0.0;
  record[kSlotTaskKind] = kTaskBallistic;
  record[kSlotMass] = p.Mass;
  record[kSlotS0] = p.S0;
  record[kSlotCx] = p.Cx;
  record[kSlotCy] = p.Cy;
  record[kSlotH0] = p.H0;
  record[kSlotV0] = p.V0;
  record[kSlotTTO] = p.Angle;
  record[kSlotTk] = p.Tk;
  record[kSlotDt0] = p.dt0;
}

double Power(double base, double exponent) {
  if (exponent == 0.0) return 1.0;
  if (base == 0.0 && exponent > 0.0) return 0.0;
  if (exponent == std::trunc(exponent) && std::fabs(exponent) <= 2147483647.0) {
    // Whole exponent: repeated squaring and multiplication, the reciprocal for a negative one.
    auto n = static_cast<int64_t>(std::fabs(exponent));
    double result = 1.0;
    double x = base;
    while (n > 0) {
      if (n & 1) result = Checked(result * x);
      n >>= 1;
      if (n > 0) x = Checked(x * x);
    }
    return exponent < 0 ? Checked(Div(1.0, result)) : result;
  }
  if (base < 0.0) RaiseFp(FpFault::InvalidOperation);  // ln of a negative number
  if (base == 0.0) RaiseFp(FpFault::DivisionByZero);   // ln 0
  return Checked(std::exp(exponent * std::log(base)));
}

Buoyancy ComputeBuoyancy(double MassaStart, double GasDensity) {
  Buoyancy b{};
  b.Auftrieb = Checked(MassaStart * kGravity);
  const double roh = StandardAtmosphere(0.0).Roh;
  b.Volumen = Checked(Div(b.Auftrieb, roh - GasDensity));
  const double r = Power(b.Volumen * 3 / 4 / 3.14, 0.33);  // 0.33, not 1/3
  b.Area = Checked(3.14 * r * r);
  return b;
}

double LevelFlightSpeed(double MassaStart, double Cy, double H0, double S0) {
  const double roh = StandardAtmosphere(H0).Roh;
  const double x = Div(Div(Div(Checked(2 * MassaStart * kGravity), Cy), roh), S0);
  return Power(Checked(x), 0.5);
}

void ApplyPresetRecord(ZarnData& d) {
  const auto& rec = d.PresetRecord;
  FlightParameters& p = d.Params;
  p.TaskKind = rec[kSlotTaskKind];
  p.BuoyancyMode = IsBuoyantTask(p.TaskKind) ? 1 : 0;
  d.Stages[0].FuelMass = d.Stages[0].IspSeaLevel = d.Stages[0].DryMass = 0.0;
  d.State.Mass = rec[kSlotMass];
  p.H0 = rec[kSlotH0];
  p.V0 = rec[kSlotV0];
  p.AeroModel = rec[kSlotAeroModel];
  d.State.Volumen = 100000.0;
  p.MassaStart = rec[kSlotMass];
  p.S0 = rec[kSlotS0];
  p.Cx = rec[kSlotCx];
  p.Cy = rec[kSlotCy];
  p.TTO = rec[kSlotTTO];
  p.Tk = rec[kSlotTk];
  p.PresetHk = p.Hk = rec[kSlotHk];
  p.PresetVk = p.Vk = rec[kSlotVk];
  p.dt0 = rec[kSlotDt0];
  p.Vwind = rec[kSlotVwind];
  if (p.TaskKind == kTaskRocket) {
    for (std::size_t s = 0; s < kStageParameters.size(); ++s) {
      const StageParameters& f = kStageParameters[s];
      const std::size_t base = kSlotStage1 + kStageSlots * s;
      p.*f.Mt = rec[base + kStageFuelMass];
      p.*f.Iud = rec[base + kStageIspSeaLevel];
      p.*f.Mdv = rec[base + kStageDryMass];
      p.*f.Schub = rec[base + kStageThrust];
      p.*f.IudP = rec[base + kStageIspVacuum];
      p.*f.S = rec[base + kStageArea];
    }
  }
  if (p.TaskKind == kTaskBuoyantGas) {
    const Buoyancy b = ComputeBuoyancy(p.MassaStart, rec[kSlotGasDensity]);
    d.State.Auftrieb = b.Auftrieb;
    p.Hk = 0.0;
    d.State.Volumen = b.Volumen;
    p.S0 = b.Area;
  }
}

}  // namespace zarn
