// Answers from many runs, in-process as zarn-batch gives them. Counters, not times, are the point
// of the first two: the runs a search takes.
// - BM_MaximizeRange: --maximize impact_X_m --over TTO=0:90 on preset 0 (aim: to 0.01 deg in at
//   most 40 runs); err_deg is the distance to the best angle of a sweep in steps of 0.0005 deg.
// - BM_SolveRange: --solve TTO=0:90 --for impact_X_m=800 (aim: each root to 1 mm in at most 30
//   runs).
// - BM_MonteCarloAgainstSweep: 10 000 Monte Carlo cases of preset 0 with three varied inputs and
//   their statistics against a 10 000-case sweep of the same preset, both with --jobs 2, taking
//   turns (aim: at most 1.2 times the sweep's time); cases per second of each.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "runner/runner.h"

namespace {

using Clock = std::chrono::steady_clock;
using Args = std::vector<std::string_view>;

// The rows of a CSV text, fields split at commas (the rows here hold no quoted fields).
std::vector<std::vector<std::string>> Rows(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    std::vector<std::string> fields;
    std::istringstream cells(line);
    for (std::string cell; std::getline(cells, cell, ',');) fields.push_back(cell);
    if (!line.empty() && line.back() == ',') fields.emplace_back();
    rows.push_back(fields);
  }
  return rows;
}

std::size_t Column(const std::vector<std::string>& header, std::string_view name) {
  return static_cast<std::size_t>(std::find(header.begin(), header.end(), name) - header.begin());
}

std::string Answer(const Args& args) {
  std::ostringstream out, err;
  zarn::runner::Run(zarn::runner::ParseArguments(args), out, err);
  return out.str();
}

void BM_MaximizeRange(benchmark::State& state) {
  // The best angle of a fine sweep around the top, once.
  const auto swept = Rows(Answer({"--preset", "0", "--sweep", "TTO=44.2:44.4:0.0005"}));
  const std::size_t x = Column(swept[0], "impact_X_m");
  std::size_t top = 1;
  for (std::size_t i = 1; i < swept.size(); ++i)
    if (std::stod(swept[i][x]) > std::stod(swept[top][x])) top = i;
  std::vector<std::vector<std::string>> rows;
  for (auto _ : state)
    rows = Rows(Answer({"--preset", "0", "--maximize", "impact_X_m", "--over", "TTO=0:90"}));
  state.counters["runs"] = std::stod(rows[1].back());
  state.counters["err_deg"] = std::fabs(std::stod(rows[1][1]) - std::stod(swept[top][1]));
  state.counters["range_m"] = std::stod(rows[1][Column(rows[0], "impact_X_m")]);
}

void BM_SolveRange(benchmark::State& state) {
  std::vector<std::vector<std::string>> rows;
  for (auto _ : state)
    rows = Rows(Answer({"--preset", "0", "--solve", "TTO=0:90", "--for", "impact_X_m=800"}));
  const std::size_t x = Column(rows[0], "impact_X_m");
  state.counters["roots"] = static_cast<double>(rows.size() - 1);
  state.counters["runs_low"] = std::stod(rows[1].back());
  state.counters["runs_high"] = std::stod(rows[2].back());
  state.counters["miss_mm"] =
      1000 * std::max(std::fabs(std::stod(rows[1][x]) - 800), std::fabs(std::stod(rows[2][x]) - 800));
}

double Median(std::vector<double> v) {
  std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
  return v[v.size() / 2];
}

void BM_MonteCarloAgainstSweep(benchmark::State& state) {
  const zarn::runner::BatchOptions sweep = zarn::runner::ParseArguments(
      Args{"--preset", "0", "--sweep", "TTO=40:49.999:0.001", "--jobs", "2", "--summary", "/dev/null"});
  const zarn::runner::BatchOptions monteCarlo = zarn::runner::ParseArguments(
      Args{"--preset", "0", "--monte-carlo", "10000", "--vary", "TTO=normal(45,1.5)", "--vary",
           "V0=uniform(95,105)", "--vary", "Cx=triangular(0.008,0.01,0.013)", "--seed", "1", "--jobs", "2",
           "--summary", "/dev/null", "--stats", "/dev/null"});
  std::ofstream discard("/dev/null");
  std::vector<double> seconds[2];
  int iteration = 0;
  for (auto _ : state) {
    for (int i = 0; i < 2; ++i) {
      const int which = (iteration + i) % 2;
      const Clock::time_point start = Clock::now();
      if (zarn::runner::Run(which == 0 ? sweep : monteCarlo, discard, discard) != zarn::runner::kExitOk)
        state.SkipWithError("a run failed");
      seconds[which].push_back(std::chrono::duration<double>(Clock::now() - start).count());
    }
    state.SetIterationTime(seconds[1].back());
    ++iteration;
  }
  const double s = Median(seconds[0]), mc = Median(seconds[1]);
  state.counters["sweep_s"] = s;
  state.counters["monte_carlo_s"] = mc;
  state.counters["ratio"] = mc / s;
  state.counters["sweep_cases_per_s"] = 10000 / s;
  state.counters["mc_cases_per_s"] = 10000 / mc;
}

BENCHMARK(BM_MaximizeRange)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SolveRange)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MonteCarloAgainstSweep)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
