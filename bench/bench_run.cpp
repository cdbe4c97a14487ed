// Whole runs of the computation behind START, each measured against the time that plain large
// write() calls take for the same number of bytes in the same directory, in the same process.
// Counters: steps_per_pass, steps_per_s (both passes), MB written, and run_over_plain_write (the
// run's time divided by the plain write's; the aim is at most 2). BM_ProgressCallbackCost sets the
// same flight with and without zarn-batch's progress callback against each other (aim: under 1 %).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "flight/integrator.h"
#include "flight/presets.h"
#include "output/result_files.h"
#include "runner/run_monitor.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const fs::path& BenchDir() {
  static const fs::path dir = [] {
    fs::path d = fs::temp_directory_path() / ("zarn_bench_run_" + std::to_string(getpid()));
    fs::create_directories(d);
    return d;
  }();
  return dir;
}

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// The floor for a run: `bytes` bytes written with 1 MiB write() calls and closed.
double PlainWriteSeconds(std::uintmax_t bytes) {
  static const std::vector<char> block(std::size_t{1} << 20, 'x');
  const fs::path path = BenchDir() / "plain.bin";
  const Clock::time_point start = Clock::now();
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) throw std::runtime_error("cannot create " + path.string());
  while (bytes > 0) {
    const std::size_t n = bytes < block.size() ? static_cast<std::size_t>(bytes) : block.size();
    const ssize_t written = write(fd, block.data(), n);
    if (written <= 0) throw std::runtime_error("write failed");
    bytes -= static_cast<std::uintmax_t>(written);
  }
  close(fd);
  return Seconds(start);
}

void WholeRun(benchmark::State& state, const std::function<void(zarn::FlightParameters&)>& setUp) {
  zarn::FlightParameters params{};
  setUp(params);
  int64_t stepsPerPass = 0;
  zarn::ResultFiles files(BenchDir());
  zarn::RunOptions options;
  options.Sink = &files;
  options.Progress = [&](const zarn::RunProgress& p) {
    if (p.Pass == 0) stepsPerPass = p.Steps;
    return true;
  };
  double runTotal = 0, writeTotal = 0;
  std::uintmax_t bytes = 0;
  for (auto _ : state) {
    const Clock::time_point start = Clock::now();
    zarn::ComputeTrajectory(params, options);
    const double run = Seconds(start);
    state.SetIterationTime(run);
    runTotal += run;
    bytes =
        fs::file_size(BenchDir() / zarn::kStepFileName) + fs::file_size(BenchDir() / zarn::kSampleFileName);
    writeTotal += PlainWriteSeconds(bytes);
  }
  const auto iterations = static_cast<double>(state.iterations());
  state.counters["steps_per_pass"] = static_cast<double>(stepsPerPass);
  state.counters["steps_per_s"] = 2.0 * static_cast<double>(stepsPerPass) * iterations / runTotal;
  state.counters["MB"] = static_cast<double>(bytes) / 1e6;
  state.counters["run_over_plain_write"] = runTotal / writeTotal;
}

void Preset(zarn::FlightParameters& p, int index) {
  zarn::PresetRecordSlots record{};
  zarn::WritePresetRecord(index, record);
  p = zarn::ParametersOf(record);
}

// The five presets of the start form; 4 is the railgun (40000 steps per pass up to 114 km).
void BM_RunPreset(benchmark::State& state) {
  WholeRun(state, [&](zarn::FlightParameters& p) { Preset(p, static_cast<int>(state.range(0))); });
}
BENCHMARK(BM_RunPreset)->DenseRange(0, 4)->UseManualTime()->Unit(benchmark::kMillisecond);

// One million steps per pass: preset 1 (a drop from 10 km for 100 s) at a step of 0.1 ms. With
// that many steps every step of the recording pass is also a sample.
void BM_RunMillionSteps(benchmark::State& state) {
  WholeRun(state, [](zarn::FlightParameters& p) {
    Preset(p, 1);
    p.dt0 = 0.0001;
  });
}
BENCHMARK(BM_RunMillionSteps)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

// The same flight with the drag law and wind, so that each step also takes those branches.
void BM_RunMillionStepsDragLawAndWind(benchmark::State& state) {
  WholeRun(state, [](zarn::FlightParameters& p) {
    Preset(p, 1);
    p.dt0 = 0.0001;
    p.AeroModel = 1;
    p.Vwind = 5;
  });
}
BENCHMARK(BM_RunMillionStepsDragLawAndWind)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

