#pragma once
// Solving over one parameter: every value whose run gives a figure its target, and the value where
// a figure is largest or smallest. Each evaluation is a whole run, so the methods count them: a
// coarse scan finds the brackets, then TOMS 748 (roots) or Brent's minimisation (extremes) refine
// them; both keep their bracket, so that they stay sure near a flat maximum, where Newton's method
// would step out of it.
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace zarn {

// A figure of one run as a function of the parameter; nothing where the run gives no such figure
// (a refused run, or one without the event the figure belongs to).
using Objective = std::function<std::optional<double>(double x)>;

// The scan: this many equal intervals over FROM..TO, both ends included.
inline constexpr int kScanIntervals = 12;

struct Solution {
  double X;      //!< the parameter's value
  double Value;  //!< the figure there
  int64_t Runs;  //!< the runs of the scan and of the search that found it
};

// What the figure reaches at best where no value gives the target.
struct Reach {
  bool Above;      //!< the target lies above everything the figure reaches (else below)
  double Extreme;  //!< the figure's largest (Above) or smallest value
  double At;       //!< where it has it
};

struct TargetAnswer {
  std::vector<Solution> Solutions;  //!< in increasing X
  std::optional<Reach> Unreached;   //!< where the figure stays on one side of the target
  std::vector<double> JumpsAt;      //!< where it passes the target in a jump, with no run within tol
  std::vector<double> NoFigureAt;   //!< a run inside a bracket that gave no figure, where it was
  bool NoFigure = false;            //!< no run gave the figure at all
  int64_t Runs = 0;                 //!< all runs
};

// Every x in [from, to] with |f(x) - target| <= tol: each sign change of the scan refined by
// TOMS 748 until a run lands within tol. Where the scan has none, the extreme towards the target
// decides: past the target it splits into two brackets (the low and the high root), else the
// target is unreached. A bracket that closes to the last bits of x without a run within tol (a jump
// of the figure) gives no solution but its place. The extreme is found to xtol.
TargetAnswer SolveForTarget(const Objective& f, double from, double to, double target, double tol,
                            double xtol);

// The x in [from, to] where f is largest (maximize) or smallest, to within xtol: the scan's best
// point and its neighbours bracket it, Brent's method refines. Nothing when no run gives a value.
std::optional<Solution> FindExtreme(const Objective& f, double from, double to, double xtol, bool maximize);

}  // namespace zarn
