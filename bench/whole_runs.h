#pragma once
// What the benchmarks of whole runs share: zarn-batch and the plain writer as timed processes, the
// machine's idle share, medians and pairs of runs taken in turns.
#include <fcntl.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/statfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

namespace zarn_bench {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr const char* kStepFile = "Zarn Daten.txt";
constexpr const char* kSampleFile = "Zarn_500.txt";
constexpr long kTmpfsMagic = 0x01021994;

// Runs the command to its end with its output discarded, on core `core` alone when it is not -1;
// returns its wall time [s].
inline double Timed(const std::vector<std::string>& command, int core = -1) {
  std::vector<char*> argv;
  for (const std::string& a : command) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const Clock::time_point start = Clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (core >= 0) {
      cpu_set_t set;
      CPU_ZERO(&set);
      CPU_SET(core, &set);
      if (::sched_setaffinity(0, sizeof set, &set) != 0) ::_exit(126);
    }
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
inline void SyncFileSystem(const fs::path& dir) {
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd >= 0) {
    ::syncfs(fd);
    ::close(fd);
  }
}

inline void Remove(const fs::path& dir, std::initializer_list<const char*> names) {
  for (const char* name : names) fs::remove(dir / name);
}

inline double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

inline double Fastest(const std::vector<double>& v) {
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

inline const char* FileSystemKind(const fs::path& dir) {
  struct statfs st {};
  if (::statfs(dir.c_str(), &st) != 0) return "unknown";
  return st.f_type == kTmpfsMagic ? "tmpfs" : "disk";
}

// The machine's core time so far [s]: all of it, and what was idle (from /proc/stat).
struct CoreTime {
  double Total = 0, Idle = 0;
};
inline CoreTime ReadCoreTime() {
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
inline double ChildrenTime() {
  rusage r{};
  ::getrusage(RUSAGE_CHILDREN, &r);
  auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
  };
  return seconds(r.ru_utime) + seconds(r.ru_stime);
}

// How busy the machine was between `start` and now: the share of all core time that stood idle,
// that the measured runs used, and that went to everything else (other users of the machine).
inline void PrintMachineUse(const CoreTime& start, double childrenAtStart) {
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

}  // namespace zarn_bench
