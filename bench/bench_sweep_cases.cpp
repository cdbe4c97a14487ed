// What a case of a sweep or Monte Carlo run costs beside its forces: for preset 0, preset 4 and the
// three-stage rocket under each method, the force evaluations a case makes (Euler's both passes;
// a higher-order method's one, as a case without rows flies no probe pass), the nanoseconds of one
// evaluation in a tight loop, the nanoseconds of a case in a Monte Carlo run on one thread
// (drawing, flying, its row and the statistics), that against its evaluations' cost, and the cases
// per second of the same run on two threads. Each timing is the median of five; the first two
// count processor time, so that a shared machine moves them less; the last is wall time, and the
// load average printed first says how busy the machine was.
//
//   build-dev/bench/bench_sweep_cases [CASES_SECONDS]
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#include "flight/integrator.h"
#include "flight/presets.h"
#include "flight/stages.h"
#include "models/derivatives.h"
#include "models/flight_model.h"
#include "models/motion_step.h"
#include "records/constants.h"
#include "runner/runner.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Subject {
  const char* Name;
  std::vector<std::string> Args;  //!< the flight, without its method
};

struct Method {
  const char* Name;
  std::vector<std::string> Args;
};

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

template <class F>
double Seconds(F&& f) {
  const Clock::time_point start = Clock::now();
  f();
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// The processor seconds of the whole process: on a shared machine a thread's own time, not the
// time others took from it.
double CpuNow() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

template <class F>
double CpuSeconds(F&& f) {
  const double start = CpuNow();
  f();
  return CpuNow() - start;
}

zarn::runner::BatchOptions Options(const std::vector<std::string>& args) {
  std::vector<std::string_view> views(args.begin(), args.end());
  return zarn::runner::ParseArguments(views);
}

// The states after each step of the recording pass.
class StateSink final : public zarn::StepSink {
 public:
  std::vector<zarn::FlightState> States;
  int32_t Pass = -1;
  void Begin() override {}
  void Step(const zarn::FlightState& s) override {
    if (s.t == 0.0 || States.empty() || s.t < States.back().t) States.clear();  // a new pass
    States.push_back(s);
  }
  void Sampled(int32_t) override {}
  void End(const zarn::RunResult&) override {}
  void Abandon() noexcept override {}
};

// The burning stage at t, its thrust at the air's pressure (0 after the last burn).
double ThrustAt(const zarn::FlightParameters& p, const zarn::StagePlan& plan, double t, double Pbar) {
  if (p.TaskKind != zarn::kTaskRocket || t > plan.End[2]) return 0.0;
  const int stage = zarn::StageBurningAt(plan, t);
  return stage == 0 ? 0.0 : zarn::StagePushAt(plan, stage, t, Pbar).Thrust;  // 0 in a coast
}

// The nanoseconds of one force evaluation in a tight loop: for Euler its step (air, Mach number,
// drag coefficient, thrust, the motion step) on its own state, for the higher-order methods the
// rates as their rule forms them (the same, then the point mass's rates) fed back by a plain step,
// so that each evaluation waits for the one before, as in a run. The flight starts again at its
// launch where it ends.
double EvaluationNs(const zarn::FlightParameters& p, bool euler, double duration) {
  const zarn::StagePlan plan = p.TaskKind == zarn::kTaskRocket ? zarn::PlanStages(p) : zarn::StagePlan{};
  zarn::FlightState launch{};
  launch.H = p.H0;
  launch.V = std::max(p.V0, 0.01);
  launch.Theta = p.TTO / zarn::kDegPerRad;
  launch.Mass = p.MassaStart;
  launch.Area = p.S0;
  launch.CyCur = p.Cy;
  const double h = euler ? p.dt0 : duration / 1000.0;
  constexpr int64_t kEvaluations = 2'000'000;
  std::vector<double> ns;
  volatile double keep = 0.0;
  for (int i = 0; i < 5; ++i) {
    zarn::FlightState s = launch;
    std::size_t band = 0;
    zarn::AngleTrig trig;
    const double seconds = CpuSeconds([&] {
      for (int64_t n = 0; n < kEvaluations; ++n) {
        s.Atm = zarn::FlightAir(s.H, band);
        s.Mach = s.V / s.Atm.Vsound;
        s.CxCur = zarn::DragCoefficient(p.Cx, p.AeroModel, s.Mach);
        s.Thrust = ThrustAt(p, plan, s.t, s.Atm.Pbar);
        if (euler) {
          zarn::MotionStep(s, p.Vwind, p.dt0, 0, trig);
        } else {
          const zarn::PointMass m{s.Thrust, s.Mass,    p.S0,    s.CxCur,
                                  p.Cy,     s.Atm.Roh, p.Vwind, zarn::Wind::kClassic};
          const zarn::PathRates r = zarn::PointMassRates(s.V, s.Theta, m);
          s.X += h * r.dX;
          s.H += h * r.dH;
          s.V += h * r.dV;
          s.Theta = zarn::LimitedAngle(s.Theta + h * r.dTheta);
          s.t += h;
        }
        if (!(s.H > p.Hk) || !(s.t < duration) || !(s.V > 0.0)) s = launch;
      }
    });
    keep = keep + s.X;
    ns.push_back(seconds * 1e9 / static_cast<double>(kEvaluations));
  }
  return Median(ns);
}

// Seconds of a Monte Carlo run of `cases` cases on `jobs` threads, rows and statistics to nowhere:
// processor seconds on one thread, wall seconds on more.
double SweepSeconds(const std::vector<std::string>& flight, double tto, int64_t cases, int jobs) {
  std::vector<std::string> args = flight;
  for (const std::string& a :
       {std::string("--monte-carlo"), std::to_string(cases), std::string("--vary"),
        "TTO=normal(" + std::to_string(tto) + ",0.5)", std::string("--jobs"), std::to_string(jobs),
        std::string("--summary"), std::string("/dev/null"), std::string("--stats"), std::string("/dev/null")})
    args.push_back(a);
  const zarn::runner::BatchOptions o = Options(args);
  std::ofstream discard("/dev/null");
  std::vector<double> s;
  for (int i = 0; i < 5; ++i)
    s.push_back(Seconds([&] {
      if (zarn::runner::Run(o, discard, discard) != zarn::runner::kExitOk)
        std::fprintf(stderr, "the run failed\n");
    }));
  return Median(s);
}

double LoadAverage() {
  std::ifstream file("/proc/loadavg");
  double load = -1;
  file >> load;
  return load;
}

}  // namespace

