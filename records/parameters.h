#pragma once
// Every parameter of a flight, once: the member of FlightParameters that a run reads, its slot in
// the preset record, and its row in kParamNames with all that parameter files, the runner's options
// and help, the calculation form, the Python module and the activation of a record need to know
// of it. Every reader loops over the rows: a new parameter is a member, a slot and a row here, plus
// the code that uses it (and the field's place on the form when it has one).
#include <array>
#include <cstddef>
#include <iterator>
#include <memory>
#include <span>
#include <string_view>

namespace zarn {

struct VehicleTables;  // models/vehicle_tables.h

// Parameters of a run: written by the form's fields and the preset, read at each pass start.
struct FlightParameters {
  double H0;                   //!< [m] initial height
  double V0;                   //!< [m/s] initial speed
  double TTO;                  //!< [deg] initial trajectory angle above the horizontal
  double MassaStart;           //!< [kg] launch mass of the whole vehicle
  double S0;                   //!< [m^2] reference area of all aerodynamic forces
  double Cx;                   //!< [-] drag coefficient
  double Cy;                   //!< [-] lift coefficient
  double Vwind;                //!< [m/s] wind speed
  double dt0;                  //!< [s] integration step
  double Tk;                   //!< [s] end condition: time
  double Hk;                   //!< [m] end condition: height
  double Vk;                   //!< [m/s] end condition: speed (held, tested nowhere)
  double PresetHk;             //!< [m] the preset's end height
  double PresetVk;             //!< [m/s] the preset's end speed
  double AeroModel;            //!< [-] 0 constant coefficients, 1 the V-2 drag law
  double TaskKind;             //!< [-] 8 rocket, 3 or 4 buoyant body, else ballistic
  double Mt, Mt2, Mt3;         //!< [kg] fuel mass of stage 1, 2, 3
  double Iud, Iud2, Iud3;      //!< [N*s/kg] specific impulse at H = 0 (0: stage 2/3 absent)
  double IudP0, IudP2, IudP3;  //!< [N*s/kg] specific impulse in vacuum
  double Mdv, Mdv2, Mdv3;      //!< [kg] engine mass without fuel
  double Schub, Schu2, Schu3;  //!< [N] vacuum thrust
  double S1, S2, S3;           //!< [m^2] stage areas (held only)
  double GasDensity;           //!< [kg/m^3] density of the buoyant body's gas (task 3)
  double FlightAltitude;       //!< [m] the buoyant body's flight altitude (task 3, shown only)
  double Integrator;           //!< [-] 0 two-pass Euler, 1 fourth-order Runge-Kutta, 2 adaptive 5(4)
  double Rtol;                 //!< [-] relative tolerance of the adaptive method (0: 1e-8)
  double WindModel;            //!< [-] 0 the wind of the classic step, 1 drag and lift from the air speed
  double AtmosphereModel;      //!< [-] 0 the table, 1 the 1976 US Standard Atmosphere from its layers
  double EarthModel;      //!< [-] 0 flat with g = 9.8, 1 sphere, 2 rotating sphere, 3 rotating WGS-84 with J2
  double EarthRadius;     //!< [m] the sphere's radius (0: the mean radius)
  double EarthMu;         //!< [m^3/s^2] gravitational parameter (0: WGS-84's)
  double EarthRate;       //!< [rad/s] rotation rate of the turning models (0: WGS-84's)
  double LaunchLat;       //!< [deg] latitude of the launch site
  double LaunchLon;       //!< [deg] longitude of the launch site
  double Azimuth;         //!< [deg] direction of +X, clockwise from north
  double VwindCross;      //!< [m/s] wind toward the right of the azimuth (physical wind model)
  double RailLength;      //!< [m] launch rail: the path keeps the launch angle along it (0: none)
  double Coast2, Coast3;  //!< [s] coast between the burnout before stage 2 (3) and its ignition
  double ChuteCdS;        //!< [m^2] the parachute's drag area (0: none)
  double ChuteDelay;      //!< [s] the parachute opens this long after the apex
  double ChuteHeight;     //!< [m] or on the way down at this height, whichever comes first (0: not)
  // The vehicle's files as read (thrust curves, drag and wind tables, pitch program): nullptr for
  // none, the usual. Shared and never changed, so that a sweep's cases read one copy.
  std::shared_ptr<const VehicleTables> Vehicle;
};

// The parameters of each rocket stage, by stage (stage 1 first).
struct StageParameters {
  double FlightParameters::*Mt;     //!< fuel mass
  double FlightParameters::*Iud;    //!< specific impulse at H = 0
  double FlightParameters::*IudP;   //!< specific impulse in vacuum
  double FlightParameters::*Mdv;    //!< engine mass without fuel
  double FlightParameters::*Schub;  //!< vacuum thrust
  double FlightParameters::*S;      //!< stage area
};
inline constexpr std::array<StageParameters, 3> kStageParameters{{
    {&FlightParameters::Mt, &FlightParameters::Iud, &FlightParameters::IudP0, &FlightParameters::Mdv,
     &FlightParameters::Schub, &FlightParameters::S1},
    {&FlightParameters::Mt2, &FlightParameters::Iud2, &FlightParameters::IudP2, &FlightParameters::Mdv2,
     &FlightParameters::Schu2, &FlightParameters::S2},
    {&FlightParameters::Mt3, &FlightParameters::Iud3, &FlightParameters::IudP3, &FlightParameters::Mdv3,
     &FlightParameters::Schu3, &FlightParameters::S3},
}};

// Slots of the preset record.
enum PresetSlot : int {
  kSlotTaskKind = 0,
  kSlotGasDensity = 2,
  kSlotAeroModel = 3,
  kSlotMass = 5,
  kSlotS0 = 6,
  kSlotCx = 7,
  kSlotCy = 8,
  kSlotH0 = 11,
  kSlotV0 = 12,
  kSlotTTO = 13,
  kSlotFlightAltitude = 14,
  kSlotHk = 16,
  kSlotVk = 17,
  kSlotTk = 18,
  kSlotDt0 = 19,
  kSlotVwind = 20,
  kSlotIntegrator = 21,
  kSlotRtol = 22,
  kSlotWindModel = 23,
  kSlotAtmosphereModel = 24,
  kSlotStage1 = 30,  //!< stage s (1..3) starts at kSlotStage1 + kStageSlots * (s - 1)
  kSlotEarthModel = 60,
  kSlotEarthRadius = 61,
  kSlotEarthMu = 62,
  kSlotEarthRate = 63,
  kSlotLaunchLat = 64,
  kSlotLaunchLon = 65,
  kSlotAzimuth = 66,
  kSlotVwindCross = 67,
  kSlotRailLength = 68,
  kSlotCoast2 = 69,
  kSlotCoast3 = 70,
  kSlotChuteCdS = 71,
  kSlotChuteDelay = 72,
  kSlotChuteHeight = 73,
};

// Slots of one stage, from the stage's first slot.
inline constexpr int kStageSlots = 10;
enum StageSlot : int {
  kStageFuelMass = 0,     //!< [kg] Mt
  kStageIspSeaLevel = 1,  //!< [N*s/kg] Iud
  kStageDryMass = 2,      //!< [kg] Mdv
  kStageThrust = 3,       //!< [N] Schub
  kStageIspVacuum = 4,    //!< [N*s/kg] IudP
  kStageArea = 5,         //!< [m^2] S
};
// The preset-record slot of item k of stage s (1..3).
constexpr int StageSlotOf(int stage, StageSlot item) {
  return kSlotStage1 + kStageSlots * (stage - 1) + item;
}

// The preset record: what a preset or a parameter file gives; slots in PresetSlot and StageSlot.
inline constexpr int kPresetSlots = 80;
using PresetRecordSlots = std::array<double, kPresetSlots>;

// The start form offers this many presets; a preset writes slots 0 to kPresetSlotsWritten - 1.
inline constexpr std::size_t kPresetCount = 5;
inline constexpr int kPresetSlotsWritten = 30;

struct ParamName {
  // How activating a record gives the parameter its value: every value as a field shows it
  // (FieldValue) but a choice. A parameter with a field is set straight as well: where the field
  // already holds the record's text its change handler does not run, and the parameter would keep
  // a value the form no longer shows (the end height 0 of the buoyant body before).
  enum class Taking {
    kChoice,  //!< set straight, the record's value as it stands: a choice, not a number typed
    kSet,     //!< set straight; no field shows it
    kField,   //!< set straight, and its field shows it
  };
  // Which tasks a value belongs to. Stage values belong to the rocket alone: only its activation
  // shows them and only its saved record holds them. The gas block is saved only with the buoyant
  // body with its gas, but every activation sets it; elsewhere the saved slots are 0.
  enum class Group { kCommon, kGas, kStage };