// The cost of zarn-batch's progress callback (the same RunMonitor, called every kProgressEvery
// steps) in a flight of one million steps per pass, against the same run without any callback:
//   none      no callback at all
//   flag      stderr is not a terminal: the callback checks the Ctrl-C flag and records the steps
//   terminal  the bar, drawn from the first call on (into a stream that discards it)
// The three take turns within each iteration, in a rotating order, so that drift in the machine
// falls on all alike; the overheads compare the best runs (and the medians). Writing 300 MB per
// run varies by tens of percent on a busy machine, far more than the callback costs; with
// range(0) == 1 the step file is /dev/null, so that the comparison sees the computation only.
// As a figure below any run's noise, *_estimate_pct times a million calls of the callback alone
// and scales that to the calls of one run.
void BM_ProgressCallbackCost(benchmark::State& state) {
  const bool stepFileToNull = state.range(0) == 1;
  const fs::path dir = BenchDir() / (stepFileToNull ? "null" : "files");
  fs::create_directories(dir);
  if (stepFileToNull && !fs::is_symlink(dir / zarn::kStepFileName))
    fs::create_symlink("/dev/null", dir / zarn::kStepFileName);

  zarn::FlightParameters params{};
  Preset(params, 1);
  params.dt0 = 0.0001;
  zarn::ResultFiles files(dir);
  std::atomic<int> cancel{0};
  std::ostream discard(nullptr);

  enum Variant { kNone, kFlag, kTerminal, kVariants };
  std::array<std::vector<double>, kVariants> times;  // [s] of each run
  int64_t callsPerRun = 0;

  // The run's options for a variant, with its monitor, as zarn::runner::Run installs them.
  struct Watch {
    zarn::runner::RunMonitor Monitor;
    int64_t StepsPerPass = 0;
    int64_t Calls = 0;
    explicit Watch(const zarn::runner::Console& c) : Monitor(c) {}
  };
  auto console = [&](Variant v) {
    zarn::runner::Console c;
    c.Cancel = &cancel;
    if (v == kTerminal) {
      c.Terminal = &discard;
      c.BarAfter = std::chrono::milliseconds(0);
    }
    return c;
  };
  auto options = [&](Variant v, Watch& w) {
    zarn::RunOptions o;
    o.Sink = &files;
    if (v != kNone) {
      o.ProgressEvery = zarn::kProgressEvery;
      o.Progress = [&w](const zarn::RunProgress& p) {
        ++w.Calls;
        if (p.Pass == 0) w.StepsPerPass = p.Steps;
        return w.Monitor(p);
      };
    }
    return o;
  };

  int64_t iteration = 0;
  for (auto _ : state) {
    double withCallback = 0;
    for (int i = 0; i < kVariants; ++i) {
      const auto v = static_cast<Variant>((iteration + i) % kVariants);
      Watch watch(console(v));
      const zarn::RunOptions o = options(v, watch);
      const Clock::time_point start = Clock::now();
      zarn::ComputeTrajectory(params, o);
      const double seconds = Seconds(start);
      times[v].push_back(seconds);
      if (v == kFlag) withCallback = seconds, callsPerRun = watch.Calls;
    }
    state.SetIterationTime(withCallback);
    ++iteration;
  }

  // [s] per call of the callback alone, mid-run as the run calls it.
  auto perCall = [&](Variant v) {
    constexpr int kCalls = 1'000'000;
    Watch watch(console(v));
    const zarn::RunOptions o = options(v, watch);
    zarn::RunProgress p{1, 50.0, 100.0, 100.0, 1'000'000};
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < kCalls; ++i) {
      benchmark::DoNotOptimize(p);
      benchmark::DoNotOptimize(o.Progress(p));
    }
    return Seconds(start) / kCalls;
  };

  auto best = [&](Variant v) { return *std::min_element(times[v].begin(), times[v].end()); };
  auto median = [&](Variant v) {
    std::vector<double> t = times[v];
    std::nth_element(t.begin(), t.begin() + static_cast<std::ptrdiff_t>(t.size() / 2), t.end());
    return t[t.size() / 2];
  };
  auto percent = [](double with, double without) { return (with / without - 1.0) * 100.0; };
  const double runSeconds = best(kNone);
  state.counters["best_none_ms"] = runSeconds * 1e3;
  state.counters["calls_per_run"] = static_cast<double>(callsPerRun);
  state.counters["flag_overhead_pct"] = percent(best(kFlag), best(kNone));
  state.counters["terminal_overhead_pct"] = percent(best(kTerminal), best(kNone));
  state.counters["flag_overhead_median_pct"] = percent(median(kFlag), median(kNone));
  state.counters["none_median_over_best_pct"] = percent(median(kNone), best(kNone));
  for (const Variant v : {kFlag, kTerminal}) {
    const double call = perCall(v);
    const std::string name = v == kFlag ? "flag" : "terminal";
    state.counters[name + "_call_ns"] = call * 1e9;
    state.counters[name + "_estimate_pct"] = static_cast<double>(callsPerRun) * call / runSeconds * 100.0;
  }
}
BENCHMARK(BM_ProgressCallbackCost)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(9);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  fs::remove_all(BenchDir());
  return 0;
}
