// The long run (preset 1 at dt0 = 0.1 ms) on two cores against the same run pinned to one core, in
// pairs spread over minutes, beside the time a cache line takes to go from one core to the other and
// back (two threads bouncing one atomic). A virtual machine's host may move its two cores apart for
// a while; then every line one thread writes and the other reads costs several times more, and a
// run that shares its work between two cores can fall behind the same run on one core.
//
// Each pair: the round trip; the run on both cores and the run on core 0 alone, the step file a
// link to /dev/null so that only the program's own work counts; the run with its file on a tmpfs
// against plain write() of the same bytes (plain_write); the round trip again. Each figure of a
// pair is the fastest of a few runs, the two runs of a comparison taking turns, so that a moment in
// which the shared machine's other work took a core falls on both alike. The pairs are split by the slower of
// the pair's two round trips: close below 150 ns, apart above. Printed: each pair, then the distribution
// (min, quartiles, median, max) of every figure and of the ratios pair by pair, for each state.
//
// Usage: bench_two_cores [--batch PATH] [--pairs N] [--repeats R] [--seconds S] [--tmpfs DIR]
//   --batch PATH  the zarn-batch to measure (default: this build's)
//   --pairs N     pairs of runs (default 40)
//   --repeats R   runs of each kind in a pair, of which the fastest counts (default 3)
//   --seconds S   over how long the pairs are spread (default 240)
//   --tmpfs DIR   a directory on a tmpfs (default /dev/shm)
#include <pthread.h>
#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "bench/whole_runs.h"

namespace {

using namespace zarn_bench;

constexpr double kApartNs = 150;         // round trip above which the cores count as apart
constexpr double kTwoCoreTarget = 1.05;  // two cores over one core, every pair
constexpr double kTmpfsTarget = 1.3;     // the run on a tmpfs over plain write(), cores close

void PinThisThread(int core) {
  cpu_set_t set;
  CPU_ZERO(&set);
  CPU_SET(core, &set);
  ::pthread_setaffinity_np(::pthread_self(), sizeof set, &set);
}

// [ns] of one round trip of a cache line between cores 0 and 1: the median of 25 rounds of 4000
// bounces, so that a round in which the other core ran something else does not count.
double RoundTripNs() {
  constexpr int kRounds = 25;
  constexpr long kBounces = 4000;
  alignas(64) std::atomic<long> ball{0};
  std::thread partner([&] {
    PinThisThread(1);
    for (long i = 0; i < kRounds * kBounces; ++i) {
      while (ball.load(std::memory_order_acquire) != 2 * i + 1) {
      }
      ball.store(2 * i + 2, std::memory_order_release);
    }
  });
  PinThisThread(0);
  std::vector<double> rounds;
  for (int r = 0; r < kRounds; ++r) {
    const Clock::time_point start = Clock::now();
    for (long j = 0; j < kBounces; ++j) {
      const long i = r * kBounces + j;
      ball.store(2 * i + 1, std::memory_order_release);
      while (ball.load(std::memory_order_acquire) != 2 * i + 2) {
      }
    }
    rounds.push_back(std::chrono::duration<double, std::nano>(Clock::now() - start).count() / kBounces);
  }
  partner.join();
  cpu_set_t all;
  CPU_ZERO(&all);
  for (int c = 0; c < CPU_SETSIZE; ++c) CPU_SET(c, &all);
  ::pthread_setaffinity_np(::pthread_self(), sizeof all, &all);
  return Median(rounds);
}

struct Pair {
  double RoundTrip;     // [ns], the slower of before and after
  double Two, One;      // [s] the run on both cores, on core 0
  double Tmpfs, Plain;  // [s] the run with its file on the tmpfs, plain write() of the same bytes
  double Idle;          // share of the machine's core time that stood idle meanwhile
  double Other;         // share that went to other work than these runs
};

// Value at fraction q of the sorted values, between neighbours.
double Quantile(std::vector<double> v, double q) {
  std::sort(v.begin(), v.end());
  const double at = q * static_cast<double>(v.size() - 1);
  const auto lo = static_cast<std::size_t>(at);
  const std::size_t hi = std::min(lo + 1, v.size() - 1);
  return v[lo] + (v[hi] - v[lo]) * (at - static_cast<double>(lo));
}

void PrintDistribution(const char* what, const std::vector<double>& v, double scale, const char* unit) {
  std::printf("  %-30s", what);
  for (double q : {0.0, 0.25, 0.5, 0.75, 1.0}) std::printf(" %9.3f", Quantile(v, q) * scale);
  std::printf("  %s\n", unit);
}

template <class F>
std::vector<double> Column(const std::vector<Pair>& pairs, F f) {
  std::vector<double> v;
  for (const Pair& p : pairs) v.push_back(f(p));
  return v;
}

void PrintState(const char* name, const std::vector<Pair>& pairs) {
  std::printf("%s: %zu pairs\n", name, pairs.size());
  if (pairs.empty()) return;
  std::printf("  %-30s %9s %9s %9s %9s %9s\n", "", "min", "q1", "median", "q3", "max");
  PrintDistribution("round trip", Column(pairs, [](const Pair& p) { return p.RoundTrip; }), 1, "ns");
  PrintDistribution("run, two cores", Column(pairs, [](const Pair& p) { return p.Two; }), 1e3, "ms");
  PrintDistribution("run, one core", Column(pairs, [](const Pair& p) { return p.One; }), 1e3, "ms");
  const auto ratio = Column(pairs, [](const Pair& p) { return p.Two / p.One; });
  PrintDistribution("two cores / one core", ratio, 1, "");
  PrintDistribution("run on tmpfs", Column(pairs, [](const Pair& p) { return p.Tmpfs; }), 1e3, "ms");
  PrintDistribution("plain write()", Column(pairs, [](const Pair& p) { return p.Plain; }), 1e3, "ms");
  PrintDistribution("run on tmpfs / plain write()",
                    Column(pairs, [](const Pair& p) { return p.Tmpfs / p.Plain; }), 1, "");
  PrintDistribution("idle share", Column(pairs, [](const Pair& p) { return p.Idle; }), 100, "%");
  PrintDistribution("other work's share", Column(pairs, [](const Pair& p) { return p.Other; }), 100, "%");
  const auto over = std::count_if(ratio.begin(), ratio.end(), [](double r) { return r > kTwoCoreTarget; });
  std::printf("  pairs with two cores over %.2f times one core: %td of %zu\n", kTwoCoreTarget, over,
              ratio.size());
}

}  // namespace