int main(int argc, char** argv) {
  const double target = argc > 1 ? std::atof(argv[1]) : 0.3;  // [s] of each sweep timing
  const std::vector<Subject> subjects{
      {"preset 0", {"--preset", "0"}},
      {"preset 4", {"--preset", "4"}},
      {"rocket-3-stage", {"--params", ZARN_SOURCE_DIR "/examples/rocket-3-stage.zarn"}},
  };
  const std::vector<Method> methods{
      {"Euler", {"--set", "Integrator=0"}},
      {"Runge-Kutta 4", {"--set", "Integrator=1"}},
      {"Dormand-Prince 1e-6", {"--set", "Integrator=2", "--set", "Rtol=1e-6", "--set", "dt0=5"}},
  };
  std::printf("load average at start: %.2f\n", LoadAverage());
  std::printf("%-15s %-20s %12s %10s %12s %8s %12s\n", "flight", "method", "evals/case", "ns/eval",
              "ns/case 1T", "ratio", "cases/s 2T");
  for (const Subject& subject : subjects)
    for (const Method& method : methods) {
      std::vector<std::string> flight = subject.Args;
      flight.insert(flight.end(), method.Args.begin(), method.Args.end());
      const zarn::FlightParameters p = zarn::ParametersOf(zarn::runner::BaseRecord(Options(flight)));
      const bool euler = p.Integrator == 0.0;
      const std::unique_ptr<zarn::RunResult> one = zarn::ComputeTrajectory(p);
      // A case without rows: Euler flies both passes, a higher-order method its recording pass alone.
      const double evaluations = (euler ? 2.0 : 1.0) * static_cast<double>(one->Summary.RateEvaluations);
      const double evalNs = EvaluationNs(p, euler, one->Final.t);
      const double guess = std::max(1e-6, 2.5 * evaluations * evalNs * 1e-9);
      const auto cases = static_cast<int64_t>(std::clamp(target / guess, 20.0, 20000.0));
      const double one1 = SweepSeconds(flight, p.TTO, cases, 1) / static_cast<double>(cases);
      const double two = static_cast<double>(2 * cases) / SweepSeconds(flight, p.TTO, 2 * cases, 2);
      std::printf("%-15s %-20s %12.0f %10.1f %12.0f %8.2f %12.0f\n", subject.Name, method.Name, evaluations,
                  evalNs, one1 * 1e9, one1 * 1e9 / (evaluations * evalNs), two);
      std::fflush(stdout);
    }
  return 0;
}
