// zarn-batch under hostile input, as a user meets it: files of any size under a memory limit, Ctrl-C
// in the reading and in the statistics, folders that cannot be read or that another run holds, and
// ranges and tolerances at the ends of the doubles.
#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/tools/batch_program.h"

namespace zarn::runner {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test_support::BatchProgram;
using test_support::Catches;
using test_support::CsvRows;
using test_support::Listing;
using test_support::Outcome;
using test_support::ReadFile;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;  // reserves terabytes of address space: no --as limit fits
#else
constexpr bool kAddressSanitizer = false;
#endif

// Whether the process sleeps (waits in a call), by the state in /proc/PID/stat.
bool Sleeping(pid_t pid) {
  const std::string text = ReadFile("/proc/" + std::to_string(pid) + "/stat");
  const std::size_t close = text.rfind(')');
  return close != std::string::npos && close + 2 < text.size() && text[close + 2] == 'S';
}

// The program's end: its status and its peak resident memory, or a failure after 20 s.
struct Ended {
  int Status = 0;
  long PeakKiB = 0;
};
Ended WaitEnded(pid_t pid) {
  const auto deadline = std::chrono::steady_clock::now() + 20s;
  Ended e;
  rusage usage{};
  while (wait4(pid, &e.Status, WNOHANG, &usage) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      wait4(pid, &e.Status, 0, &usage);
      ADD_FAILURE() << "still running after 20 s";
      break;
    }
    std::this_thread::sleep_for(5ms);
  }
  e.PeakKiB = usage.ru_maxrss;
  return e;
}

// Huge inputs under `prlimit --as`: each reader stops at its bound before it holds it, with the
// file and line at fault; no std::bad_alloc, no abort, memory far below the limit.
TEST_F(BatchProgram, ReadersStopAtTheirBoundsUnderAMemoryLimit) {
  if (kAddressSanitizer) GTEST_SKIP() << "AddressSanitizer's shadow memory exceeds any --as limit";
  // 2 GiB of NUL bytes without a byte on the disk.
  const fs::path sparse = work_ / "big.csv";
  {
    std::ofstream(sparse).close();
    fs::resize_file(sparse, std::uintmax_t{2} << 30);
  }
  // 4 000 001 rows of two cells: one row past the 8 000 000 values a table of measured data holds.
  const fs::path rows = work_ / "rows.csv";
  {
    std::string text = "t_s,H_m\n";
    for (int i = 0; i < 4'000'001; ++i) text += "0,\n";
    std::ofstream(rows, std::ios::binary) << text;
  }
  const struct {
    const char* Limit;
    std::vector<std::string> Args;
    int Exit;
    const char* Says;
    long MaxKiB;
  } kCases[] = {
      {"--as=2147483648",
       {"--preset", "0", "--dir", "out", "--compare", "big.csv"},
       2,
       "zarn-batch: big.csv:1: longer than 65536 bytes: not a line of a table\n",
       64 << 10},
      {"--as=1073741824",
       {"--preset", "0", "--compare", "/dev/zero"},
       2,
       "zarn-batch: /dev/zero:1: longer than 65536 bytes: not a line of a table\n",
       64 << 10},
      {"--as=1073741824",
       {"--preset", "0", "--compare", "rows.csv"},
       2,
       "zarn-batch: rows.csv:4000002: more than 8000000 values: not a table of measured data\n",
       400 << 10},
      {"--as=1073741824",
       {"--stats-of", "/dev/zero"},
       1,
       "zarn-batch: /dev/zero:1: longer than 1048576 bytes: not a line of a table\n",
       64 << 10},
      {"--as=2147483648",
       {"--stats-of", "big.csv"},
       1,
       "zarn-batch: big.csv:1: longer than 1048576 bytes: not a line of a table\n",
       64 << 10},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Args.back());
    std::vector<std::string> argv{"/usr/bin/prlimit", c.Limit, "--", ZARN_BATCH_EXE};
    argv.insert(argv.end(), c.Args.begin(), c.Args.end());
    const Ended e = WaitEnded(Spawn(argv, false, false));
    const Outcome r = Collect(e.Status);
    EXPECT_EQ(r.Exit, c.Exit) << r.Err;
    EXPECT_EQ(r.Err,
              std::string(c.Says) + (c.Exit == 2 ? "Try 'zarn-batch --help' for more information.\n" : ""));
    EXPECT_LT(e.PeakKiB, c.MaxKiB);
    EXPECT_FALSE(fs::exists(work_ / "out"));  // refused before the run
  }
}

