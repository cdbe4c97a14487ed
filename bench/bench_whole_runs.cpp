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
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/statfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr const char* kStepFile = "Zarn Daten.txt";
constexpr const char* kSampleFile = "Zarn_500.txt";
constexpr long kTmpfsMagic = 0x01021994;

struct Settings {
  std::string Batch = ZARN_BATCH_EXE;
  std::string Plain = PLAIN_WRITE_EXE;
  fs::path Tmpfs = "/dev/shm";
  fs::path Disk;
  int Rounds = 0;  // 0: the default of each figure
  bool Busy = false;
};

// Runs the command to its end with its output discarded; returns its wall time [s].
double Timed(const std::vector<std::string>& command) {
  std::vector<char*> argv;
  for (const std::string& a : command) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const Clock::time_point start = Clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    ::dup2(null, 2);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "failed (status %d): %s\n", status, command[0].c_str());
    std::exit(1);
  }
  return seconds;
}

// Writes back everything of the file system of `dir`, so that the next run starts clean.
void SyncFileSystem(const fs::path& dir) {
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd >= 0) {
    ::syncfs(fd);
    ::close(fd);
  }
}

void Remove(const fs::path& dir, std::initializer_list<const char*> names) {
  for (const char* name : names) fs::remove(dir / name);
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double Fastest(const std::vector<double>& v) {
  return *std::min_element(v.begin(), v.end());
}

struct Pairs {
  std::vector<double> A, B, Ratio;
  void Add(double a, double b) {
    A.push_back(a);
    B.push_back(b);
    Ratio.push_back(a / b);
  }
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

const char* FileSystemKind(const fs::path& dir) {
  struct statfs st {};
  if (::statfs(dir.c_str(), &st) != 0) return "unknown";
  return st.f_type == kTmpfsMagic ? "tmpfs" : "disk";
}

// The machine's core time so far [s]: all of it, and what was idle (from /proc/stat).
struct CoreTime {
  double Total = 0, Idle = 0;
};
CoreTime ReadCoreTime() {
  CoreTime t;
  std::FILE* f = std::fopen("/proc/stat", "r");
  if (f == nullptr) return t;
  unsigned long long v[8] = {};
  if (std::fscanf(f, "cpu %llu %llu %llu %llu %llu %llu %llu %llu", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5],
                  &v[6], &v[7]) == 8) {
    const double tick = 1.0 / static_cast<double>(::sysconf(_SC_CLK_TCK));
    for (unsigned long long x : v) t.Total += static_cast<double>(x) * tick;
    t.Idle = static_cast<double>(v[3] + v[4]) * tick;  // idle and waiting for I/O
  }
  std::fclose(f);
  return t;
}

// [s] of processor time used by this benchmark's finished runs so far.
double ChildrenTime() {
  rusage r{};
  ::getrusage(RUSAGE_CHILDREN, &r);
  auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
  };
  return seconds(r.ru_utime) + seconds(r.ru_stime);
}

// How busy the machine was between `start` and now: the share of all core time that stood idle,
// that the measured runs used, and that went to everything else (other users of the machine).
void PrintMachineUse(const CoreTime& start, double childrenAtStart) {
  const CoreTime now = ReadCoreTime();
  const double total = now.Total - start.Total;
  if (total <= 0) return;
  const double idle = now.Idle - start.Idle;
  const double ours = ChildrenTime() - childrenAtStart;
  std::printf(
      "machine: %ld cores; of their time during the benchmark %.0f %% stood idle, the runs took %.0f %%, "
      "other work %.0f %%\n",
      ::sysconf(_SC_NPROCESSORS_ONLN), 100 * idle / total, 100 * ours / total,
      100 * std::max(0.0, total - idle - ours) / total);
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
