#pragma once
// Runs flown by the higher-order integrators: classical fourth-order Runge-Kutta with the step dt0,
// and the adaptive embedded 5(4) pair of Dormand and Prince with a relative tolerance and dt0 as
// its largest step. They fly the forces of the classic step written as rates of the state, locate
// the flight's events inside their steps and sample the table at its exact times, so that the
// result keeps the classic run's layout: one step line per step taken, 500 rows.
#include <cstdint>
#include <string_view>

#include "flight/integrator.h"
#include "records/flight_data.h"

namespace zarn {

enum class Method : int32_t { kEuler = 0, kRungeKutta4 = 1, kDormandPrince = 2 };

inline constexpr double kDefaultRtol = 1e-8;

// The method a run of p takes (the parameter Integrator; ValidateMethod refuses other values).
Method MethodOf(const FlightParameters& p);
// The relative tolerance of the adaptive method: Rtol, or kDefaultRtol for 0.
double RtolOf(const FlightParameters& p);
// Its name for summaries and menus: "Euler", "Runge-Kutta 4", "Dormand-Prince 5(4)".
std::string_view MethodName(Method m);
// The order p of the method's global error (1, 4, 5).
int MethodOrder(Method m);

// Refuses an Integrator other than 0, 1 or 2, a WindModel other than 0 or 1, and an Rtol outside
// 0 (for the default) or 1e-14 to 0.1, naming the value.
void ValidateMethod(const FlightParameters& p, char decimalSeparator = '.');

// Flies p with a higher-order method: both passes into result, feeding the sink as the classic run
// does (Begin, Step after each step, Sampled after the step in which a row's time falls, End).
// Without `rows` the rows are counted, not interpolated and stored: the rest stays the same.
void FlyHigherOrder(const FlightParameters& p, RunResult& result, const RunOptions& options, StepSink& sink,
                    bool rows = true);

}  // namespace zarn