// Ctrl-C while --stats-of waits on a pipe that holds its bytes back: "Run cancelled" and the end by
// SIGINT at once, where a blocking read would have waited for the writer.
TEST_F(BatchProgram, StatsOfAnswersCtrlCWhileItsPipeHoldsBack) {
  const fs::path fifo = work_ / "summary.pipe";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const pid_t pid = Start({"--stats-of", "summary.pipe"});
  // Open for writing returns once the program has opened its end, after its handlers are in place.
  const int fd = open(fifo.c_str(), O_WRONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  const std::string head = "case,TTO,impact_X_m,error\n1,0.5,45.3,\n";
  ASSERT_EQ(write(fd, head.data(), head.size()), static_cast<ssize_t>(head.size()));
  ASSERT_TRUE(Catches(pid, SIGINT));
  // Once the program has taken every byte and sleeps, it waits on the pipe.
  const auto deadline = std::chrono::steady_clock::now() + 20s;
  for (int unread = 1; unread != 0 || !Sleeping(pid);) {
    ASSERT_EQ(ioctl(fd, FIONREAD, &unread), 0);
    ASSERT_LT(std::chrono::steady_clock::now(), deadline);
    std::this_thread::sleep_for(5ms);
  }
  ASSERT_EQ(kill(pid, SIGINT), 0);
  const Ended e = WaitEnded(pid);
  close(fd);
  const Outcome r = Collect(e.Status);
  EXPECT_EQ(r.Signal, SIGINT);
  EXPECT_EQ(r.Err, "zarn-batch: Run cancelled\n");
  EXPECT_EQ(r.Out, "");
}

// Summaries: a spreadsheet's byte order mark, a failed draw's empty value, case numbers beyond
// what a double counts, and cases beyond the kept million (counted, with their extremes; the
// mean and percentiles those of cases 1..3, computed by hand).
TEST_F(BatchProgram, StatsOfReadsWhatASpreadsheetWritesAndRefusesWhatNoRunWrites) {
  std::ofstream(work_ / "s.csv", std::ios::binary)
      << "\xEF\xBB\xBF"
         "case,V0,impact_X_m,error\r\n"
         "1,100,40,\r\n2,,,V0 = 1E309: too large\r\n3,110,50,\r\n4,120,60,\r\n"
         "2000001,90,10,\r\n2000002,130,70,\r\n";
  Outcome r = Batch({"--stats-of", "s.csv"});
  ASSERT_EQ(r.Exit, 0) << r.Err;
  const auto rows = CsvRows(r.Out);
  ASSERT_EQ(rows.size(), 2u) << r.Out;
  // figure,cases,failed,absent,mean,sd,min,p2.5,p50,p97.5,max
  EXPECT_EQ(
      std::vector<std::string>(rows[1].begin(), rows[1].begin() + 11),
      (std::vector<std::string>{"impact_X_m", "5", "1", "0", "50", "10", "10", "40.5", "50", "59.5", "70"}));
  EXPECT_NE(r.Err.find("6 cases, 1 failed"), std::string::npos) << r.Err;
  EXPECT_NE(r.Err.find("cases 1 to 1000000, a sample of the draws"), std::string::npos) << r.Err;

  const struct {
    const char* Row;
    const char* Says;
  } kBad[] = {
      {"1e19,100,40,", "zarn-batch: b.csv:2: '1e19' is not a case number\n"},
      {"1e300,100,40,", "zarn-batch: b.csv:2: '1e300' is not a case number\n"},
      {"9007199254740993,100,40,", "zarn-batch: b.csv:2: '9007199254740993' is not a case number\n"},
      {"1,\x1b]0;owned\x07,40,", "zarn-batch: b.csv:2: '\\x1b]0;owned\\x07' is not a number\n"},
      {"1,,40,", "zarn-batch: b.csv:2: '' is not a number\n"},  // empty only where the case failed
  };
  std::ofstream(work_ / "h.csv", std::ios::binary) << "case,V\x1b[0,impact_X_m,error\n1,1,1,\n";
  r = Batch({"--stats-of", "h.csv"});
  EXPECT_EQ(r.Exit, 1);
  EXPECT_EQ(r.Err, "zarn-batch: h.csv:1: 'V\\x1b[0' is not a column's name\n");
  for (const auto& bad : kBad) {
    SCOPED_TRACE(bad.Row);
    std::ofstream(work_ / "b.csv", std::ios::binary) << "case,V0,impact_X_m,error\n" << bad.Row << "\n";
    r = Batch({"--stats-of", "b.csv"});
    EXPECT_EQ(r.Exit, 1);
    EXPECT_EQ(r.Err, bad.Says);
  }
}

// Ctrl-C once every row of a Monte Carlo run is written, while its statistics are computed: the run
// ends cancelled and writes no statistics; the statistics file of the run before it went when this
// one began, so that the folder never pairs this summary with those statistics.
TEST_F(BatchProgram, CtrlCInTheStatisticsLeavesNoStatisticsBesideTheSummary) {
  const fs::path summary = work_ / "s.csv", stats = work_ / "st.csv";
  std::ofstream(stats) << "figure,cases\nimpact_X_m,20\n";  // an earlier run's
  const std::string summaryArg = summary.string(), statsArg = stats.string();
  const std::vector<std::string_view> args{
      "--preset", "0", "--monte-carlo", "40",       "--vary",  "TTO=uniform(0,10)",
      "--jobs",   "2", "--summary",     summaryArg, "--stats", statsArg};
  const BatchOptions o = ParseArguments(args);
  std::atomic<int> cancel{0};
  Console console;
  console.Cancel = &cancel;
  std::ostringstream out, err;
  const int status = RunSweep(o, out, err, console, [&](const SweepRow& row) {
    if (row.Case == 40) cancel = SIGINT;  // the last row: the summary is complete
  });
  EXPECT_EQ(status, kExitCancelled);
  EXPECT_EQ(err.str(),
            "zarn-batch: Run cancelled: the summary holds all 40 cases, without their statistics\n");
  EXPECT_EQ(CsvRows(ReadFile(summary)).size(), 41u);
  EXPECT_FALSE(fs::exists(stats));
}

// The folder of --keep holds the cases of one run: an earlier run's case folders go (nothing else
// of the user's), and while a run keeps its files there a second one is refused.
TEST_F(BatchProgram, TheKeepFolderHoldsTheCasesOfOneRunAtATime) {
  ASSERT_EQ(Batch({"--preset", "0", "--sweep", "TTO=0:3:1", "--keep", "k"}).Exit, 0);
  std::ofstream(work_ / "k" / "notes.txt") << "mine\n";
  fs::create_directories(work_ / "k" / "case-old");
  Outcome r = Batch(
      {"--preset", "0", "--maximize", "impact_X_m", "--over", "TTO=0:1", "--xtol", "0.3", "--keep", "k"});
  ASSERT_EQ(r.Exit, 0) << r.Err;
  std::set<std::string> expected{"notes.txt", "case-old"};
  for (const auto& name : Listing(work_ / "k"))
    if (name.starts_with("case-0")) expected.insert(name);
  EXPECT_EQ(Listing(work_ / "k"), expected);
  EXPECT_LT(expected.size(), 2u + 24u);
  r = Batch({"--preset", "0", "--sweep", "TTO=0:1:1", "--keep", "k"});
  ASSERT_EQ(r.Exit, 0) << r.Err;
  EXPECT_EQ(Listing(work_ / "k"), (std::set<std::string>{"case-0001", "case-0002", "case-old", "notes.txt"}));

  // Another run holds the folder (as zarn-batch holds it: flock on the folder).
  const int held = open((work_ / "k").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(held, 0);
  ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--preset", "0", "--monte-carlo", "5", "--vary", "TTO=uniform(0,1)",
                                 "--keep", "k"},
        std::vector<std::string>{"--preset", "0", "--solve", "TTO=0:1", "--for", "impact_X_m=45", "--keep",
                                 "k"}}) {
    r = Batch(args);
    EXPECT_EQ(r.Exit, 1);
    EXPECT_EQ(r.Err, "zarn-batch: Cannot keep the runs' files in \"k\": another run keeps its files there\n");
  }
  close(held);
  EXPECT_EQ(Listing(work_ / "k"), (std::set<std::string>{"case-0001", "case-0002", "case-old", "notes.txt"}));

  // The shards of one run share the folder: each removes only its own cases and those past the run.
  fs::create_directories(work_ / "k" / "case-0009");
  for (const char* shard : {"0/2", "1/2"})
    ASSERT_EQ(Batch({"--preset", "0", "--sweep", "TTO=0:3:1", "--shard", shard, "--keep", "k"}).Exit, 0);
  EXPECT_EQ(Listing(work_ / "k"), (std::set<std::string>{"case-0001", "case-0002", "case-0003", "case-0004",
                                                         "case-old", "notes.txt"}));
}