int main(int argc, char** argv) {
  std::string batch = ZARN_BATCH_EXE;
  std::string plainExe = PLAIN_WRITE_EXE;
  fs::path tmpfs = "/dev/shm";
  int pairCount = 40;
  int repeats = 3;
  double seconds = 240;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool value = i + 1 < argc;
    if (a == "--batch" && value) {
      batch = argv[++i];
    } else if (a == "--pairs" && value) {
      pairCount = std::max(1, std::atoi(argv[++i]));
    } else if (a == "--repeats" && value) {
      repeats = std::max(1, std::atoi(argv[++i]));
    } else if (a == "--seconds" && value) {
      seconds = std::atof(argv[++i]);
    } else if (a == "--tmpfs" && value) {
      tmpfs = argv[++i];
    } else {
      std::fprintf(stderr, "usage: %s [--batch PATH] [--pairs N] [--repeats R] [--seconds S] [--tmpfs DIR]\n",
                   argv[0]);
      return 2;
    }
  }
  batch = fs::absolute(batch).string();
  if (::sysconf(_SC_NPROCESSORS_ONLN) < 2) {
    std::fprintf(stderr, "needs two cores\n");
    return 2;
  }

  const std::string tag = std::to_string(::getpid());
  const fs::path nullDir = fs::temp_directory_path() / ("zarn_two_cores_" + tag);
  const fs::path fileDir = tmpfs / ("zarn_two_cores_" + tag);
  fs::create_directories(nullDir);
  fs::create_directories(fileDir);
  const std::vector<std::string> longRun{batch, "--preset", "1", "--set", "dt0=0.0001", "--quiet", "--dir"};
  auto runInto = [&](const fs::path& dir) {
    std::vector<std::string> c = longRun;
    c.push_back(dir.string());
    return c;
  };
  // Only the program's own work: the step file is a link to /dev/null.
  auto toNull = [&](int core) {
    const fs::path step = nullDir / kStepFile;
    if (!fs::is_symlink(step)) {
      fs::remove(step);
      fs::create_symlink("/dev/null", step);
    }
    return Timed(runInto(nullDir), core);
  };
  auto toTmpfs = [&] {
    Remove(fileDir, {kStepFile, kSampleFile});
    return Timed(runInto(fileDir));
  };
  toTmpfs();  // warm-up, and the sizes of the files
  const auto stepBytes = fs::file_size(fileDir / kStepFile);
  const auto sampleBytes = fs::file_size(fileDir / kSampleFile);
  const std::vector<std::string> plain{plainExe, (fileDir / "plain-step").string(), std::to_string(stepBytes),
                                       (fileDir / "plain-sample").string(), std::to_string(sampleBytes)};
  auto plainWrite = [&] {
    Remove(fileDir, {"plain-step", "plain-sample"});
    return Timed(plain);
  };
  toNull(-1);
  toNull(0);

  std::printf("zarn-batch: %s\nlong run: %.1f MB; %d pairs over %.0f s, each figure the fastest of %d runs\n",
              batch.c_str(), static_cast<double>(stepBytes + sampleBytes) / 1e6, pairCount, seconds, repeats);
  std::printf("%4s %9s %9s %9s %7s %9s %9s %7s %6s %6s\n", "pair", "rt ns", "two ms", "one ms", "ratio",
              "tmpfs ms", "plain ms", "ratio", "idle%", "other%");
  const CoreTime benchStart = ReadCoreTime();
  const double childrenAtBenchStart = ChildrenTime();
  const Clock::time_point start = Clock::now();
  std::vector<Pair> pairs;
  for (int i = 0; i < pairCount; ++i) {
    std::this_thread::sleep_until(start + std::chrono::duration_cast<Clock::duration>(
                                              std::chrono::duration<double>(seconds * i / pairCount)));
    const CoreTime before = ReadCoreTime();
    const double childrenBefore = ChildrenTime();
    Pair p{};
    const double roundTripBefore = RoundTripNs();
    p.Two = p.One = p.Tmpfs = p.Plain = 1e9;
    for (int r = 0; r < repeats; ++r) {
      if ((i + r) % 2 == 0) {
        p.Two = std::min(p.Two, toNull(-1));
        p.One = std::min(p.One, toNull(0));
      } else {
        p.One = std::min(p.One, toNull(0));
        p.Two = std::min(p.Two, toNull(-1));
      }
    }
    for (int r = 0; r < repeats; ++r) {
      if ((i + r) % 2 == 0) {
        p.Tmpfs = std::min(p.Tmpfs, toTmpfs());
        p.Plain = std::min(p.Plain, plainWrite());
      } else {
        p.Plain = std::min(p.Plain, plainWrite());
        p.Tmpfs = std::min(p.Tmpfs, toTmpfs());
      }
    }
    p.RoundTrip = std::max(roundTripBefore, RoundTripNs());
    const CoreTime after = ReadCoreTime();
    const double total = after.Total - before.Total;
    if (total > 0) {
      p.Idle = (after.Idle - before.Idle) / total;
      p.Other = std::max(0.0, total - (after.Idle - before.Idle) - (ChildrenTime() - childrenBefore)) / total;
    }
    pairs.push_back(p);
    std::printf("%4d %9.1f %9.1f %9.1f %7.3f %9.1f %9.1f %7.3f %6.0f %6.0f\n", i + 1, p.RoundTrip,
                p.Two * 1e3, p.One * 1e3, p.Two / p.One, p.Tmpfs * 1e3, p.Plain * 1e3, p.Tmpfs / p.Plain,
                p.Idle * 100, p.Other * 100);
    std::fflush(stdout);
  }
  Remove(fileDir, {kStepFile, kSampleFile, "plain-step", "plain-sample"});
  fs::remove_all(fileDir);
  fs::remove_all(nullDir);

  std::vector<Pair> close, apart;
  for (const Pair& p : pairs) (p.RoundTrip < kApartNs ? close : apart).push_back(p);
  std::printf(
      "\ncores close (round trip < %.0f ns); targets: two cores / one core <= %.2f, run on tmpfs / "
      "plain write() <= %.1f\n",
      kApartNs, kTwoCoreTarget, kTmpfsTarget);
  PrintState("close", close);
  std::printf("cores apart (round trip >= %.0f ns); target: two cores / one core <= %.2f\n", kApartNs,
              kTwoCoreTarget);
  PrintState("apart", apart);
  PrintState("all", pairs);
  PrintMachineUse(benchStart, childrenAtBenchStart);
  return 0;
}
