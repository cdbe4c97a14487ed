// The step file is the hot path of a long run: one million step lines formatted and written,
// against the same number of bytes written with plain large write() calls, and against a
// printf-style writer for scale. The last line printed gives the times and their ratios.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <memory>
#include <vector>

#include "flight/integrator.h"
#include "flight/presets.h"
#include "models/atmosphere.h"
#include "models/motion_step.h"
#include "output/result_files.h"

namespace {

constexpr int kLines = 1'000'000;
constexpr std::size_t kChunkBytes = std::size_t{1} << 20;  // the writer's own buffer size
const char* const kStepPath = "/tmp/zarn-bench-step.txt";
const char* const kPlainPath = "/tmp/zarn-bench-plain.txt";
const char* const kPrintfPath = "/tmp/zarn-bench-printf.txt";

using Clock = std::chrono::steady_clock;

// Best time of each writer over its iterations [s], and the size of the step file [bytes]. The best
// time is the figure to compare: on a shared or virtual machine single writes of fresh memory can
// take several times longer.
struct Figures {
  double Step = std::numeric_limits<double>::infinity();
  double Plain = std::numeric_limits<double>::infinity();
  double Printf = std::numeric_limits<double>::infinity();
  double FormatOnly = std::numeric_limits<double>::infinity();
  std::uintmax_t Bytes = 0;
};
Figures g_figures;

// States of a rocket's ascent, from lift-off to 400 s, so that every field carries the digits of a
// real run; the benchmark cycles through them.
const std::vector<zarn::FlightState>& AscentStates() {
  static const std::vector<zarn::FlightState> states = [] {
    std::vector<zarn::FlightState> v;
    zarn::FlightState s{};
    s.V = 10;
    s.Theta = 80 / 57.3;
    s.Mass = 20000;
    s.Area = 1.5;
    s.Thrust = 300000;
    s.CxCur = 0.3;
    s.CyCur = 0.01;
    for (int i = 0; i < 4096; ++i) {
      s.Atm = zarn::StandardAtmosphere(s.H);
      s.Mach = s.V / s.Atm.Vsound;
      zarn::MotionStep(s, 0.0, 0.1, 0);
      s.Mass -= 3.5;
      v.push_back(s);
    }
    return v;
  }();
  return states;
}

double Since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double WriteStepFile(const char* path) {
  const std::vector<zarn::FlightState>& states = AscentStates();
  zarn::StepFileWriter writer;
  const auto start = Clock::now();
  writer.Create(path);
  for (int i = 0; i < kLines; ++i) writer.WriteStepLine(states[static_cast<std::size_t>(i) & 4095]);
  writer.Close();
  return Since(start);
}

std::uintmax_t StepFileBytes() {
  if (g_figures.Bytes == 0) {
    WriteStepFile(kStepPath);
    g_figures.Bytes = std::filesystem::file_size(kStepPath);
  }
  return g_figures.Bytes;
}

void BM_StepFileMillionLines(benchmark::State& state) {
  for (auto _ : state) {
    ::unlink(kStepPath);  // every iteration starts without a file, like the plain write
    const double seconds = WriteStepFile(kStepPath);
    state.SetIterationTime(seconds);
    g_figures.Step = std::min(g_figures.Step, seconds);
  }
  g_figures.Bytes = std::filesystem::file_size(kStepPath);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(g_figures.Bytes));
  state.counters["ns_per_line"] = g_figures.Step * 1e9 / kLines;
}
BENCHMARK(BM_StepFileMillionLines)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

