// One integration step of the physical core: the air at the current height plus the motion step.
#include <benchmark/benchmark.h>

#include "models/atmosphere.h"
#include "models/motion_step.h"

namespace {

// A ball thrown at 45 degrees; the flight restarts when it lands so every step is a real one.
zarn::FlightState Launch() {
  zarn::FlightState s{};
  s.V = 300;
  s.Theta = 45 / 57.3;
  s.H = 1;
  s.Mass = 1;
  s.Area = 0.02;
  s.CxCur = 0.2;
  s.CyCur = 0.01;
  return s;
}

void BM_AtmosphereAndMotionStep(benchmark::State& state) {
  zarn::FlightState s = Launch();
  for (auto _ : state) {
    s.Atm = zarn::StandardAtmosphere(s.H);
    zarn::MotionStep(s, 3.0, 0.001, 0);
    if (s.H < 0) s = Launch();
    benchmark::DoNotOptimize(s);
  }
  state.counters["H_final_m"] = s.H;
}
BENCHMARK(BM_AtmosphereAndMotionStep);

// The same at 150 km, where the band scan of the atmosphere is longest.
void BM_AtmosphereAndMotionStepHigh(benchmark::State& state) {
  zarn::FlightState s = Launch();
  s.H = 150000;
  s.Theta = 0;
  s.V = 7800;
  for (auto _ : state) {
    s.Atm = zarn::StandardAtmosphere(s.H);
    zarn::MotionStep(s, 0.0, 0.001, 0);
    benchmark::DoNotOptimize(s);
  }
}
BENCHMARK(BM_AtmosphereAndMotionStepHigh);

void BM_Atmosphere(benchmark::State& state) {
  double H = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(zarn::StandardAtmosphere(H));
    H += 0.37;
    if (H > 60000) H = 0;
  }
}
BENCHMARK(BM_Atmosphere);

}  // namespace

BENCHMARK_MAIN();
