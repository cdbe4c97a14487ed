#pragma once
// The figures a user reads off a finished run: how long, how far, how high, how fast at the end,
// the largest loads, and the derived value of the task where it has one.
#include <optional>

#include "flight/integrator.h"
#include "records/flight_data.h"

namespace zarn {

struct KeyFigures {
  double FlightTime;                       //!< [s] t at the end of the run
  double Range;                            //!< [m] X at the end
  double ApexH;                            //!< [m] largest height of the recording pass
  double EndSpeed;                         //!< [m/s] V at the end
  double MaxQ;                             //!< [Pa] largest dynamic pressure
  double PeakNx;                           //!< [g] load factor nx of the largest magnitude, signed
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
