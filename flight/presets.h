#pragma once
// The start form's five presets, and what a preset record does when the calculation form is
// activated with it (for the window and the headless runner alike).
#include <array>
#include <exception>
#include <string_view>
#include <vector>

#include "records/flight_data.h"

namespace zarn {

// A preset of the start form: its label; its values are the parameters' own (ParamName::Presets).
struct Preset {
  std::string_view Label;  // UTF-8, German in every language
};

extern const std::array<Preset, kPresetCount> kPresets;

// Writes slots 0..kPresetSlotsWritten-1 of the record for preset index 0..kPresetCount-1 (every
// slot of that range that no parameter's preset value fills 0); any other index changes nothing.
void WritePresetRecord(int index, PresetRecordSlots& record) noexcept;

// The pure computations of the activation for the buoyant body (task 3).
struct Buoyancy {
  double Auftrieb;  //!< [N] the weight MassaStart * 9.8
  double Volumen;   //!< [m^3] MassaStart / (sea-level density - gas density)
  double Area;      //!< [m^2] cross-section 3.14 r^2 of the sphere of that volume
};
Buoyancy ComputeBuoyancy(double MassaStart, double GasDensity);

// Level-flight speed (task 5): (2 MassaStart 9.8 / Cy / Roh(H0) / S0)^0.5.
double LevelFlightSpeed(double MassaStart, double Cy, double H0, double S0);

// base^exponent by the program's rule: exponent 0 gives 1, base 0 with a positive exponent 0, a
// whole exponent by repeated multiplication, else exp(exponent ln base) (a fault for base < 0).
double Power(double base, double exponent);

// One step of the activation: what the calculation form does with a preset record, in order.
struct FormStep {
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
  enum class Kind {
    kSet,          //!< Parameter takes Value, with no field involved
    kField,        //!< the field bound to Parameter shows Value to Digits significant digits
    kDisplay,      //!< the display field Shows shows Value
    kAeroModel,    //!< item Value (0 "Constant", 1 the V-2 law) of the model box, chosen by program
    kTaskPicture,  //!< the picture of task Value
    kReveal,       //!< the controls Reveals
    kGeneral,      //!< the part common to every task is done: captions of the language, graph covered
  };
  Kind What;
  double FlightParameters::*Parameter = nullptr;
  double Value = 0.0;
  int Digits = 15;
  Display Shows = Display::kVolume;
  Part Reveals = Part::kVolume;
};

// The activation of a preset record: the steps the form takes, and the fault that stopped it
// after them (a level-flight speed or buoyancy the arithmetic refuses: FloatingPointError, or for
// a start mass of 0 or less an Error with that fault's message and "(MassaStart = 0)"), or none.
struct Activation {
  std::vector<FormStep> Steps;
  std::exception_ptr Fault;
};

// The one place that decides what a preset record does when the calculation form is activated
// with it, each value as a field shows it (FieldValue). Pure: the window plays the steps on its
// fields, the headless runner on parameters.
Activation Activate(const PresetRecordSlots& rec);

// The parameters of a run as the activation leaves them with every field's value going straight
// into its parameter (the headless runner's form); throws the activation's fault.
FlightParameters ParametersOf(const PresetRecordSlots& rec);

// The volume the activation shows until the buoyancy of task 3 replaces it.
inline constexpr double kStartVolumen = 100000.0;  //!< [m^3]

// The reverse of the activation: the record of the values in effect, as a parameter file saves
// them. Activating it gives back the parameters a run reads. The buoyant body's end height is the
// record's (the activation shows it while the run ends at the ground). Stage values count only for
// task 8 and the gas block only for task 3; elsewhere their slots are 0.
PresetRecordSlots PresetRecordInEffect(const FlightParameters& p);

}  // namespace zarn
