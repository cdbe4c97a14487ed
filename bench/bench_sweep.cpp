// Sweeps of zarn-batch on every core: 64 cases of preset 4 (the railgun, 40000 steps per pass; V0
// from 13370 to 14000 m/s), run in-process exactly as `zarn-batch --sweep` runs them, with --jobs 1
// and --jobs 2 taking turns within each iteration (in alternating order) so that the load of a
// shared machine falls on both alike. No case keeps files. Counters: the median and best seconds of
// each, the speed-up of the medians and of the best runs (aim on two free cores: at least 1.7), the
// cases per second, the cores and the load average when the benchmark started.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <fstream>
#include <ostream>
#include <string_view>
#include <thread>
#include <vector>

#include "runner/runner.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kCases = 64;

zarn::runner::BatchOptions Sweep(std::string_view jobs) {
  return zarn::runner::ParseArguments(
      std::vector<std::string_view>{"--preset", "4", "--sweep", "V0=13370:14000:10", "--jobs", jobs});
}

double Median(std::vector<double> v) {
  std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
  return v[v.size() / 2];
}

double LoadAverage() {
  std::ifstream file("/proc/loadavg");
  double load = -1;
  file >> load;
  return load;
}

void BM_SweepJobs2AgainstJobs1(benchmark::State& state) {
  const double load = LoadAverage();
  const std::array<zarn::runner::BatchOptions, 2> options{Sweep("1"), Sweep("2")};
  std::ofstream discard("/dev/null");  // a stream that takes every row, as a terminal would
  std::array<std::vector<double>, 2> seconds;
  int iteration = 0;
  for (auto _ : state) {
    for (int i = 0; i < 2; ++i) {
      const int which = (iteration + i) % 2;
      const Clock::time_point start = Clock::now();
      if (zarn::runner::Run(options[static_cast<std::size_t>(which)], discard, discard) !=
          zarn::runner::kExitOk)
        state.SkipWithError("the sweep failed");
      seconds[static_cast<std::size_t>(which)].push_back(
          std::chrono::duration<double>(Clock::now() - start).count());
    }
    state.SetIterationTime(seconds[1].back());
    ++iteration;
  }
  const double median1 = Median(seconds[0]), median2 = Median(seconds[1]);
  const double best1 = *std::min_element(seconds[0].begin(), seconds[0].end());
  const double best2 = *std::min_element(seconds[1].begin(), seconds[1].end());
  state.counters["jobs1_median_s"] = median1;
  state.counters["jobs2_median_s"] = median2;
  state.counters["jobs1_best_s"] = best1;
  state.counters["jobs2_best_s"] = best2;
  state.counters["speedup_median"] = median1 / median2;
  state.counters["speedup_best"] = best1 / best2;
  state.counters["cases_per_s_jobs1"] = kCases / median1;
  state.counters["cases_per_s_jobs2"] = kCases / median2;
  state.counters["cores"] = std::thread::hardware_concurrency();
  state.counters["load_at_start"] = load;
}
BENCHMARK(BM_SweepJobs2AgainstJobs1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(9);

}  // namespace

BENCHMARK_MAIN();
