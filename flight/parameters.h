#pragma once
// Every parameter of a flight, once: the name that parameter files, the runner's options and its
// help use, the member of FlightParameters that holds it, its slot in the preset record, its unit
// and meaning, and the calculation form's field bound to it. Every reader loops over this table;
// a new parameter is a row here plus the code that uses it.
#include <array>
#include <iterator>
#include <span>
#include <string_view>

#include "records/flight_data.h"

namespace zarn {

struct ParamName {
  // Which tasks a value belongs to where a record is saved: stage values only to the rocket, the
  // gas block only to the buoyant body with its gas; elsewhere their slots are 0.
  enum class Group { kCommon, kGas, kStage };

  std::string_view Name;             //!< in files, --set, --sweep, --case, --help, messages
  double FlightParameters::*Member;  //!< where a run reads it
  int Slot;                          //!< of the preset record
  std::string_view Unit;             //!< "-" for none
  std::string_view Meaning;          //!< for --help and saved files
  std::string_view Field;            //!< the form's input field bound to it; "" for none
  Group Of = Group::kCommon;
};

namespace parameter_rows {
using FP = FlightParameters;
using PG = ParamName::Group;

// In the order a saved file lists them.
// clang-format off
inline constexpr ParamName kRows[] = {
    {"TaskKind", &FP::TaskKind, kSlotTaskKind, "-",
     "task: 1 ballistic body, 3 buoyant body with gas, 4 buoyant body, 5 level-flight speed, 8 rocket", ""},
    {"AeroModel", &FP::AeroModel, kSlotAeroModel, "-",
     "aerodynamic model: 0 constant coefficients, 1 V-2 drag law Cx = f(Mach)", ""},  // the model box
    {"MassaStart", &FP::MassaStart, kSlotMass, "kg", "launch mass of the whole vehicle", "edMassaStart"},
    {"S0", &FP::S0, kSlotS0, "m2", "reference area of drag and lift", "EdS0"},
    {"Cx", &FP::Cx, kSlotCx, "-", "drag coefficient", "EdCx"},
    {"Cy", &FP::Cy, kSlotCy, "-", "lift coefficient", "EdCy"},
    {"H0", &FP::H0, kSlotH0, "m", "initial height", "edH0"},
    {"V0", &FP::V0, kSlotV0, "m/s", "initial speed", "edV0"},
    {"TTO", &FP::TTO, kSlotTTO, "deg", "initial trajectory angle above the horizontal", "EdTTO"},
    {"Vwind", &FP::Vwind, kSlotVwind, "m/s", "horizontal wind speed", "edVwind"},
    {"dt0", &FP::dt0, kSlotDt0, "s", "integration step", "eddt0"},
    {"Tk", &FP::Tk, kSlotTk, "s", "end condition: time", "edTk"},
    {"Hk", &FP::Hk, kSlotHk, "m", "end condition: height", "edHkk"},
    {"Vk", &FP::Vk, kSlotVk, "m/s", "end speed (kept, tested by nothing)", "edVk"},
    {"Integrator", &FP::Integrator, kSlotIntegrator, "-",
     "integrator: 0 two-pass Euler with the step dt0, 1 fourth-order Runge-Kutta with dt0, 2 adaptive 5(4) up to dt0", ""},
    {"Rtol", &FP::Rtol, kSlotRtol, "-", "relative tolerance of the adaptive integrator (0: 1e-8)", ""},
    {"WindModel", &FP::WindModel, kSlotWindModel, "-",
     "wind: 0 as the classic step, 1 drag and lift along the velocity relative to the air", ""},
    {"GasDensity", &FP::GasDensity, kSlotGasDensity, "kg/m3", "density of the gas filling (task 3)", "", PG::kGas},
    {"FlightAltitude", &FP::FlightAltitude, kSlotFlightAltitude, "m", "flight altitude (task 3, shown only)", "", PG::kGas},
    {"Mt", &FP::Mt, StageSlotOf(1, kStageFuelMass), "kg", "stage 1: fuel mass", "EdMt", PG::kStage},
    {"Iud", &FP::Iud, StageSlotOf(1, kStageIspSeaLevel), "N*s/kg", "stage 1: specific impulse at H = 0", "EdIud", PG::kStage},
    {"IudP0", &FP::IudP0, StageSlotOf(1, kStageIspVacuum), "N*s/kg", "stage 1: specific impulse in vacuum", "EdIudP0", PG::kStage},
    {"Mdv", &FP::Mdv, StageSlotOf(1, kStageDryMass), "kg", "stage 1: engine mass without fuel", "EdMdv", PG::kStage},
    {"Schub", &FP::Schub, StageSlotOf(1, kStageThrust), "N", "stage 1: vacuum thrust", "EdSchub", PG::kStage},
    {"S1", &FP::S1, StageSlotOf(1, kStageArea), "m2", "stage 1: area (kept, used by no computation)", "EdS1", PG::kStage},
    {"Mt2", &FP::Mt2, StageSlotOf(2, kStageFuelMass), "kg", "stage 2: fuel mass", "EdMt2", PG::kStage},
    {"Iud2", &FP::Iud2, StageSlotOf(2, kStageIspSeaLevel), "N*s/kg", "stage 2: specific impulse at H = 0 (0: no stage 2)", "EdIud2", PG::kStage},
    {"IudP2", &FP::IudP2, StageSlotOf(2, kStageIspVacuum), "N*s/kg", "stage 2: specific impulse in vacuum", "EdIudP2", PG::kStage},
    {"Mdv2", &FP::Mdv2, StageSlotOf(2, kStageDryMass), "kg", "stage 2: engine mass without fuel", "EdMdv2", PG::kStage},
    {"Schu2", &FP::Schu2, StageSlotOf(2, kStageThrust), "N", "stage 2: vacuum thrust", "EdSchu2", PG::kStage},
    {"S2", &FP::S2, StageSlotOf(2, kStageArea), "m2", "stage 2: area (kept, used by no computation)", "EdS2", PG::kStage},
    {"Mt3", &FP::Mt3, StageSlotOf(3, kStageFuelMass), "kg", "stage 3: fuel mass", "EdMt3", PG::kStage},
    {"Iud3", &FP::Iud3, StageSlotOf(3, kStageIspSeaLevel), "N*s/kg", "stage 3: specific impulse at H = 0 (0: no stage 3)", "EdIud3", PG::kStage},
    {"IudP3", &FP::IudP3, StageSlotOf(3, kStageIspVacuum), "N*s/kg", "stage 3: specific impulse in vacuum", "EdIudP3", PG::kStage},
    {"Mdv3", &FP::Mdv3, StageSlotOf(3, kStageDryMass), "kg", "stage 3: engine mass without fuel", "EdMdv3", PG::kStage},
    {"Schu3", &FP::Schu3, StageSlotOf(3, kStageThrust), "N", "stage 3: vacuum thrust", "EdSchu3", PG::kStage},
    {"S3", &FP::S3, StageSlotOf(3, kStageArea), "m2", "stage 3: area (kept, used by no computation)", "EdS3", PG::kStage},
};
// clang-format on
}  // namespace parameter_rows
inline constexpr std::span<const ParamName, std::size(parameter_rows::kRows)> kParamNames{
    parameter_rows::kRows};

// The names of kParamNames alone, in the same order (for hints and listings).
const std::array<std::string_view, kParamNames.size()>& ParamNameList();

// The entry of that name (exact spelling), or nullptr.
const ParamName* FindParamName(std::string_view name);

// The entry of the parameter held in that member, or nullptr.
const ParamName* ParamOf(double FlightParameters::*member);

}  // namespace zarn