// A folder that may be written but not read (0333) cannot be locked against a second run: as an
// unprivileged user a run into it is refused before it writes anything, for the result files and
// for --keep. Runs as "nobody" when the tests run as root.
TEST_F(BatchProgram, AFolderThatCannotBeReadIsRefusedAsItCannotBeLocked) {
  const bool root = geteuid() == 0;
  constexpr uid_t kNobody = 65534;
  char pattern[] = "/tmp/zarn_unreadable_XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const fs::path dir = pattern;
  fs::permissions(dir, fs::perms(0755));
  const fs::path exe = dir / "zarn-batch";  // where "nobody" may start it, wherever the build lies
  fs::copy_file(ZARN_BATCH_EXE, exe);
  fs::permissions(exe, fs::perms(0755));
  fs::create_directories(dir / "out");
  if (root && chown((dir / "out").c_str(), kNobody, kNobody) != 0)
    GTEST_SKIP() << "cannot give nobody a folder";
  fs::permissions(dir / "out", fs::perms(0333));
  const struct {
    std::vector<std::string> Args;
    const char* Says;
  } kCases[] = {
      {{"--preset", "0", "--quiet", "--dir", "out"},
       "zarn-batch: Cannot write the result files in \"out\": the folder cannot be read, so it cannot be "
       "kept "
       "from another run\n"},
      {{"--preset", "0", "--sweep", "TTO=0:1:1", "--keep", "out"},
       "zarn-batch: Cannot keep the runs' files in \"out\": the folder cannot be read, so it cannot be kept "
       "from another run\n"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Args.back());
    const fs::path err = io_ / "stderr";
    const int errFd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    ASSERT_GE(errFd, 0);
    const pid_t pid = fork();
    if (pid == 0) {
      const int null = open("/dev/null", O_WRONLY);
      if (dup2(errFd, 2) < 0 || dup2(null, 1) < 0 || chdir(dir.c_str()) != 0) _exit(126);
      if (root && (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0)) _exit(125);
      std::vector<char*> argv{const_cast<char*>(exe.c_str())};
      for (const std::string& a : c.Args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(exe.c_str(), argv.data());
      _exit(127);
    }
    close(errFd);
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 125) GTEST_SKIP() << "cannot become nobody";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    EXPECT_EQ(ReadFile(err), c.Says);
  }
  fs::permissions(dir / "out", fs::perms(0755));
  EXPECT_TRUE(fs::is_empty(dir / "out"));
  fs::remove_all(dir);
}

