#pragma once
// One's own vehicle as its files describe it: a motor's thrust curve for a stage, a drag
// coefficient over Mach, a wind over height and a pitch program over time. A run reads them
// through FlightParameters::Vehicle; a run without it (the usual) flies the constant-thrust stages,
// the drag law and the one wind of its numeric parameters.
#include <array>
#include <optional>
#include <string>

#include "models/linear_table.h"
#include "models/thrust_curve.h"

namespace zarn {

// A stage's motor: its curve, and the motor's mass without propellant, which the stage drops at
// its end unless the stage's own engine mass is given.
struct StageMotor {
  std::string Name;  //!< the motor file's designation, for the form and the summary
  ThrustCurve Curve;
  double CaseMass = 0.0;  //!< [kg] total mass less propellant mass, from the file's header
};

struct VehicleTables {
  std::array<std::optional<StageMotor>, 3> Motors;  //!< stage 1..3
  // Cd over Mach: of the whole vehicle until stage 2 ignites, then of what flies on (each table
  // held until the next one given).
  std::array<std::optional<LinearTable>, 3> Cd;
  std::optional<LinearTable> WindAlong;   //!< [m/s] over height [m], toward +X
  std::optional<LinearTable> WindAcross;  //!< [m/s] over height [m], toward the right of the azimuth
  std::optional<LinearTable> Pitch;       //!< [deg] over time [s], against the local horizontal
};

}  // namespace zarn
