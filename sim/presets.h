#pragma once
// The start form's five presets, and what a preset record does when the calculation form is
// activated with it (for the window and the headless runner alike).
#include <array>
#include <string_view>

#include "records/flight_data.h"

namespace zarn {

struct Preset {
  std::string_view Label;  // UTF-8, German in every language
  double Mass;             //!< [kg] slot 5
  double S0;               //!< [m^2] slot 6
  double Cx;               //!< slot 7
  double Cy;               //!< slot 8
  double H0;               //!< [m] slot 11
  double V0;               //!< [m/s] slot 12
  double Angle;            //!< [deg] slot 13
  double Tk;               //!< [s] slot 18
  double dt0;              //!< [s] slot 19
};

extern const std::array<Preset, 5> kPresets;

// Writes slots 0..29 of the record for preset index 0..4 (every other slot of that range 0);
// any other index changes nothing.
void WritePresetRecord(int index, std::array<double, 60>& record) noexcept;

// The pure computations of the activation for the buoyant body (task 3).
struct Buoyancy {
  double Auftrieb;  //!< [N] the weight MassaStart * 9.8
  double Volumen;   //!< [m^3] Auftrieb / (sea-level density - gas density)
  double Area;      //!< [m^2] cross-section 3.14 r^2 of the sphere of that volume
};
Buoyancy ComputeBuoyancy(double MassaStart, double GasDensity);

// Level-flight speed (task 5): (2 MassaStart 9.8 / Cy / Roh(H0) / S0)^0.5.
double LevelFlightSpeed(double MassaStart, double Cy, double H0, double S0);

// base^exponent by the program's rule: exponent 0 gives 1, base 0 with a positive exponent 0, a
// whole exponent by repeated multiplication, else exp(exponent ln base) (a fault for base < 0).
double Power(double base, double exponent);

// The calculation form as the activation sees it: where the record's values are shown and which
// controls a task brings. The window writes its fields (whose change handlers then set the
// parameters) and shows its controls; ApplyPresetRecord passes a form that only sets the parameter
// behind each field.
class ActivationForm {
 public:
  // Controls that only some tasks show.
  enum class Part {
    kVolume,       //!< the volume field and its label (tasks 3 and 4)
    kStages,       //!< the stage block with its labels (task 8)
    kRocketGraph,  //!< the graph button of thrust and mass (task 8)
    kLevelFlight,  //!< the level-flight speed field (task 5)
    kGasBlock,     //!< gas density and flight altitude with their labels (task 3)
    kLiftGraph,    //!< the lift graph button (a lift coefficient in the record)
  };
  // Values the form shows with no parameter behind them.
  enum class Display { kVolume, kLevelFlightSpeed, kGasDensity, kFlightAltitude };

  virtual ~ActivationForm() = default;
  // The field bound to `parameter` shows `value` to `digits` significant digits.
  virtual void WriteField(double FlightParameters::*parameter, double value, int digits) = 0;
  virtual void WriteDisplay(Display field, double value) = 0;
  // Item 0 ("Constant") or 1 (the V-2 law) of the aerodynamic model box, chosen by program.
  virtual void SelectAeroModel(int item) = 0;
  virtual void ShowTaskPicture(double TaskKind) = 0;
  virtual void Reveal(Part part) = 0;
  // The captions of the chosen language (the stage block's come with Reveal(kStages)).
  virtual void ReplaceCaptions() = 0;
  virtual void CoverGraphButtons() = 0;
};

// The one place that decides what a preset record does: activates the calculation form with
// d.PresetRecord (each value as a field shows it, see FieldValue; d.PresetRecord stays as given),
// writing parameters and state and telling the form what to show, step by step in the
// activation's order. A fault of the level-flight speed (task 5) or of the buoyancy (task 3)
// throws FloatingPointError at that step, or for a start mass of 0 or less an Error with that
// fault's message and "(MassaStart = 0)"; what came before it stays done.
void ActivatePresetRecord(ZarnData& d, ActivationForm& form);

// The activation without a window, for the headless runner: every field's value goes straight
// into its parameter, as the window's field reads it back (FieldValue).
void ApplyPresetRecord(ZarnData& d);

// The volume the activation shows until the buoyancy of task 3 replaces it.
inline constexpr double kStartVolumen = 100000.0;  //!< [m^3]

// The reverse of the activation: the record of the values in effect, as a parameter file saves
// them. Activating it gives back the parameters a run reads. Values the parameters do not hold
// come from the record in use: the gas density and flight altitude of task 3, and its end height,
// which the activation shows while the run ends at the ground. Stage values count only for task
// 8 and the gas block only for task 3; elsewhere their slots are 0.
std::array<double, 60> PresetRecordInEffect(const ZarnData& d);

}  // namespace zarn
