#include "sim/presets.h"

#include <cmath>
#include <string>

#include "models/atmosphere.h"
#include "records/constants.h"
#include "records/errors.h"
#include "sim/number_text.h"

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

namespace {

using FP = FlightParameters;

// The headless form: a field's value goes straight into its parameter; nothing is shown.
class ParametersOnly final : public ActivationForm {
 public:
  explicit ParametersOnly(FlightParameters& p) : p_(p) {}
  void WriteField(double FlightParameters::*parameter, double value, int) override { p_.*parameter = value; }
  void WriteDisplay(Display, double) override {}
  void SelectAeroModel(int) override {}
  void ShowTaskPicture(double) override {}
  void Reveal(Part) override {}
  void ReplaceCaptions() override {}
  void CoverGraphButtons() override {}

 private:
  FlightParameters& p_;
};

// The activation's own computations fail for a start mass of 0 or less: their fault names it.
template <typename Compute>
auto NamingMass(double MassaStart, Compute compute) {
  try {
    return compute();
  } catch (const FloatingPointError& e) {
    if (MassaStart > 0.0) throw;
    throw Error(std::string(e.what()) + " (MassaStart = " + FormatGeneral(MassaStart, kFieldDigits, '.') +
                ")");
  }
}

// Slot of stage item k for stage index s (0..2).
std::size_t SlotOf(std::size_t s, StageSlot k) {
  return static_cast<std::size_t>(StageSlotOf(static_cast<int>(s) + 1, k));
}

}  // namespace

void ActivatePresetRecord(ZarnData& d, ActivationForm& form) {
  using Part = ActivationForm::Part;
  using Display = ActivationForm::Display;
  // Every value as a field shows it, also those set straight into their parameters or only
  // shown: a field whose text stays the same calls no change handler, and the runner has no
  // fields at all. The task and the model are choices, not numbers typed.
  std::array<double, 60> rec = d.PresetRecord;
  for (std::size_t slot = 0; slot < rec.size(); ++slot)
    if (slot != std::size_t{kSlotTaskKind} && slot != std::size_t{kSlotAeroModel})
      rec[slot] = FieldValue(rec[slot]);
  FlightParameters& p = d.Params;
  const double task = rec[kSlotTaskKind];
  auto field = [&form](double FlightParameters::*parameter, double value) {
    form.WriteField(parameter, value, kFieldDigits);
  };

  p.TaskKind = task;  // the integrator reads the task of the run from the parameters
  p.BuoyancyMode = IsBuoyantTask(task) ? 1 : 0;
  StageData& stage1 = d.Stages[0];
  stage1.FuelMass = stage1.IspSeaLevel = stage1.DryMass = 0.0;
  d.State.Mass = rec[kSlotMass];
  field(&FP::MassaStart, rec[kSlotMass]);
  p.H0 = rec[kSlotH0];
  field(&FP::H0, p.H0);
  p.V0 = rec[kSlotV0];
  field(&FP::V0, p.V0);

  p.AeroModel = rec[kSlotAeroModel];
  if (p.AeroModel == 0.0 || p.AeroModel == 1.0) form.SelectAeroModel(static_cast<int>(p.AeroModel));
  d.State.Volumen = kStartVolumen;
  form.WriteDisplay(Display::kVolume, d.State.Volumen);

  p.MassaStart = rec[kSlotMass];
  field(&FP::MassaStart, p.MassaStart);
  p.S0 = rec[kSlotS0];
  field(&FP::S0, p.S0);
  p.Cx = rec[kSlotCx];
  field(&FP::Cx, p.Cx);
  p.Cy = rec[kSlotCy];
  field(&FP::Cy, p.Cy);
  p.TTO = rec[kSlotTTO];
  field(&FP::TTO, p.TTO);

  // Tk, Hk, Vk, dt0, Vwind and the stage values reach their parameters only through the fields.
  field(&FP::Tk, rec[kSlotTk]);
  p.PresetHk = rec[kSlotHk];
  field(&FP::Hk, p.PresetHk);
  p.PresetVk = rec[kSlotVk];
  field(&FP::Vk, p.PresetVk);
  field(&FP::dt0, rec[kSlotDt0]);
  field(&FP::Vwind, rec[kSlotVwind]);

  form.ShowTaskPicture(task);
  if (IsBuoyantTask(task)) form.Reveal(Part::kVolume);
  if (task == kTaskRocket) {
    form.Reveal(Part::kStages);
    const StageParameters& first = kStageParameters[0];
    field(first.Iud, rec[SlotOf(0, kStageIspSeaLevel)]);
    field(first.IudP, rec[SlotOf(0, kStageIspVacuum)]);
    field(first.Mdv, rec[SlotOf(0, kStageDryMass)]);
    field(first.Mt, rec[SlotOf(0, kStageFuelMass)]);
    field(first.Schub, rec[SlotOf(0, kStageThrust)]);
    field(first.S, rec[SlotOf(0, kStageArea)]);
    for (std::size_t s = 1; s < kStageParameters.size(); ++s) {
      const StageParameters& f = kStageParameters[s];
      field(f.Mt, rec[SlotOf(s, kStageFuelMass)]);
      field(f.Iud, rec[SlotOf(s, kStageIspSeaLevel)]);
      field(f.IudP, rec[SlotOf(s, kStageIspVacuum)]);
      field(f.Mdv, rec[SlotOf(s, kStageDryMass)]);
      field(f.Schub, rec[SlotOf(s, kStageThrust)]);
      field(f.S, rec[SlotOf(s, kStageArea)]);
    }
    form.Reveal(Part::kRocketGraph);
  }
  if (task == kTaskLevelFlight) {
    form.Reveal(Part::kLevelFlight);
    form.WriteDisplay(Display::kLevelFlightSpeed, NamingMass(p.MassaStart, [&] {
                        return LevelFlightSpeed(p.MassaStart, p.Cy, p.H0, p.S0);
                      }));
  }
  form.ReplaceCaptions();
  form.CoverGraphButtons();

  if (task == kTaskBuoyantGas) {
    form.Reveal(Part::kGasBlock);
    form.WriteDisplay(Display::kGasDensity, rec[kSlotGasDensity]);
    form.WriteDisplay(Display::kFlightAltitude, rec[kSlotFlightAltitude]);
    p.Hk = 0.0;  // the buoyant body's flight ends at the ground
    const Buoyancy b =
        NamingMass(p.MassaStart, [&] { return ComputeBuoyancy(p.MassaStart, rec[kSlotGasDensity]); });
    d.State.Auftrieb = b.Auftrieb;
    d.State.Volumen = b.Volumen;
    form.WriteDisplay(Display::kVolume, b.Volumen);
    // The field shows the area to 4 digits; the parameter keeps it unrounded.
    p.S0 = b.Area;
    form.WriteField(&FP::S0, b.Area, 4);
    p.S0 = b.Area;
  }
  if (rec[kSlotCy] != 0.0) form.Reveal(Part::kLiftGraph);
}