void BM_PlainWriteSameBytes(benchmark::State& state) {
  const std::uintmax_t bytes = StepFileBytes();
  const std::unique_ptr<char[]> chunk(new char[kChunkBytes]);
  std::fill_n(chunk.get(), kChunkBytes, ' ');
  for (auto _ : state) {
    ::unlink(kPlainPath);
    const auto start = Clock::now();
    const int fd = ::open(kPlainPath, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
      state.SkipWithError("cannot create the plain file");
      break;
    }
    for (std::uintmax_t left = bytes; left > 0;) {
      const auto n = static_cast<std::size_t>(std::min<std::uintmax_t>(left, kChunkBytes));
      const ssize_t written = ::write(fd, chunk.get(), n);
      if (written <= 0) break;
      left -= static_cast<std::uintmax_t>(written);
    }
    ::close(fd);
    const double seconds = Since(start);
    state.SetIterationTime(seconds);
    g_figures.Plain = std::min(g_figures.Plain, seconds);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
}
BENCHMARK(BM_PlainWriteSameBytes)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

// The writer's own cost: the same lines into /dev/null, which takes the writes for free.
void BM_StepLinesFormatOnly(benchmark::State& state) {
  for (auto _ : state) {
    const double seconds = WriteStepFile("/dev/null");
    state.SetIterationTime(seconds);
    g_figures.FormatOnly = std::min(g_figures.FormatOnly, seconds);
  }
  state.counters["ns_per_line"] = g_figures.FormatOnly * 1e9 / kLines;
}
BENCHMARK(BM_StepLinesFormatOnly)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

// The states after each step of the probe pass of preset 1, at its own step (0.01 s: most fields
// change from line to line) or at 0.1 ms (the long run: most fields keep their rounded value for
// many lines), as the step file sees them; at most `limit` states.
std::vector<zarn::FlightState> RunStates(double dt0, std::size_t limit) {
  // The states as a sink sees them; the run stops once it has them.
  struct Keep final : zarn::StepSink {
    std::vector<zarn::FlightState>& States;
    std::size_t Limit;
    Keep(std::vector<zarn::FlightState>& states, std::size_t limit) : States(states), Limit(limit) {}
    void Begin() override {}
    void Step(const zarn::FlightState& s) override {
      if (States.size() == Limit) throw zarn::Error("enough");
      States.push_back(s);
    }
    void Sampled(int32_t) override {}
    void End(const zarn::RunResult&) override {}
    void Abandon() noexcept override {}
  };
  std::vector<zarn::FlightState> states;
  zarn::PresetRecordSlots record{};
  zarn::WritePresetRecord(1, record);
  zarn::FlightParameters p = zarn::ParametersOf(record);
  p.dt0 = dt0;
  Keep keep(states, limit);
  zarn::RunOptions o;
  o.Sink = &keep;
  try {
    zarn::ComputeTrajectory(p, o);
  } catch (const zarn::Error&) {  // "enough"
  }
  return states;
}

// The step lines of those states into /dev/null: the writer's own cost per line.
void StepLinesOfStates(benchmark::State& state, const std::vector<zarn::FlightState>& states) {
  zarn::StepFileWriter writer;
  writer.Create("/dev/null");
  for (auto _ : state) {
    for (const zarn::FlightState& s : states) writer.WriteStepLine(s);
  }
  writer.Close();
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * states.size()));
  state.counters["ns_per_line"] =
      benchmark::Counter(static_cast<double>(state.iterations() * states.size()),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_StepLinesPreset1(benchmark::State& state) {
  static const std::vector<zarn::FlightState> states = RunStates(0.01, 10000);
  StepLinesOfStates(state, states);
}
BENCHMARK(BM_StepLinesPreset1)->Unit(benchmark::kMillisecond);

void BM_StepLinesLongRun(benchmark::State& state) {
  static const std::vector<zarn::FlightState> states = RunStates(0.0001, 100000);
  StepLinesOfStates(state, states);
}
BENCHMARK(BM_StepLinesLongRun)->Unit(benchmark::kMillisecond);

// The same lines through fprintf with a buffer of the same size: the usual way, for scale.
void BM_PrintfStyleWriter(benchmark::State& state) {
  const std::vector<zarn::FlightState>& states = AscentStates();
  const std::unique_ptr<char[]> buffer(new char[kChunkBytes]);
  for (auto _ : state) {
    ::unlink(kPrintfPath);
    const auto start = Clock::now();
    std::FILE* f = std::fopen(kPrintfPath, "wb");
    if (f == nullptr) {
      state.SkipWithError("cannot create the printf file");
      break;
    }
    std::setvbuf(f, buffer.get(), _IOFBF, kChunkBytes);
    for (int i = 0; i < kLines; ++i) {
      const zarn::FlightState& s = states[static_cast<std::size_t>(i) & 4095];
      std::fprintf(
          f,
          "  %6.2f  %8.3f  %6.3f  %6.3f  %6.1f  %5.4f  %5.2f  %5.2f  %6.1f  %7.1f  %6.1f  %7.1f  %7.1f"
          "%10.4f  %11.4f  %8.4f  %8.2f  %8.2f  %8.5f  %12.3f  %8.2f  %12.3f  %8.5f  %8.5f  \r\n",
          s.t, s.X / 1000, s.H / 1000, s.V, s.Theta * 57.3, s.Atm.Roh, s.nx, s.ny, s.Mass, s.Thrust, s.CyCur,
          s.CxCur, s.Mach, s.Volumen, s.Auftrieb, s.dVdt, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0);
    }
    std::fclose(f);
    const double seconds = Since(start);
    state.SetIterationTime(seconds);
    g_figures.Printf = std::min(g_figures.Printf, seconds);
  }
}
BENCHMARK(BM_PrintfStyleWriter)->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  const Figures& f = g_figures;
  if (f.Step < std::numeric_limits<double>::infinity() && f.Plain < std::numeric_limits<double>::infinity()) {
    std::printf(
        "step file, %d lines, %.1f MB: %.1f ms; plain write() of the same bytes: %.1f ms; ratio %.2f\n",
        kLines, static_cast<double>(f.Bytes) / 1e6, f.Step * 1e3, f.Plain * 1e3, f.Step / f.Plain);
    if (f.FormatOnly < std::numeric_limits<double>::infinity()) {
      std::printf("formatting alone (into /dev/null): %.1f ms\n", f.FormatOnly * 1e3);
    }
    if (f.Printf < std::numeric_limits<double>::infinity()) {
      std::printf("printf-style writer: %.1f ms; ratio to plain write() %.2f\n", f.Printf * 1e3,
                  f.Printf / f.Plain);
    }
  }
  for (const char* path : {kStepPath, kPlainPath, kPrintfPath}) ::unlink(path);
  return 0;
}
