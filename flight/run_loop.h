#pragma once
// The two passes of every run, whatever rule takes its steps: a probe pass that finds the flight's
// duration, a recording pass that flies it again with the sample interval that duration gives and
// hands its points to the event log, then the unit conversion. The rule (the classic Euler step,
// or a higher-order method) takes the steps, gives each to the sink and stores the rows that fall
// in it; the loop counts the steps, reports the progress and ends the run.
#include <cstdint>

#include "flight/events.h"
#include "flight/integrator.h"
#include "records/flight_data.h"

namespace zarn {

class StepRule {
 public:
  virtual ~StepRule() = default;
  // Puts the flight at its launch for a pass (0 probe, 1 recording).
  virtual void Launch(int32_t pass) = 0;
  // Takes one step and hands it on (to the sink; in the recording pass also its rows and, while
  // recording, its points to the log); false once the flight has ended.
  virtual bool Advance() = 0;
  // The rates of the state that the pass evaluated.
  virtual int64_t Evaluations() const = 0;
  // Around the recording pass: the log its points go to, and the end of its flight.
  virtual void BeginEvents(EventLog& log) = 0;
  virtual void EndEvents() = 0;
  // After the events: what the rule finds from the whole flight.
  virtual void Finish() {}
  // Whether the recording pass needs the probe pass's duration: only for the times of its rows. A
  // rule that stores none and flies the same flight in both passes may fly the recording pass
  // alone.
  virtual bool NeedsDuration() const { return true; }
};

// Flies both passes of p by `rule` into `result` (whose Final the rule keeps up to date), feeding
// `sink` as StepSink says: Begin, then the rule's steps and rows, then End, or Abandon on a fault.
void FlyTwoPasses(const FlightParameters& p, RunResult& result, const RunOptions& options, StepSink& sink,
                  StepRule& rule);

}  // namespace zarn