// Ranges and tolerances at the ends of the doubles: the scan's points stay finite, so the widest
// range finds the largest range at TTO = 0 (45.342 m, as the run at TTO = 0 gives); a parameter
// tolerance far above the range, and a target tolerance no run could meet, are answered sensibly.
TEST_F(BatchProgram, SearchesAtTheEndsOfTheDoublesGiveTheRightRowOrARefusal) {
  Outcome r = Batch({"--preset", "0", "--maximize", "impact_X_m", "--over", "TTO=-1e308:1e308"});
  ASSERT_EQ(r.Exit, 0) << r.Err;
  auto rows = CsvRows(r.Out);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1][1], "0");
  const auto column = std::find(rows[0].begin(), rows[0].end(), "impact_X_m") - rows[0].begin();
  EXPECT_NEAR(std::stod(rows[1][static_cast<std::size_t>(column)]), 45.342, 0.001);

  r = Batch({"--preset", "0", "--maximize", "impact_X_m", "--over", "TTO=0:1", "--xtol", "1e308"});
  EXPECT_EQ(r.Exit, 0) << r.Err;

  r = Batch({"--preset", "0", "--solve", "TTO=0:1", "--for", "impact_X_m=45", "--tol", "1e-300"});
  EXPECT_EQ(r.Exit, 2);
  EXPECT_EQ(
      r.Err.substr(0, r.Err.find('\n')),
      "zarn-batch: --tol 1e-300 is finer than a run's figures are computed: at least 4.5e-11 for a target of "
      "45");
}

// A draw that no field holds fails its case, and its row shows no value, since none was drawn; a
// value drawn whose run then fails stays in its row.
TEST_F(BatchProgram, ACaseWhoseDrawOverflowsShowsNoValue) {
  const Outcome r = Batch({"--preset", "0", "--monte-carlo", "6", "--vary", "V0=normal(1.797e308,1e306)"});
  const auto rows = CsvRows(r.Out);
  ASSERT_EQ(rows.size(), 7u) << r.Err;
  EXPECT_EQ(rows[6][1], "");  // drawn above the largest double
  EXPECT_EQ(rows[6].back(), "Floating point overflow");
  EXPECT_EQ(rows[5][1], "1.78632027621284e+308");  // drawn, then its run overflowed
  EXPECT_EQ(rows[5].back(), "Floating point overflow");
}

}  // namespace
}  // namespace zarn::runner
