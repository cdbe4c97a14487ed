#include "flight/presets.h"

#include <cmath>
#include <string>

#include "flight/number_text.h"
#include "flight/parameters.h"
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

void WritePresetRecord(int index, PresetRecordSlots& record) noexcept {
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
  // Neutral buoyancy: the displaced air less the gas weighs the mass, (roh - gas) V g = m g, so
  // the volume takes the mass, not the weight (m^3, not m^3 m/s^2).
  b.Volumen = Checked(Div(MassaStart, roh - GasDensity));
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
using Part = FormStep::Part;
using Display = FormStep::Display;

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

// The steps, written as the activation takes them.
class Steps {
 public:
  explicit Steps(std::vector<FormStep>& out) : out_(out) {}
  void Set(double FP::*parameter, double value) { out_.push_back({FormStep::Kind::kSet, parameter, value}); }
  void Field(double FP::*parameter, double value, int digits = kFieldDigits) {
    out_.push_back({FormStep::Kind::kField, parameter, value, digits});
  }
  void Show(Display field, double value) {
    out_.push_back({FormStep::Kind::kDisplay, nullptr, value, kFieldDigits, field});
  }
  void AeroModel(int item) {
    out_.push_back({FormStep::Kind::kAeroModel, nullptr, static_cast<double>(item)});
  }
  void TaskPicture(double task) { out_.push_back({FormStep::Kind::kTaskPicture, nullptr, task}); }
  void Reveal(Part part) {
    out_.push_back({FormStep::Kind::kReveal, nullptr, 0.0, kFieldDigits, Display::kVolume, part});
  }
  void General() { out_.push_back({FormStep::Kind::kGeneral}); }

 private:
  std::vector<FormStep>& out_;
};

void ActivationSteps(const PresetRecordSlots& given, Steps& form) {
  // Every value as a field shows it, also those set straight into their parameters or only
  // shown: a field whose text stays the same calls no change handler, and the runner has no
  // fields at all. The task and the model are choices, not numbers typed.
  PresetRecordSlots rec = given;
  for (std::size_t slot = 0; slot < rec.size(); ++slot)
    if (slot != std::size_t{kSlotTaskKind} && slot != std::size_t{kSlotAeroModel})
      rec[slot] = FieldValue(rec[slot]);
  const double task = rec[kSlotTaskKind];
  // The parameters as the steps so far set them, for the values derived from several.
  FlightParameters p{};

  form.Set(&FP::TaskKind, task);  // the integrator reads the task of the run from the parameters
  form.Field(&FP::MassaStart, rec[kSlotMass]);
  p.H0 = rec[kSlotH0];
  form.Set(&FP::H0, p.H0);
  form.Field(&FP::H0, p.H0);
  form.Set(&FP::V0, rec[kSlotV0]);
  form.Field(&FP::V0, rec[kSlotV0]);

  form.Set(&FP::AeroModel, rec[kSlotAeroModel]);
  if (rec[kSlotAeroModel] == 0.0 || rec[kSlotAeroModel] == 1.0)
    form.AeroModel(static_cast<int>(rec[kSlotAeroModel]));
  form.Show(Display::kVolume, kStartVolumen);

  p.MassaStart = rec[kSlotMass];
  form.Set(&FP::MassaStart, p.MassaStart);
  form.Field(&FP::MassaStart, p.MassaStart);
  p.S0 = rec[kSlotS0];
  form.Set(&FP::S0, p.S0);
  form.Field(&FP::S0, p.S0);
  form.Set(&FP::Cx, rec[kSlotCx]);
  form.Field(&FP::Cx, rec[kSlotCx]);
  p.Cy = rec[kSlotCy];
  form.Set(&FP::Cy, p.Cy);
  form.Field(&FP::Cy, p.Cy);
  form.Set(&FP::TTO, rec[kSlotTTO]);
  form.Field(&FP::TTO, rec[kSlotTTO]);

  // Tk, Hk, Vk, dt0, Vwind and the stage values reach their parameters only through the fields.
  form.Field(&FP::Tk, rec[kSlotTk]);
  form.Set(&FP::PresetHk, rec[kSlotHk]);
  form.Field(&FP::Hk, rec[kSlotHk]);
  form.Set(&FP::PresetVk, rec[kSlotVk]);
  form.Field(&FP::Vk, rec[kSlotVk]);
  form.Field(&FP::dt0, rec[kSlotDt0]);
  form.Field(&FP::Vwind, rec[kSlotVwind]);
  form.Set(&FP::GasDensity, rec[kSlotGasDensity]);
  // The method and the wind model are choices of the plot menu, not fields.
  form.Set(&FP::Integrator, rec[kSlotIntegrator]);
  form.Set(&FP::Rtol, rec[kSlotRtol]);
  form.Set(&FP::WindModel, rec[kSlotWindModel]);
  form.Set(&FP::FlightAltitude, rec[kSlotFlightAltitude]);

  form.TaskPicture(task);
  if (IsBuoyantTask(task)) form.Reveal(Part::kVolume);
  if (task == kTaskRocket) {
    form.Reveal(Part::kStages);
    const StageParameters& first = kStageParameters[0];
    form.Field(first.Iud, rec[SlotOf(0, kStageIspSeaLevel)]);
    form.Field(first.IudP, rec[SlotOf(0, kStageIspVacuum)]);
    form.Field(first.Mdv, rec[SlotOf(0, kStageDryMass)]);
    form.Field(first.Mt, rec[SlotOf(0, kStageFuelMass)]);
    form.Field(first.Schub, rec[SlotOf(0, kStageThrust)]);
    form.Field(first.S, rec[SlotOf(0, kStageArea)]);
    for (std::size_t s = 1; s < kStageParameters.size(); ++s) {
      const StageParameters& f = kStageParameters[s];
      form.Field(f.Mt, rec[SlotOf(s, kStageFuelMass)]);
      form.Field(f.Iud, rec[SlotOf(s, kStageIspSeaLevel)]);
      form.Field(f.IudP, rec[SlotOf(s, kStageIspVacuum)]);
      form.Field(f.Mdv, rec[SlotOf(s, kStageDryMass)]);
      form.Field(f.Schub, rec[SlotOf(s, kStageThrust)]);
      form.Field(f.S, rec[SlotOf(s, kStageArea)]);
    }
    form.Reveal(Part::kRocketGraph);
  }
  if (task == kTaskLevelFlight) {
    form.Reveal(Part::kLevelFlight);
    form.Show(Display::kLevelFlightSpeed,
              NamingMass(p.MassaStart, [&] { return LevelFlightSpeed(p.MassaStart, p.Cy, p.H0, p.S0); }));
  }
  form.General();

  if (task == kTaskBuoyantGas) {
    form.Reveal(Part::kGasBlock);
    form.Show(Display::kGasDensity, rec[kSlotGasDensity]);
    form.Show(Display::kFlightAltitude, rec[kSlotFlightAltitude]);
    form.Set(&FP::Hk, 0.0);  // the buoyant body's flight ends at the ground
    const Buoyancy b =
        NamingMass(p.MassaStart, [&] { return ComputeBuoyancy(p.MassaStart, rec[kSlotGasDensity]); });
    form.Show(Display::kVolume, b.Volumen);
    // The field shows the area to 4 digits; the parameter keeps it unrounded.
    form.Field(&FP::S0, b.Area, 4);
    form.Set(&FP::S0, b.Area);
  }
  if (rec[kSlotCy] != 0.0) form.Reveal(Part::kLiftGraph);
}

}  // namespace

