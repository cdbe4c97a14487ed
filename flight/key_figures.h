#pragma once
// The figures a user reads off a finished run: how long, how far, how high, how fast at the end,
// the largest loads, and the derived value of the task where it has one.
#include <optional>

#include "flight/integrator.h"
#include "records/flight_data.h"

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
};

// The figures of a run of the parameters p. The level-flight speed and the volume follow from the
// parameters as the activation derives them; a value the arithmetic refuses is left out rather
// than reported. Task 4 has no volume of its own (its field shows a fixed 100000 m^3), so it has
// none here.
KeyFigures KeyFiguresOf(const FlightParameters& p, const RunResult& run);

}  // namespace zarn
