#include "flight/run_loop.h"

#include <limits>
#include <vector>

#include "flight/columns.h"
#include "flight/ode_run.h"
#include "flight/parameters.h"
#include "flight/stages.h"
#include "records/constants.h"
#include "records/errors.h"

namespace zarn {
namespace {

class TwoPasses {
 public:
  TwoPasses(const FlightParameters& p, RunResult& result, const RunOptions& options, StepRule& rule)
      : p_(p), d_(result), options_(options), rule_(rule) {
    // Without a callback the countdown starts where no run reaches it.
    const bool report = options_.Progress && options_.ProgressEvery > 0;
    every_ = report ? options_.ProgressEvery : std::numeric_limits<int64_t>::max();
  }

  void Fly() {
    const bool probe = rule_.NeedsDuration();
    if (probe) {
      FlyPass();
      Probed();
    }
    pass_ = 1;
    // The recording pass flies the same flight again and locates its events on the way. Where the
    // forces act on the speed relative to the air, so do the Mach number and q of the events.
    // In three dimensions the wind is always the air's motion.
    const double wind = p_.WindModel == 1.0 || FliesInThreeDimensions(p_) ? p_.Vwind : 0.0;
    EventLog log(EventSettings{p_.Hk, RunAirOf(p_), ScheduledEvents(), wind, p_.Tk});
    rule_.BeginEvents(log);
    FlyPass();
    rule_.EndEvents();
    if (!probe) Probed();  // the same flight: the same steps, evaluations and duration
    d_.Events = log.Finish();
    d_.AtEndTime = log.AtEndTime();
    d_.LocatedMaxQ = log.MaxQ();
    rule_.Finish();
    ConvertUnits(d_.Table, d_.Units);
  }

 private:
  // What the probe pass found.
  void Probed() {
    RunSummary& sum = d_.Summary;
    sum.StepsPerPass = steps_;
    sum.RateEvaluations = rule_.Evaluations();
    sum.Method = static_cast<int32_t>(MethodOf(p_));
    duration_ = d_.Final.t;
    sum.SampleInterval = Div(d_.Final.t, d_.Table.RowsPerColumn);
  }

  void FlyPass() {
    rule_.Launch(pass_);
    untilReport_ = every_;
    bool more = true;
    while (more) {
      more = rule_.Advance();
      ++steps_;
      if (--untilReport_ == 0) Report();
    }
    if (options_.Progress) Report();  // the end of each pass, so that a caller sees 100 %
  }

  // The burnouts and stagings, known before the flight from the stages' figures.
  std::vector<ScheduledEvent> ScheduledEvents() const {
    return p_.TaskKind == kTaskRocket ? StageEvents(PlanStages(p_)) : std::vector<ScheduledEvent>{};
  }

  [[gnu::noinline]] void Report() {
    untilReport_ = every_;
    const RunProgress progress{pass_, d_.Final.t, p_.Tk, pass_ == 1 ? duration_ : 0.0, steps_};
    if (!options_.Progress(progress)) throw Error("Run cancelled");
  }

  const FlightParameters& p_;
  RunResult& d_;
  const RunOptions& options_;
  StepRule& rule_;
  int32_t pass_ = 0;
  double duration_ = 0.0;  //!< [s] final t of the probe pass, for progress reports
  int64_t every_;
  int64_t untilReport_ = 0;
  int64_t steps_ = 0;  //!< both passes
};

}  // namespace

void FlyTwoPasses(const FlightParameters& p, RunResult& result, const RunOptions& options, StepSink& sink,
                  StepRule& rule) {
  sink.Begin();
  try {
    TwoPasses(p, result, options, rule).Fly();
    sink.End(result);
  } catch (...) {
    // Keep what the sink took, but report the fault that stopped the run, not a later one.
    sink.Abandon();
    throw;
  }
}

}  // namespace zarn
