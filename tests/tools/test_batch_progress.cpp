// A long run that stays usable: the progress bar on a terminal, and Ctrl-C.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "batch_program.h"
#include "output/result_files.h"
#include "runner/run_monitor.h"
#include "runner/runner.h"

namespace zarn::runner {
namespace {

using namespace test_support;
using namespace std::chrono_literals;

RunProgress Probe(double t, double Tk) {
  return {0, t, Tk, 0.0, 1000};
}
RunProgress Recording(double t, double duration, double Tk = 1e9) {
  return {1, t, Tk, duration, 1000};
}

TEST(ProgressLine, FillsTheBarByTheFractionOfThePass) {
  struct Case {
    RunProgress Progress;
    int Columns;
    const char* Line;
  } const cases[] = {
      {Probe(0, 100), 80, "Pass 1 of 2 [                                                  ]   0%"},
      {Probe(50, 100), 80, "Pass 1 of 2 [#########################                         ]  50%"},
      {Probe(99.99, 100), 80, "Pass 1 of 2 [################################################# ]  99%"},
      // The probe pass's last step passes Tk; a pass never shows more than full.
      {Probe(100.004, 100), 80, "Pass 1 of 2 [##################################################] 100%"},
      // The recording pass goes by the duration the probe found, not by Tk.
      {Recording(30, 120), 80, "Pass 2 of 2 [############                                      ]  25%"},
      // A flight of one step (end time 0 or below) is through at once.
      {Probe(0.01, 0), 80, "Pass 1 of 2 [##################################################] 100%"},
      {Recording(0.01, 0), 80, "Pass 2 of 2 [##################################################] 100%"},
      // Narrower terminals: a shorter bar, then none, then the text cut; never the last column.
      {Probe(50, 100), 40, "Pass 1 of 2 [##########          ]  50%"},
      {Probe(50, 100), 25, "Pass 1 of 2  50%"},
      {Probe(50, 100), 10, "Pass 1 of"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Line);
    const std::string line = ProgressLine(c.Progress, c.Columns);
    EXPECT_EQ(line, c.Line);
    EXPECT_LT(line.size(), static_cast<std::size_t>(c.Columns));
  }
}

// The lines a terminal shows after `text`: '\r' returns to the first column, where later
// characters overwrite earlier ones; '\n' starts a new line. Trailing blanks are dropped.
std::vector<std::string> Screen(const std::string& text) {
  std::vector<std::string> lines(1);
  std::size_t column = 0;
  for (const char ch : text) {
    if (ch == '\r') {
      column = 0;
    } else if (ch == '\n') {
      lines.emplace_back();
      column = 0;
    } else {
      std::string& line = lines.back();
      if (column < line.size())
        line[column] = ch;
      else
        line += ch;
      ++column;
    }
  }
  for (std::string& line : lines) line.erase(line.find_last_not_of(' ') + 1);
  return lines;
}

class BatchConsole : public BatchProgram {
 protected:
  BatchOptions Options(std::initializer_list<std::string_view> args) {
    BatchOptions o = ParseArguments(std::vector<std::string_view>(args));
    o.Directory = work_;
    return o;
  }
};

TEST_F(BatchConsole, BarIsDrawnOnTheTerminalAndGoneBeforeTheSummary) {
  std::ostringstream terminal, out;
  Console console;
  console.Terminal = &terminal;
  console.Columns = 60;
  console.BarAfter = 0ms;  // at once, so that a short run shows it
  ASSERT_EQ(runner::Run(Options({"--preset", "1"}), out, terminal, console), 0);
  const std::string drawn = terminal.str();
  EXPECT_EQ(drawn.rfind("\rPass 1 of 2 [", 0), 0u) << drawn;
  EXPECT_EQ(drawn.find('\n'), std::string::npos);
  EXPECT_EQ(Screen(drawn), std::vector<std::string>{""});  // erased, nothing left behind
  EXPECT_EQ(out.str().rfind("Steps per pass: 10000\n", 0), 0u) << out.str();

  // A run that ends before BarAfter draws nothing at all.
  std::ostringstream quiet;
  console.Terminal = &quiet;
  console.BarAfter = 1000ms;
  ASSERT_EQ(runner::Run(Options({"--preset", "1"}), out, quiet, console), 0);
  EXPECT_EQ(quiet.str(), "");
}

TEST_F(BatchConsole, SweepBarCountsCasesAndIsGoneBeforeEachRow) {
  // The rows and the bar on one terminal, as when stdout and stderr both are the terminal.
  std::ostringstream terminal, rows;
  Console console;
  console.Terminal = &terminal;
  console.Columns = 60;
  console.BarAfter = 0ms;
  const BatchOptions o = ParseArguments(
      std::vector<std::string_view>{"--preset", "1", "--set", "dt0=0.001", "--sweep", "TTO=0:-60:-20"});
  ASSERT_EQ(runner::Run(o, rows, terminal, console), 0);
  ASSERT_EQ(runner::Run(o, terminal, terminal, console), 0);
  const std::string drawn = terminal.str();
  EXPECT_EQ(drawn.find(" of 4 cases ["), 2u) << drawn;  // "\rN of 4 cases [", N as far as it got
  const std::vector<std::string> lines = Screen(rows.str());
  EXPECT_EQ(Screen(drawn), lines);  // the rows alone: each row came after the bar was erased
  EXPECT_EQ(lines.size(), 6u);
}

TEST_F(BatchConsole, CancelStopsTheRunWithItsMessageAndLeavesTheFilesAsTheRunLeftThem) {
  std::ostringstream out, err;
  std::atomic<int> cancel{1};
  Console console;
  console.Cancel = &cancel;
  console.Terminal = &err;
  console.BarAfter = 0ms;
  // 100 000 steps per pass: the first progress call, at 4096 steps, stops it.
  const BatchOptions o = Options({"--preset", "1", "--set", "dt0=0.001", "--csv", "t.csv", "--png", "g.png"});
  EXPECT_EQ(runner::Run(o, out, err, console), 130);
  EXPECT_EQ(Screen(err.str()), (std::vector<std::string>{"zarn-batch: Run cancelled", ""}));
  EXPECT_EQ(err.str().find("Pass"), std::string::npos);  // stopped before any bar
  EXPECT_EQ(out.str(), "");
  // The step file as far as the run got, whole lines and flushed; nothing that follows a run.
  EXPECT_EQ(Listing(work_), std::set<std::string>{kStepFileName});
  const std::string steps = ReadFile(work_ / kStepFileName);
  ASSERT_GE(steps.size(), 2u);
  EXPECT_EQ(steps.substr(steps.size() - 2), "\r\n");
  EXPECT_GT(steps.size(), 4096u * 100u);
}

// Whether the program (a child of `parent`, or `parent` itself) has its SIGINT handler in place.
bool CatchesSigint(pid_t parent) {
  for (const auto& entry : fs::directory_iterator("/proc")) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream status(entry.path() / "status");
    std::string line, exe;
    bool child = false, catches = false;
    while (std::getline(status, line)) {
      if (line.rfind("PPid:", 0) == 0) child = std::stol(line.substr(5)) == parent;
      if (line.rfind("SigCgt:", 0) == 0)
        catches = (std::stoull(line.substr(7), nullptr, 16) & (1ull << (SIGINT - 1))) != 0;
    }
    std::error_code ec;
    exe = fs::read_symlink(entry.path() / "exe", ec).filename().string();
    if ((child || name == std::to_string(parent)) && exe == "zarn-batch" && catches) return true;
  }
  return false;
}

// Waits until zarn-batch (pid or its child) catches SIGINT, lets it run a little, then sends
// SIGINT to `target` (a pid, or -pgid for a whole group as a terminal's Ctrl-C does). Returns the
// wait status once it ended; fails the test when it goes on for a minute, which on the busiest
// machine is many times what a stopped run takes and a fraction of what a run left alone takes.
int Interrupt(pid_t pid, pid_t target) {
  const auto deadline = std::chrono::steady_clock::now() + 60s;
  while (!CatchesSigint(pid) && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(5ms);
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(kill(target, SIGINT), 0);
  const auto sent = std::chrono::steady_clock::now();
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() - sent > 60s) {
      kill(target, SIGKILL);
      waitpid(pid, &status, 0);
      ADD_FAILURE() << "still running a minute after SIGINT";
      break;
    }
    std::this_thread::sleep_for(10ms);
  }
  return status;
}

