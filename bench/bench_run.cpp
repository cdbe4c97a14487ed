// Whole runs of the computation behind START, each measured against the time that plain large
// write() calls take for the same number of bytes in the same directory, in the same process.
// Counters: steps_per_pass, steps_per_s (both passes), MB written, and run_over_plain_write (the
// run's time divided by the plain write's; the aim is at most 2).
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

#include "sim/integrator.h"
#include "sim/presets.h"
#include "sim/result_files.h"

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

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

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

void WholeRun(benchmark::State& state, const std::function<void(zarn::ZarnData&)>& setUp) {
  const auto d = std::make_unique<zarn::ZarnData>();
  setUp(*d);
  int64_t stepsPerPass = 0;
  zarn::RunOptions options;
  options.Directory = BenchDir();
  options.Progress = [&](const zarn::RunProgress& p) {
    if (p.Pass == 0) stepsPerPass = p.Steps;
    return true;
  };
  double runTotal = 0, writeTotal = 0;
  std::uintmax_t bytes = 0;
  for (auto _ : state) {
    const Clock::time_point start = Clock::now();
    zarn::ComputeTrajectory(*d, options);
    const double run = Seconds(start);
    state.SetIterationTime(run);
    runTotal += run;
    bytes = fs::file_size(BenchDir() / zarn::kStepFileName) + fs::file_size(BenchDir() / zarn::kSampleFileName);
    writeTotal += PlainWriteSeconds(bytes);
  }
  const auto iterations = static_cast<double>(state.iterations());
  state.counters["steps_per_pass"] = static_cast<double>(stepsPerPass);
  state.counters["steps_per_s"] = 2.0 * static_cast<double>(stepsPerPass) * iterations / runTotal;
  state.counters["MB"] = static_cast<double>(bytes) / 1e6;
  state.counters["run_over_plain_write"] = runTotal / writeTotal;
}

void Preset(zarn::ZarnData& d, int index) {
  zarn::WritePresetRecord(index, d.PresetRecord);
  zarn::ApplyPresetRecord(d);
}

// The five presets of the start form; 4 is the railgun (40000 steps per pass up to 114 km).
void BM_RunPreset(benchmark::State& state) {
  WholeRun(state, [&](zarn::ZarnData& d) { Preset(d, static_cast<int>(state.range(0))); });
}
BENCHMARK(BM_RunPreset)->DenseRange(0, 4)->UseManualTime()->Unit(benchmark::kMillisecond);

// One million steps per pass: preset 1 (a drop from 10 km for 100 s) at a step of 0.1 ms. With
// that many steps every step of the recording pass is also a sample.
void BM_RunMillionSteps(benchmark::State& state) {
  WholeRun(state, [](zarn::ZarnData& d) {
    Preset(d, 1);
    d.Params.dt0 = 0.0001;
  });
}
BENCHMARK(BM_RunMillionSteps)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

// The same flight with the drag law and wind, so that each step also takes those branches.
void BM_RunMillionStepsDragLawAndWind(benchmark::State& state) {
  WholeRun(state, [](zarn::ZarnData& d) {
    Preset(d, 1);
    d.Params.dt0 = 0.0001;
    d.Params.AeroModel = 1;
    d.Params.Vwind = 5;
  });
}
BENCHMARK(BM_RunMillionStepsDragLawAndWind)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  fs::remove_all(BenchDir());
  return 0;
}
