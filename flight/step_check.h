#pragma once
// How fine the step of a run is: the same flight again with half the step (for the adaptive
// method, a tenth of the tolerance), and for each key figure the two values and the estimated
// error of the first by Richardson's rule. The figures are those read inside the steps (the
// impact, or the state at the end time; the apex event; the max_q event), so that both runs are
// compared at the same moments and not at step ends that move with the step.
#include <array>
#include <string>
#include <string_view>

#include "flight/integrator.h"
#include "flight/key_figures.h"
#include "flight/ode_run.h"

namespace zarn {

struct CheckedFigure {
  FigureId Figure;         //!< its row of kFigures
  std::string_view Key;    //!< as the runner's JSON names it: "X_m", ...
  std::string_view Label;  //!< "Range", ...
  std::string_view Unit;
  double Value;     //!< the run as given
  double HalfStep;  //!< the run with half the step (a tenth of the tolerance)
  double Error;     //!< estimated error of Value: (Value - HalfStep) * r^p / (r^p - 1)
  bool Present;     //!< both runs have it (an apex only where both flights climb and turn)
};

struct StepCheck {
  Method Of;
  double Finer;  //!< the second run's step [s] or, for the adaptive method, its tolerance
  std::array<CheckedFigure, 5> Figures;  //!< flight time, range, apex, end speed, largest q
  bool Coarse;                           //!< the range's or apex's error exceeds kCoarseShare of it
  // False where the error does not follow the step, so that two runs cannot estimate it: Euler
  // ends a rocket's stages and hold at step ends, and moves them by up to a step as the step
  // changes. The values are then compared without an estimate.
  bool Estimated;
};

inline constexpr double kCoarseShare = 0.001;  //!< 0.1 %

// The factor that turns the difference of the two runs into the error of the first: the finer
// run's error is the first's divided by 2^p for half the step (1/10 for a tenth of the tolerance).
double RichardsonFactor(Method m);

// The parameters of the finer run.
FlightParameters FinerOf(const FlightParameters& p);
// Refuses, before any run, a check whose finer run could not be flown (an Rtol below the
// method's least, more steps than a run may take), naming the finer value.
void ValidateStepCheck(const FlightParameters& p, char decimalSeparator = '.');

// Flies p again with the finer setting (no files; `options` gives progress and cancel only) and
// compares it with `first`, the run of p as given.
StepCheck CheckStep(const FlightParameters& p, const RunResult& first, const RunOptions& options = {});

// The check for people, one line a figure, and the note when the step is coarse.
std::string StepCheckText(const StepCheck& c);
// The check for scripts: {"method": ..., "finer": ..., "X_m": {"value": ..., "half_step": ...,
// "error": ...}, ..., "coarse": false}.
std::string StepCheckJson(const StepCheck& c);

}  // namespace zarn
