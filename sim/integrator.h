#pragma once
// The trajectory computation behind START: a probe pass that finds the flight's duration, a
// recording pass that flies it again and stores 500 samples, both writing the step file; then
// the unit conversion and the sample file. Which graph to show next is the caller's choice.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "records/flight_data.h"
#include "sim/file_sink.h"

namespace zarn {

struct RunProgress {
  int32_t Pass;     //!< 0 probe, 1 recording
  double t;         //!< [s] model time reached
  double Tk;        //!< [s] end time of the flight (for a fraction in the probe pass)
  double Duration;  //!< [s] duration found by the probe pass (0 during the probe pass)
  int64_t Steps;    //!< steps done in this run so far, both passes
};

struct RunOptions {
  std::filesystem::path Directory = ".";  //!< where the two result files go
  // false: neither result file is created and no step line is formatted (a sweep's case that
  // keeps only its figures); the table, the state and the summary are the same.
  bool WriteFiles = true;
  // Called every ProgressEvery steps; returning false stops the run with "Run cancelled".
  std::function<bool(const RunProgress&)> Progress;
  int64_t ProgressEvery = 8192;
  // How the step file's disk guard reads the free space (a SharedSpaceGuard to share one reserve
  // among runs); empty: the file system's own figure.
  SpaceProbe Space;
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
// (MassaStart = 0)". ComputeTrajectory calls it before touching any file.
void ValidateRun(const ZarnData& d, char decimalSeparator = '.');

// Runs the whole computation on d. Throws Error (FloatingPointError, FileError, or a cancelled or
// refused run); what was written or stored before the failure stays. A run that writes files holds
// their folder for its length (ResultFolder): a second run into it is refused, and the folder never
// holds a step file and a sample file of different runs.
void ComputeTrajectory(ZarnData& d, const RunOptions& options = {});

// What a user should know about a run that stored fewer rows than the table holds, e.g.
// "248 of 500 samples: the flight took 248 steps; a step of 0.0024 s or less fills all 500";
// "1 of 500 samples: the flight ended at its first step" for a flight of one step, which a
// shorter step would end as soon; empty when the run filled the table or stored nothing. The step named is
// the flight's duration / 500 (SampleInterval) rounded down to two significant digits.
std::string FewSamplesNote(const ZarnData& d, char decimalSeparator);

}  // namespace zarn
