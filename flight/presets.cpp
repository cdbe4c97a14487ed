#include "flight/presets.h"

#include <cmath>
#include <string>

#include "flight/number_text.h"
#include "models/atmosphere.h"
#include "records/constants.h"
#include "records/errors.h"
#include "records/parameters.h"

namespace zarn {

const std::array<Preset, kPresetCount> kPresets{{
    {"Projectil, Q= 45 Grad,  V= 100 m/s, H= 0 m"},
    {"Projectil, Q= -88 Grad,  V= 0 m/s, H= 10 km"},
    {"Fu\u00dfball (m=450 g, Umfang = 70 cm)"},
    {"Tamsker - 1865 De la Terre \u00e0 la Lune (= Von der Erde zum Mond)"},
    {"Railgun (vgl. I. R. McNab: Launch to Space with an Electromagnetic Railgun, "
     "IEEE Trans. Magn. 39 (2003), S. 295-304)"},
}};

void WritePresetRecord(int index, PresetRecordSlots& record) noexcept {
  if (index < 0 || index >= static_cast<int>(kPresets.size())) return;
  for (int slot = 0; slot < kPresetSlotsWritten; ++slot) record[static_cast<std::size_t>(slot)] = 0.0;
  for (const ParamName& p : kParamNames)
    if (p.Slot < kPresetSlotsWritten)
      record[static_cast<std::size_t>(p.Slot)] = p.Presets[static_cast<std::size_t>(index)];
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

// The record's values as the fields show them, also those with no field or only shown: a
// parameter holds what its field shows, and the runner, which has no fields, flies what the window
// would. A choice is no number typed. A value no field can show is the fault of the whole
// activation, before any of its steps.
PresetRecordSlots AsFieldsShowThem(const PresetRecordSlots& given) {
  const auto choice = [](std::size_t slot) {
    for (const ParamName& row : kParamNames)
      if (static_cast<std::size_t>(row.Slot) == slot) return row.Takes == ParamName::Taking::kChoice;
    return false;
  };
  PresetRecordSlots rec = given;
  for (std::size_t slot = 0; slot < rec.size(); ++slot)
    if (!choice(slot)) rec[slot] = FieldValue(rec[slot]);
  return rec;
}

// Gives the parameter of the row its value as the row says.
void Take(const ParamName& row, double value, Steps& form) {
  using enum ParamName::Taking;
  if (row.Keeps != nullptr) form.Set(row.Keeps, value);
  form.Set(row.Member, value);
  if (row.Takes == kField) form.Field(row.Member, value, row.Digits != 0 ? row.Digits : kFieldDigits);
}

void ActivationSteps(const PresetRecordSlots& given, Steps& form) {
  const PresetRecordSlots rec = AsFieldsShowThem(given);
  // The parameters as the activation gives them, for the values it derives from several. Each
  // parameter's steps touch only that parameter and its field, so their order among themselves
  // shows nowhere; all of them come before anything else that can fail.
  const double task = rec[kSlotTaskKind];
  FlightParameters p{};
  for (const ParamName& row : kParamNames) {
    if (row.Of == ParamName::Group::kStage && task != kTaskRocket) continue;
    p.*row.Member = rec[static_cast<std::size_t>(row.Slot)];
    Take(row, p.*row.Member, form);
  }

  // The model box chooses by program what the record says, if it is one of its items.
  if (p.AeroModel == 0.0 || p.AeroModel == 1.0) form.AeroModel(static_cast<int>(p.AeroModel));
  form.Show(Display::kVolume, kStartVolumen);
  form.TaskPicture(task);
  if (IsBuoyantTask(task)) form.Reveal(Part::kVolume);
  if (task == kTaskRocket) {
    form.Reveal(Part::kStages);
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
    form.Show(Display::kGasDensity, p.GasDensity);
    form.Show(Display::kFlightAltitude, p.FlightAltitude);
    form.Set(&FP::Hk, 0.0);  // the buoyant body's flight ends at the ground
    const Buoyancy b = NamingMass(p.MassaStart, [&] { return ComputeBuoyancy(p.MassaStart, p.GasDensity); });
    form.Show(Display::kVolume, b.Volumen);
    // The field shows the area to 4 digits; the parameter keeps it unrounded.
    form.Field(&FP::S0, b.Area, 4);
    form.Set(&FP::S0, b.Area);
  }
  if (p.Cy != 0.0) form.Reveal(Part::kLiftGraph);
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
