// Whole runs of zarn-batch as processes, start-up included, each against a process that writes the
// same bytes with plain 1 MiB write() calls (plain_write), on a tmpfs and on a disk:
//   - the long run: preset 1 at dt0 = 0.1 ms, one million steps a pass, about 590 MB;
//   - presets 0 to 4;
//   - a re-run over the previous run's result files against a fresh run, for the long run.
// A fresh run (and the plain write) starts without its files and with the file system synced, so
// that no earlier write-back falls into it; the re-run follows its fresh run at once, as a second
// START does. The two commands of a figure take turns (A B, then B A, ...), so that drift of a shared
// machine falls on both alike. Each line gives the medians and the fastest runs, and the median
// of the ratios pair by pair, next to its target.
//
// Usage: bench_whole_runs [--batch PATH] [--tmpfs DIR] [--disk DIR] [--rounds N] [--busy]
//   --batch PATH  the zarn-batch to measure (default: this build's)
//   --tmpfs DIR   a directory on a tmpfs (default /dev/shm)
//   --disk DIR    a directory on a disk (default: this program's directory)
//   --rounds N    pairs of runs per figure (default 15 for the presets, 9 for the long run)
//   --busy        keep a spinning process running meanwhile, so that no core is free
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/whole_runs.h"

namespace {

using namespace zarn_bench;

struct Settings {
  std::string Batch = ZARN_BATCH_EXE;
  std::string Plain = PLAIN_WRITE_EXE;
  fs::path Tmpfs = "/dev/shm";
  fs::path Disk;
  int Rounds = 0;  // 0: the default of each figure
  bool Busy = false;
};

void Print(const char* where, const std::string& what, const char* nameA, const char* nameB, const Pairs& p,
           double target) {
  const double ratio = Median(p.Ratio);
  std::printf(
      "%-5s  %-40s %s %8.1f ms (fastest %8.1f), %s %8.1f ms (fastest %8.1f): ratio %.2f, target %.1f%s\n",
      where, what.c_str(), nameA, Median(p.A) * 1e3, Fastest(p.A) * 1e3, nameB, Median(p.B) * 1e3,
      Fastest(p.B) * 1e3, ratio, target, ratio <= target ? "" : "  (over)");
  std::fflush(stdout);
}

struct Case {
  std::string Name;
  std::vector<std::string> Args;  // after the program, before --dir
  int Rounds;
  double Target;  // the run over the plain write
};

// The run against the plain write of the same bytes, both fresh, in turns.
void RunAgainstPlainWrite(const Settings& s, const char* where, const fs::path& dir, const Case& c) {
  std::vector<std::string> run{s.Batch};
  run.insert(run.end(), c.Args.begin(), c.Args.end());
  run.insert(run.end(), {"--dir", dir.string(), "--quiet"});
  auto fresh = [&] {
    Remove(dir, {kStepFile, kSampleFile});
    SyncFileSystem(dir);
    return Timed(run);
  };
  fresh();  // warm-up, and the sizes of the files
  const auto stepBytes = fs::file_size(dir / kStepFile);
  const auto sampleBytes = fs::file_size(dir / kSampleFile);
  const std::vector<std::string> plain{s.Plain, (dir / "plain-step").string(), std::to_string(stepBytes),
                                       (dir / "plain-sample").string(), std::to_string(sampleBytes)};
  auto plainWrite = [&] {
    Remove(dir, {"plain-step", "plain-sample"});
    SyncFileSystem(dir);
    return Timed(plain);
  };
  plainWrite();
  Pairs p;
  const int rounds = s.Rounds > 0 ? s.Rounds : c.Rounds;
  for (int i = 0; i < rounds; ++i) {
    if (i % 2 == 0) {
      const double a = fresh();
      p.Add(a, plainWrite());
    } else {
      const double b = plainWrite();
      p.Add(fresh(), b);
    }
  }
  char what[128];
  std::snprintf(what, sizeof what, "%s, %.1f MB", c.Name.c_str(),
                static_cast<double>(stepBytes + sampleBytes) / 1e6);
  Print(where, what, "zarn-batch", "plain write()", p, c.Target);
  Remove(dir, {kStepFile, kSampleFile, "plain-step", "plain-sample"});
}

// A re-run over the files of the run just before it, against that fresh run.
void RerunAgainstFresh(const Settings& s, const char* where, const fs::path& dir, const Case& c) {
  std::vector<std::string> run{s.Batch};
  run.insert(run.end(), c.Args.begin(), c.Args.end());
  run.insert(run.end(), {"--dir", dir.string(), "--quiet"});
  Pairs p;
  const int rounds = s.Rounds > 0 ? s.Rounds : c.Rounds;
  for (int i = 0; i < rounds; ++i) {
    Remove(dir, {kStepFile, kSampleFile});
    SyncFileSystem(dir);
    const double fresh = Timed(run);
    p.Add(Timed(run), fresh);
  }
  Print(where, c.Name + ", re-run", "re-run", "fresh run", p, 1.1);
  Remove(dir, {kStepFile, kSampleFile});
}

}  // namespace

int main(int argc, char** argv) {
  Settings s;
  s.Disk = fs::path(argv[0]).parent_path();
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool value = i + 1 < argc;
    if (a == "--batch" && value) {
      s.Batch = argv[++i];
    } else if (a == "--tmpfs" && value) {
      s.Tmpfs = argv[++i];
    } else if (a == "--disk" && value) {
      s.Disk = argv[++i];
    } else if (a == "--rounds" && value) {
      s.Rounds = std::atoi(argv[++i]);
    } else if (a == "--busy") {
      s.Busy = true;
    } else {
      std::fprintf(stderr, "usage: %s [--batch PATH] [--tmpfs DIR] [--disk DIR] [--rounds N] [--busy]\n",
                   argv[0]);
      return 2;
    }
  }
  s.Batch = fs::absolute(s.Batch).string();

  pid_t busy = -1;
  if (s.Busy) {
    busy = ::fork();
    if (busy == 0) {
      volatile unsigned long spins = 0;
      for (;;) spins = spins + 1;
    }
  }

  std::printf("zarn-batch: %s%s\n", s.Batch.c_str(),
              s.Busy ? "; a spinning process keeps one core busy" : "");
  const CoreTime start = ReadCoreTime();
  const double childrenAtStart = ChildrenTime();
  const std::vector<Case> cases = [] {
    std::vector<Case> v{{"long run (preset 1, dt0 0.1 ms)", {"--preset", "1", "--set", "dt0=0.0001"}, 9, 0}};
    for (int i = 0; i < 5; ++i)
      v.push_back({"preset " + std::to_string(i), {"--preset", std::to_string(i)}, 15, 2.5});
    return v;
  }();
  for (const auto& [where, base] : {std::pair{"tmpfs", s.Tmpfs}, std::pair{"disk", s.Disk}}) {
    const fs::path dir = base / ("zarn_whole_runs_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::printf("%s: %s (%s)\n", where, dir.c_str(), FileSystemKind(dir));
    for (Case c : cases) {
      if (c.Target == 0) c.Target = std::string(where) == "tmpfs" ? 1.3 : 2.2;
      RunAgainstPlainWrite(s, where, dir, c);
    }
    RerunAgainstFresh(s, where, dir, cases[0]);
    fs::remove_all(dir);
  }
  if (busy > 0) {
    ::kill(busy, SIGKILL);
    ::waitpid(busy, nullptr, 0);
  }
  PrintMachineUse(start, childrenAtStart);  // the spinning process counts as the runs' own
  return 0;
}