Activation Activate(const PresetRecordSlots& rec) {
  Activation a;
  Steps steps(a.Steps);
  try {
    ActivationSteps(rec, steps);
  } catch (const Error&) {
    a.Fault = std::current_exception();  // the steps before the fault stay
  }
  return a;
}

FlightParameters ParametersOf(const PresetRecordSlots& rec) {
  const Activation a = Activate(rec);
  FlightParameters p{};
  for (const FormStep& step : a.Steps)
    if (step.What == FormStep::Kind::kSet || step.What == FormStep::Kind::kField)
      p.*step.Parameter = step.Value;
  if (a.Fault) std::rethrow_exception(a.Fault);
  return p;
}

PresetRecordSlots PresetRecordInEffect(const FlightParameters& p) {
  PresetRecordSlots rec{};
  for (const ParamName& param : kParamNames) {
    if (param.Of == ParamName::Group::kGas && p.TaskKind != kTaskBuoyantGas) continue;
    if (param.Of == ParamName::Group::kStage && p.TaskKind != kTaskRocket) continue;
    rec[static_cast<std::size_t>(param.Slot)] = p.*param.Member;
  }
  if (p.TaskKind == kTaskBuoyantGas)
    rec[kSlotHk] = p.PresetHk;  // the run ends at the ground whatever the record says
  return rec;
}

}  // namespace zarn
