#pragma once
// The figures a user reads off a finished run: how long, how far, how high, how fast at the end,
// the largest loads, and the derived value of the task where it has one. The table of them below
// names each once: the runner's summary, --json and sweep rows, the window's figures, the step
// check and Python all read it. A new figure is a row there (and its number in FigureId).
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "flight/integrator.h"
#include "records/flight_data.h"
#include "records/language.h"

namespace zarn {

// Where the flight ends: at its impact (read inside the step) where it meets the end height, else
// after its last step.
struct KeyFigures {
  double FlightTime;  //!< [s] t where the flight ends
  double Range;       //!< [m] X there
  double EndSpeed;    //!< [m/s] V there
  // After the last step, as the result files keep it: below the end height or past Tk by up to a step.
  double LastStepTime;                     //!< [s]
  double LastStepRange;                    //!< [m]
  double LastStepSpeed;                    //!< [m/s]
  double LastStepH;                        //!< [m]
  double LastStepAngle;                    //!< [deg] trajectory angle
  double LastStepMass;                     //!< [kg]
  int64_t StepsPerPass;                    //!< of the run's probe pass
  int32_t SamplesStored;                   //!< table rows
  std::optional<double> ApexH;             //!< [m] height of the apex, where the flight has one
  double MaxQ;                             //!< [Pa] largest dynamic pressure
  double PeakNx;                           //!< [g] load factor nx of the largest magnitude, signed
  bool LocatedMaxima;                      //!< MaxQ and PeakNx searched inside the steps, not at their ends
  std::optional<double> LevelFlightSpeed;  //!< [m/s] task 5, when the parameters give one
  std::optional<double> BuoyantVolume;     //!< [m^3] task 3, when the parameters give one
  // At the impact (the crossing of the end height) and the apex, where the flight has them.
  std::optional<double> ImpactTime;   //!< [s]
  std::optional<double> ImpactRange;  //!< [m]
  std::optional<double> ImpactSpeed;  //!< [m/s]
  std::optional<double> ImpactAngle;  //!< [deg]
  std::optional<double> ApexTime;     //!< [s]
  std::optional<double> ApexRange;    //!< [m]
  // Of a vehicle with a launch rail or a parachute, where the flight has them.
  std::optional<double> RailExitTime;   //!< [s]
  std::optional<double> RailExitSpeed;  //!< [m/s]
  std::optional<double> ChuteOpenTime;  //!< [s]
  std::optional<double> LandingSpeed;   //!< [m/s] under the parachute
  std::optional<double> Drift;          //!< [m] range at the landing
};

// The figures of a run of the parameters p. The level-flight speed and the volume follow from the
// parameters as the activation derives them; a value the arithmetic refuses is left out rather
// than reported. Task 4 has no volume of its own (its field shows a fixed 100000 m^3), so it has
// none here.
KeyFigures KeyFiguresOf(const FlightParameters& p, const RunResult& run);

enum FigureId : int {
  kFigSteps,       //!< steps per pass
  kFigSamples,     //!< table rows stored
  kFigTime,        //!< [s] t at the last step: the flight time
  kFigRange,       //!< [m] X at the last step: the range
  kFigApex,        //!< [m] height of the apex event
  kFigEndH,        //!< [m] H at the last step
  kFigEndV,        //!< [m/s] V at the last step
  kFigEndAngle,    //!< [deg] trajectory angle at the last step
  kFigEndMass,     //!< [kg] mass at the last step
  kFigMaxQ,        //!< [kPa] largest dynamic pressure
  kFigPeakNx,      //!< [g] load factor nx of the largest magnitude, signed
  kFigLevelSpeed,  //!< [m/s] level-flight speed (task 5 only)
  kFigVolume,      //!< [m^3] buoyant volume (task 3 only)
  // At the events, each inside its step (flight/events.h); left out where the flight has none.
  kFigImpactT,     //!< [s] time of the impact: the crossing of the end height Hk
  kFigImpactX,     //!< [m] range at the impact
  kFigImpactV,     //!< [m/s] speed at the impact
  kFigImpactQ,     //!< [deg] trajectory angle at the impact
  kFigApexT,       //!< [s] time of the apex
  kFigApexX,       //!< [m] range at the apex
  kFigRailExitT,   //!< [s] the body leaves its launch rail
  kFigRailExitV,   //!< [m/s] at that speed
  kFigChuteOpenT,  //!< [s] the parachute opens
  kFigLandingV,    //!< [m/s] speed at the landing under the parachute
  kFigDrift,       //!< [m] range at the landing
  kFigureCount
};

struct FigureRow {
  std::string_view Key;    //!< JSON key and summary column: name and unit, as the CSV names columns
  std::string_view Label;  //!< for people, in English: the runner's summary and the step check
  std::string_view Unit;   //!< "" for counts, which read as whole numbers
  int Column;              //!< the table column whose unit switch the window applies to it; -1: none
  std::optional<double> (*Read)(const KeyFigures& k);  //!< in Unit; nullopt where the run has none
  Phrase Caption;  //!< in the window; German nullptr: the window does not show it
};

// In the order of FigureId.
// clang-format off
inline constexpr std::array<FigureRow, kFigureCount> kFigures{{
    {"steps_per_pass", "Steps per pass", "", -1,
     [](const KeyFigures& k) -> std::optional<double> { return static_cast<double>(k.StepsPerPass); }, {}},
    {"samples_stored", "Samples stored", "", -1,
     [](const KeyFigures& k) -> std::optional<double> { return k.SamplesStored; }, {}},
    {"t_s", "Flight time", "s", kColT,
     [](const KeyFigures& k) -> std::optional<double> { return k.LastStepTime; },
     {"Flugzeit", "Время полёта", "flight time"}},
    {"X_m", "Range", "m", kColX,
     [](const KeyFigures& k) -> std::optional<double> { return k.LastStepRange; },
     {"Reichweite", "Дальность", "range"}},
    {"apex_H_m", "Apex height", "m", kColH,
     [](const KeyFigures& k) { return k.ApexH; },
     {"Gipfelhöhe", "Макс. высота", "apex height"}},
    {"H_m", "End height", "m", kColH,
     [](const KeyFigures& k) -> std::optional<double> { return k.LastStepH; }, {}},
    {"V_m_s", "End speed", "m/s", -1,
     [](const KeyFigures& k) -> std::optional<double> { return k.LastStepSpeed; },
     {"Endgeschwindigkeit", "Конечная скорость", "end speed"}},
    {"Q_deg", "End angle", "deg", -1,
     [](const KeyFigures& k) -> std::optional<double> { return k.LastStepAngle; }, {}},
    {"Mass_kg", "End mass", "kg", -1,
     [](const KeyFigures& k) -> std::optional<double> { return k.LastStepMass; }, {}},
    {"max_q_kPa", "Largest dynamic pressure", "kPa", -1,
     [](const KeyFigures& k) -> std::optional<double> { return k.MaxQ / 1000.0; },
     {"max. Staudruck", "Макс. скор. напор", "max. dynamic pressure"}},
    {"peak_nx_g", "Peak load factor nx", "g", -1,
     [](const KeyFigures& k) -> std::optional<double> { return k.PeakNx; },
     {"Spitzen-Lastvielfaches nx", "Пик. перегрузка nx", "peak load factor nx"}},
    {"level_flight_speed_m_s", "Level-flight speed", "m/s", -1,
     [](const KeyFigures& k) { return k.LevelFlightSpeed; },
     {"Horizontalflug-Geschw.", "Скорость гориз. полёта", "level-flight speed"}},
    {"buoyant_volume_m3", "Buoyant volume", "m3", -1,
     [](const KeyFigures& k) { return k.BuoyantVolume; },
     {"Volumen", "Объём", "buoyant volume"}},
    {"impact_t_s", "Impact time", "s", kColT, [](const KeyFigures& k) { return k.ImpactTime; }, {}},
    {"impact_X_m", "Impact range", "m", kColX, [](const KeyFigures& k) { return k.ImpactRange; }, {}},
    {"impact_V_m_s", "Impact speed", "m/s", -1, [](const KeyFigures& k) { return k.ImpactSpeed; }, {}},
    {"impact_Q_deg", "Impact angle", "deg", -1, [](const KeyFigures& k) { return k.ImpactAngle; }, {}},
    // The window shows it after the apex height, joined by its caption: "Gipfelhöhe: 244 m bei 6.965 s".
    {"apex_t_s", "Apex time", "s", kColT,
     [](const KeyFigures& k) { return k.ApexTime; },
     {"bei", "в", "at"}},
    {"apex_X_m", "Range at the apex", "m", kColX, [](const KeyFigures& k) { return k.ApexRange; }, {}},
    {"rail_exit_t_s", "Rail exit time", "s", kColT, [](const KeyFigures& k) { return k.RailExitTime; }, {}},
    {"rail_exit_V_m_s", "Rail exit speed", "m/s", -1, [](const KeyFigures& k) { return k.RailExitSpeed; }, {}},
    {"chute_open_t_s", "Parachute opening time", "s", kColT, [](const KeyFigures& k) { return k.ChuteOpenTime; }, {}},
    {"landing_V_m_s", "Landing speed", "m/s", -1, [](const KeyFigures& k) { return k.LandingSpeed; }, {}},
    {"drift_m", "Drift at the landing", "m", kColX, [](const KeyFigures& k) { return k.Drift; }, {}},
}};
// clang-format on

// The value of every figure, in the order of FigureId; a figure the run has not is nullopt.
using Figures = std::array<std::optional<double>, kFigureCount>;
Figures FiguresOf(const KeyFigures& k);

// Where a flight ends at the ground, people read its time, range and speed at the impact under the
// plain captions, and those of the last step (below the ground) under their own.
struct ShownFigure {
  int From;                //!< the figure whose value figure `id` shows
  std::string_view Label;  //!< the summary's label for it
};
ShownFigure ShownAs(const Figures& figures, int id);

}  // namespace zarn
