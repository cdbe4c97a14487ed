#pragma once
// The rocket's stages as every method flies them: each stage's figures from the parameters, the
// end of each stage's burn window, and the burnouts and stagings that those ends fix.
#include <array>
#include <optional>
#include <vector>

#include "flight/events.h"
#include "models/vehicle_tables.h"
#include "records/flight_data.h"

namespace zarn {

struct StagePlan {
  std::array<StageData, 3> Stages{};  //!< stage 1 first
  std::array<double, 3> End{};        //!< [s] end of each stage's window: the burn times summed
  // [s] each stage's ignition: the end of the window before, plus the coast before it.
  std::array<double, 3> Ignition{};
  // A stage flown on a motor's thrust curve (nullptr: constant thrust). Points into the run's
  // FlightParameters::Vehicle, which outlives the run.
  std::array<const StageMotor*, 3> Motors{};
};

// What a burning stage gives at an instant.
struct StagePush {
  double Thrust;    //!< [N]
  double Isp;       //!< [N*s/kg] thrust / mass flow
  double MassFlow;  //!< [kg/s]
};

// The push of stage `stage` (1..3) at t in its window, at the air's pressure Pbar: a motor's
// curve from its ignition, else the stage's constant thrust at its Isp.
StagePush StagePushAt(const StagePlan& plan, int stage, double t, double Pbar);

// The stages of a rocket. A zero sea-level Isp marks an upper stage that does not exist: it burns
// for no time. A mass flow or burn time the arithmetic refuses throws FloatingPointError.
StagePlan PlanStages(const FlightParameters& p);

// The stage that burns in a step of the Euler rule starting at t: the first whose window (closed
// above) holds t, the third past the second's window, 0 in a coast before an ignition. Only for t
// up to the third window's end.
int StageBurningAt(const StagePlan& plan, double t);

// The stage that burns just after t (0 none, or a coast): the first burning stage whose window ends
// after t, where it has ignited.
// The higher-order methods change mode at the windows' ends.
int StageAfter(const StagePlan& plan, double t);

// The mass once the stage `after` takes over from `before` (the last stage that burned, across a
// coast): the engine of the stage just burned is dropped where the next one ignites; the third
// stage's engine stays on board after its burn, as the last engine of a smaller vehicle does.
double MassAfterStaging(const StagePlan& plan, int before, int after, double mass);

// Each burning stage's fuel is gone at its window's end, and its engine is dropped where the next
// stage ignites (the third stage keeps its own).
std::vector<ScheduledEvent> StageEvents(const StagePlan& plan);

// The drag table of what flies once stage `last` (0 none yet) has burned: the vehicle's own until
// stage 2 ignites, then the latest one given. The vehicle has a table for the whole (Cd[0]).
const LinearTable& DragTableOf(const VehicleTables& vehicle, int last);

// [deg/s] the pitch program's rate at t: the slope of the row it is in (the mean of both at a row).
double PitchRate(const LinearTable& pitch, double t);

// Adds to a run's events the rail's end and the parachute's opening where the flight had them, and
// with a parachute the landing at the impact; all in time order.
void MergeVehicleEvents(const FlightParameters& p, const std::optional<FlightEvent>& railExit,
                        const std::optional<FlightEvent>& chuteOpen, std::vector<FlightEvent>& events);

}  // namespace zarn