// The program in a long run (a drop of 100 s in steps of 1 us: 10^8 steps per pass), stopped by
// SIGINT as Ctrl-C sends it. Its step file is /dev/null, so that the run writes nothing to disk.
TEST_F(BatchProgram, SigintEndsALongRunWithRunCancelledAndByTheSignal) {
  fs::create_symlink("/dev/null", work_ / kStepFileName);
  const pid_t pid = Start({"--preset", "1", "--set", "dt0=0.000001", "--csv", "t.csv"});
  const Outcome r = Collect(Interrupt(pid, pid));
  EXPECT_EQ(r.Signal, SIGINT);
  EXPECT_EQ(r.Err, "zarn-batch: Run cancelled\n");  // stderr is a file: no bar
  EXPECT_EQ(r.Out, "");
  EXPECT_EQ(Listing(work_), std::set<std::string>{kStepFileName});  // no sample file, no CSV
  EXPECT_TRUE(fs::is_symlink(work_ / kStepFileName));
}

// A shell loop over runs, or over sweeps, stops at the first Ctrl-C: the program ends by SIGINT,
// so the shell (which got the same SIGINT from the terminal) ends too instead of starting the next.
TEST_F(BatchProgram, CtrlCEndsAShellLoopAtTheFirstPress) {
  fs::create_directories(work_ / "out");
  fs::create_symlink("/dev/null", work_ / "out" / kStepFileName);
  const struct {
    const char* Name;
    std::string Script;
    std::string Err;  // what stderr starts with
  } loops[] = {
      {"runs",
       R"(for angle in 10 20 30; do "$ZB" --preset 1 --set dt0=0.000001 --set TTO=$angle --dir out; echo "after $angle"; done; echo "loop done")",
       "zarn-batch: Run cancelled\n"},
      {"sweeps",
       R"(for v in 1 2 3; do "$ZB" --preset 1 --set dt0=0.00001 --set V0=$v --sweep TTO=0:70:10 --jobs 2 --summary s$v.csv; echo "after $v"; done; echo "loop done")",
       "zarn-batch: Run cancelled: the summary holds "},
  };
  for (const auto& loop : loops) {
    SCOPED_TRACE(loop.Name);
    const pid_t shell = StartShell(loop.Script);
    const Outcome r = Collect(Interrupt(shell, -shell));
    EXPECT_EQ(r.Signal, SIGINT) << "exit " << r.Exit;
    EXPECT_EQ(r.Out, "");  // no "after ...", no "loop done"
    EXPECT_EQ(r.Err.rfind(loop.Err, 0), 0u) << r.Err;
    EXPECT_EQ(std::count(r.Err.begin(), r.Err.end(), '\n'), 1) << r.Err;
  }
  // The cancelled sweep's summary: its header and whole rows of the cases done, in order.
  const auto rows = CsvRows(ReadFile(work_ / "s1.csv"));
  ASSERT_GE(rows.size(), 1u);
  EXPECT_EQ(rows[0].at(0), "case");
  for (std::size_t i = 1; i < rows.size(); ++i) EXPECT_EQ(rows[i].at(0), std::to_string(i));
  EXPECT_FALSE(fs::exists(work_ / "s2.csv"));
}

}  // namespace
}  // namespace zarn::runner