void ApplyPresetRecord(ZarnData& d) {
  ParametersOnly form(d.Params);
  ActivatePresetRecord(d, form);
}

std::array<double, 60> PresetRecordInEffect(const ZarnData& d) {
  const FlightParameters& p = d.Params;
  std::array<double, 60> rec{};
  rec[kSlotTaskKind] = p.TaskKind;
  rec[kSlotAeroModel] = p.AeroModel;
  rec[kSlotMass] = p.MassaStart;
  rec[kSlotS0] = p.S0;
  rec[kSlotCx] = p.Cx;
  rec[kSlotCy] = p.Cy;
  rec[kSlotH0] = p.H0;
  rec[kSlotV0] = p.V0;
  rec[kSlotTTO] = p.TTO;
  rec[kSlotTk] = p.Tk;
  rec[kSlotHk] = p.Hk;
  rec[kSlotVk] = p.Vk;
  rec[kSlotDt0] = p.dt0;
  rec[kSlotVwind] = p.Vwind;
  if (p.TaskKind == kTaskBuoyantGas) {
    rec[kSlotGasDensity] = d.PresetRecord[kSlotGasDensity];
    rec[kSlotFlightAltitude] = d.PresetRecord[kSlotFlightAltitude];
    rec[kSlotHk] = p.PresetHk;  // the run ends at the ground whatever the record says
  }
  if (p.TaskKind == kTaskRocket) {
    for (std::size_t s = 0; s < kStageParameters.size(); ++s) {
      const StageParameters& f = kStageParameters[s];
      rec[SlotOf(s, kStageFuelMass)] = p.*f.Mt;
      rec[SlotOf(s, kStageIspSeaLevel)] = p.*f.Iud;
      rec[SlotOf(s, kStageIspVacuum)] = p.*f.IudP;
      rec[SlotOf(s, kStageDryMass)] = p.*f.Mdv;
      rec[SlotOf(s, kStageThrust)] = p.*f.Schub;
      rec[SlotOf(s, kStageArea)] = p.*f.S;
    }
  }
  return rec;
}

}  // namespace zarn
