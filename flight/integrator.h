#pragma once
// The trajectory computation behind START: a probe pass that finds the flight's duration, a
// recording pass that flies it again and stores 500 samples, then the unit conversion. A run takes
// its parameters as a value and gives its result as a value: runs share nothing and may go on side
// by side, on any thread. What becomes of each step (the step file) is the business of a sink.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "flight/events.h"
#include "models/flight_model.h"
#include "records/flight_data.h"

namespace zarn {

// The air of every method's run (FlightAir) for the events located between the steps: the table's,
// or with AtmosphereModel 1 the computed standard's.
AirAt RunAir(double H);
AirModel RunAirOf(const FlightParameters& p);
// The atmosphere a run of p flies in.
Atmosphere AtmosphereOf(const FlightParameters& p);

struct RunProgress {
  int32_t Pass;     //!< 0 probe, 1 recording
  double t;         //!< [s] model time reached
  double Tk;        //!< [s] end time of the flight (for a fraction in the probe pass)
  double Duration;  //!< [s] duration found by the probe pass (0 during the probe pass)
  int64_t Steps;    //!< steps done in this run so far, both passes
};

// What a run gives.
// Steps between two progress reports of the programs' runs: a step takes well under a
// microsecond, so a Cancel or Ctrl-C is answered within a few milliseconds, and a report per 4096
// steps costs nothing measurable.
inline constexpr int64_t kProgressEvery = 4096;

// How far the pass of a report has come, 0..1. The probe pass does not yet know where the flight
// ends, only its end time: t / Tk, which a flight that lands early never fills. The recording pass
// flies the duration the probe found. An end of 0 (a flight of one step) counts as a finished pass.
double PassFraction(const RunProgress& progress);

// The share of the whole run that a report stands for, 0 to 1: the probe pass fills the first
// half, the recording pass the second.
double RunFraction(const RunProgress& progress);

struct RunResult {
  TrajectoryTable Table;  //!< rows 1..Summary.SamplesStored hold the run, in the units of Units
  UnitFlags Units;
  RunSummary Summary;
  FlightState Final;  //!< the state after the last step
  // The moments of the flight, each inside the step where it happened, in time order (see
  // flight/events.h): launch, burnouts and stagings, Mach 1, the largest dynamic pressure, the
  // apex and the impact. The result files know nothing of them.
  std::vector<FlightEvent> Events;
  // The state at the end time Tk, read inside the last step, where the flight was still in the air
  // then; the classic run's last step may pass Tk by most of a step.
  std::optional<FlightEvent> AtEndTime;
  double LocatedMaxQ = 0.0;  //!< [Pa] the dynamic pressure of the max_q event
};

// Takes every step of a run as it happens. The run calls Begin once, after the parameters passed
// their check; then Step after every motion step of both passes, and Sampled when the step just
// given was stored as a table row; then End with the finished result, or Abandon when the run
// stops on a fault (the fault is the run's, not the sink's: Abandon reports nothing).
class StepSink {
 public:
  virtual ~StepSink() = default;
  virtual void Begin() = 0;
  virtual void Step(const FlightState& s) = 0;
  virtual void Sampled(int32_t row) = 0;
  virtual void End(const RunResult& result) = 0;
  virtual void Abandon() noexcept = 0;
};

struct RunOptions {
  // Where the steps go; nullptr: nowhere (a run without files: the same result).
  StepSink* Sink = nullptr;
  // Called every ProgressEvery steps; returning false stops the run with "Run cancelled".
  std::function<bool(const RunProgress&)> Progress;
  int64_t ProgressEvery = 8192;
  // false: the run stores no row of its table, for a caller that reads only its figures and events
  // (they stay the same to the bit); Summary.SamplesStored still counts the rows it would have
  // stored. Only without a sink: the files are written from the rows.
  bool Rows = true;
};

// The most steps a pass may take: a billion steps hold a core for minutes; more would look like a
// run that never ends.
inline constexpr int64_t kMaxStepsPerPass = 1'000'000'000;

// Refuses parameters with which a run could never end (dt0 not a positive finite number, Tk not
// finite, a step that cannot advance the time up to Tk or would take more than kMaxStepsPerPass
// steps) with an Error naming the field, its value and, for a step, the steps it would take.
void ValidateRunParameters(const FlightParameters& p, char decimalSeparator = '.');

// Refuses what a run cannot mean, before anything of the run: ValidateRunParameters, then a
// negative S0, Cx, gas density (task 3), or fuel mass, engine mass or thrust of a stage (task 8),
// and a start mass of 0 or less, each with the parameter's name and value. A start mass with which
// the first step would fail names that fault first: "Invalid floating point operation
// (MassaStart = 0)". ComputeTrajectory calls it before the sink begins.
void ValidateRun(const FlightParameters& p, char decimalSeparator = '.');

// Flies the parameters. Throws Error (FloatingPointError, FileError from the sink, or a cancelled
// or refused run); what the sink took before the failure stays.
std::unique_ptr<RunResult> ComputeTrajectory(const FlightParameters& p, const RunOptions& options = {});
// The same into a result the caller keeps from run to run (a sweep's thread: no 400 kB table to
// allocate and clear for each case). All of it is reset; the table's rows are cleared only where
// the run stores rows.
void ComputeTrajectory(const FlightParameters& p, const RunOptions& options, RunResult& result);

}  // namespace zarn