  std::string_view Name;                       //!< in files, --set, --sweep, --case, --help, messages, Python
  double FlightParameters::*Member;            //!< where a run reads it
  int Slot;                                    //!< of the preset record
  std::string_view Unit;                       //!< "-" for none
  std::string_view Meaning;                    //!< for --help and saved files
  std::string_view Field;                      //!< the form's input field bound to it; "" for none
  Taking Takes;                                //!< how activating a record gives it its value
  std::array<double, kPresetCount> Presets{};  //!< its value in each preset of the start form
  Group Of = Group::kCommon;
  double FlightParameters::*Keeps = nullptr;  //!< a member that keeps the record's value as given
  int Digits = 0;                             //!< significant digits its field shows; 0: the form's usual
};

namespace parameter_rows {
using FP = FlightParameters;
using PG = ParamName::Group;
using enum ParamName::Taking;

// In the order a saved file lists them.
// clang-format off
inline constexpr ParamName kRows[] = {
    {"TaskKind", &FP::TaskKind, kSlotTaskKind, "-",
     "task: 1 ballistic body, 3 buoyant body with gas, 4 buoyant body, 5 level-flight speed, 8 rocket", "",
     kChoice, {1, 1, 1, 1, 1}},
    {"AeroModel", &FP::AeroModel, kSlotAeroModel, "-",
     "aerodynamic model: 0 constant coefficients, 1 V-2 drag law Cx = f(Mach)", "", kChoice},  // the model box
    {"MassaStart", &FP::MassaStart, kSlotMass, "kg", "launch mass of the whole vehicle", "edMassaStart",
     kField, {1, 1, 0.41, 10000, 200}},
    {"S0", &FP::S0, kSlotS0, "m2", "reference area of drag and lift", "EdS0",
     kField, {0.02, 0.02, 0.038, 5, 0.034}},
    {"Cx", &FP::Cx, kSlotCx, "-", "drag coefficient", "EdCx", kField, {0.01, 0.45, 0.47, 0.2, 0.1}},
    {"Cy", &FP::Cy, kSlotCy, "-", "lift coefficient", "EdCy", kField, {0, 0, 0, 0, 0.05}},
    {"H0", &FP::H0, kSlotH0, "m", "initial height", "edH0", kField, {1, 10000, 0.1, 0.1, 0.1}},
    {"V0", &FP::V0, kSlotV0, "m/s", "initial speed", "edV0", kField, {100, 0, 40, 18000, 14000}},
    {"TTO", &FP::TTO, kSlotTTO, "deg", "initial trajectory angle above the horizontal", "EdTTO",
     kField, {45, -88, 45, 89, 0}},
    {"Vwind", &FP::Vwind, kSlotVwind, "m/s", "horizontal wind speed", "edVwind", kField},
    {"dt0", &FP::dt0, kSlotDt0, "s", "integration step", "eddt0", kField, {0.005, 0.01, 0.001, 0.001, 0.0015}},
    {"Tk", &FP::Tk, kSlotTk, "s", "end condition: time", "edTk", kField, {100, 100, 100, 5, 60}},
    {"Hk", &FP::Hk, kSlotHk, "m", "end condition: height", "edHkk", kField, {}, PG::kCommon, &FP::PresetHk},
    {"Vk", &FP::Vk, kSlotVk, "m/s", "end speed (kept, tested by nothing)", "edVk", kField, {}, PG::kCommon,
     &FP::PresetVk},
    {"Integrator", &FP::Integrator, kSlotIntegrator, "-",
     "integrator: 0 two-pass Euler with the step dt0, 1 fourth-order Runge-Kutta with dt0, 2 adaptive 5(4) up to dt0", "",
     kSet},  // a choice of the plot menu
    {"Rtol", &FP::Rtol, kSlotRtol, "-", "relative tolerance of the adaptive integrator (0: 1e-8)", "", kSet},
    {"WindModel", &FP::WindModel, kSlotWindModel, "-",
     "wind: 0 as the classic step, 1 drag and lift along the velocity relative to the air", "", kSet},
    {"AtmosphereModel", &FP::AtmosphereModel, kSlotAtmosphereModel, "-",
     "atmosphere: 0 the table, 1 the 1976 US Standard Atmosphere computed from its layers up to 86 km, the table above", "",
     kSet},
    {"EarthModel", &FP::EarthModel, kSlotEarthModel, "-",
     "Earth: 0 flat with g = 9.8, 1 sphere not rotating, 2 rotating sphere, 3 rotating WGS-84 ellipsoid with J2", "",
     kSet},
    {"EarthRadius", &FP::EarthRadius, kSlotEarthRadius, "m", "radius of the sphere (0: the mean radius 6371008.8 m)", "", kSet},
    {"EarthMu", &FP::EarthMu, kSlotEarthMu, "m3/s2", "gravitational parameter (0: 3.986004418e14 m3/s2)", "", kSet},
    {"EarthRate", &FP::EarthRate, kSlotEarthRate, "rad/s", "rotation rate of the rotating Earths (0: 7.292115e-5 rad/s)", "", kSet},
    {"LaunchLat", &FP::LaunchLat, kSlotLaunchLat, "deg", "latitude of the launch site", "", kSet},
    {"LaunchLon", &FP::LaunchLon, kSlotLaunchLon, "deg", "longitude of the launch site", "", kSet},
    {"Azimuth", &FP::Azimuth, kSlotAzimuth, "deg", "direction of +X, clockwise from north", "", kSet},
    {"VwindCross", &FP::VwindCross, kSlotVwindCross, "m/s", "wind toward the right of the azimuth (WindModel 1)", "", kSet},
    {"RailLength", &FP::RailLength, kSlotRailLength, "m", "launch rail: the path keeps the launch angle along it (0: none)", "", kSet},
    {"Coast2", &FP::Coast2, kSlotCoast2, "s", "coast between burnout and the ignition of stage 2", "", kSet},
    {"Coast3", &FP::Coast3, kSlotCoast3, "s", "coast between burnout and the ignition of stage 3", "", kSet},
    {"ChuteCdS", &FP::ChuteCdS, kSlotChuteCdS, "m2", "drag area of the parachute (0: none)", "", kSet},
    {"ChuteDelay", &FP::ChuteDelay, kSlotChuteDelay, "s", "the parachute opens this long after the apex", "", kSet},
    {"ChuteHeight", &FP::ChuteHeight, kSlotChuteHeight, "m", "or on the way down at this height, if earlier (0: not)", "", kSet},
    {"GasDensity", &FP::GasDensity, kSlotGasDensity, "kg/m3", "density of the gas filling (task 3)", "", kSet, {},
     PG::kGas},  // shown by the gas block's display field
    {"FlightAltitude", &FP::FlightAltitude, kSlotFlightAltitude, "m", "flight altitude (task 3, shown only)", "",
     kSet, {}, PG::kGas},
    {"Mt", &FP::Mt, StageSlotOf(1, kStageFuelMass), "kg", "stage 1: fuel mass", "EdMt", kField, {}, PG::kStage},
    {"Iud", &FP::Iud, StageSlotOf(1, kStageIspSeaLevel), "N*s/kg", "stage 1: specific impulse at H = 0", "EdIud", kField, {}, PG::kStage},
    {"IudP0", &FP::IudP0, StageSlotOf(1, kStageIspVacuum), "N*s/kg", "stage 1: specific impulse in vacuum", "EdIudP0", kField, {}, PG::kStage},
    {"Mdv", &FP::Mdv, StageSlotOf(1, kStageDryMass), "kg", "stage 1: engine mass without fuel", "EdMdv", kField, {}, PG::kStage},
    {"Schub", &FP::Schub, StageSlotOf(1, kStageThrust), "N", "stage 1: vacuum thrust", "EdSchub", kField, {}, PG::kStage},
    {"S1", &FP::S1, StageSlotOf(1, kStageArea), "m2", "stage 1: area (kept, used by no computation)", "EdS1", kField, {}, PG::kStage},
    {"Mt2", &FP::Mt2, StageSlotOf(2, kStageFuelMass), "kg", "stage 2: fuel mass", "EdMt2", kField, {}, PG::kStage},
    {"Iud2", &FP::Iud2, StageSlotOf(2, kStageIspSeaLevel), "N*s/kg", "stage 2: specific impulse at H = 0 (0: no stage 2)", "EdIud2", kField, {}, PG::kStage},
    {"IudP2", &FP::IudP2, StageSlotOf(2, kStageIspVacuum), "N*s/kg", "stage 2: specific impulse in vacuum", "EdIudP2", kField, {}, PG::kStage},
    {"Mdv2", &FP::Mdv2, StageSlotOf(2, kStageDryMass), "kg", "stage 2: engine mass without fuel", "EdMdv2", kField, {}, PG::kStage},
    {"Schu2", &FP::Schu2, StageSlotOf(2, kStageThrust), "N", "stage 2: vacuum thrust", "EdSchu2", kField, {}, PG::kStage},
    {"S2", &FP::S2, StageSlotOf(2, kStageArea), "m2", "stage 2: area (kept, used by no computation)", "EdS2", kField, {}, PG::kStage},
    {"Mt3", &FP::Mt3, StageSlotOf(3, kStageFuelMass), "kg", "stage 3: fuel mass", "EdMt3", kField, {}, PG::kStage},
    {"Iud3", &FP::Iud3, StageSlotOf(3, kStageIspSeaLevel), "N*s/kg", "stage 3: specific impulse at H = 0 (0: no stage 3)", "EdIud3", kField, {}, PG::kStage},
    {"IudP3", &FP::IudP3, StageSlotOf(3, kStageIspVacuum), "N*s/kg", "stage 3: specific impulse in vacuum", "EdIudP3", kField, {}, PG::kStage},
    {"Mdv3", &FP::Mdv3, StageSlotOf(3, kStageDryMass), "kg", "stage 3: engine mass without fuel", "EdMdv3", kField, {}, PG::kStage},
    {"Schu3", &FP::Schu3, StageSlotOf(3, kStageThrust), "N", "stage 3: vacuum thrust", "EdSchu3", kField, {}, PG::kStage},
    {"S3", &FP::S3, StageSlotOf(3, kStageArea), "m2", "stage 3: area (kept, used by no computation)", "EdS3", kField, {}, PG::kStage},
};
// clang-format on

// Each name, member, slot and field belongs to one row; a row has a field exactly when the
// activation writes one, and only the first kPresetSlotsWritten slots take a preset's values.
consteval bool RowsAgree() {
  constexpr std::size_t n = std::size(kRows);
  for (std::size_t i = 0; i < n; ++i) {
    const ParamName& a = kRows[i];
    if (a.Slot < 0 || a.Slot >= kPresetSlots || a.Name.empty()) return false;
    if (a.Field.empty() != (a.Takes == kChoice || a.Takes == kSet)) return false;
    if (a.Slot >= kPresetSlotsWritten && a.Presets != std::array<double, kPresetCount>{}) return false;
    for (std::size_t j = 0; j < n; ++j) {
      const ParamName& b = kRows[j];
      if (a.Keeps != nullptr && a.Keeps == b.Member) return false;
      if (j <= i) continue;
      if (a.Name == b.Name || a.Member == b.Member || a.Slot == b.Slot) return false;
      if (!a.Field.empty() && a.Field == b.Field) return false;
      if (a.Keeps != nullptr && a.Keeps == b.Keeps) return false;
    }
  }
  return true;
}
static_assert(
    RowsAgree(),
    "two rows share a name, member, slot or field, or a row's field disagrees with how it is taken");
}  // namespace parameter_rows

inline constexpr std::span<const ParamName, std::size(parameter_rows::kRows)> kParamNames{
    parameter_rows::kRows};

}  // namespace zarn
