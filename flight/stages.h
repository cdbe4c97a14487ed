#pragma once
// The rocket's stages as every method flies them: each stage's figures from the parameters, the
// end of each stage's burn window, and the burnouts and stagings that those ends fix.
#include <array>
#include <vector>

#include "flight/events.h"
#include "records/flight_data.h"

namespace zarn {

struct StagePlan {
  std::array<StageData, 3> Stages{};  //!< stage 1 first
  std::array<double, 3> End{};        //!< [s] end of each stage's window: the burn times summed
};

// The stages of a rocket. A zero sea-level Isp marks an upper stage that does not exist: it burns
// for no time. A mass flow or burn time the arithmetic refuses throws FloatingPointError.
StagePlan PlanStages(const FlightParameters& p);

// The stage that burns in a step of the Euler rule starting at t: the first whose window (closed
// above) holds t, the third past the second's window. Only for t up to the third window's end.
int StageBurningAt(const StagePlan& plan, double t);

// The stage that burns just after t (0 none): the first burning stage whose window ends after t.
// The higher-order methods change mode at the windows' ends.
int StageAfter(const StagePlan& plan, double t);

// The mass once the stage `after` takes over from `before`: the engine of the stage just burned
// is dropped where the next one starts; the third stage's engine stays on board after its burn, as
// the last engine of a smaller vehicle does.
double MassAfterStaging(const StagePlan& plan, int before, int after, double mass);

// Each burning stage's fuel is gone at its window's end, and its engine is dropped there where
// the next stage takes over (the third stage keeps its own).
std::vector<ScheduledEvent> StageEvents(const StagePlan& plan);

}  // namespace zarn
