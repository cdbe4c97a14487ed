// The result files of the built zarn-batch whatever ends a run: the signals that stop it, a kill
// at any moment, a second run into the same folder, and files it may or may not replace.
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <iostream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "batch_program.h"

namespace zarn::runner {
namespace {

using namespace test_support;
using namespace std::chrono_literals;

const std::string kStep = "Zarn Daten.txt", kSample = "Zarn_500.txt";

// Whether the child `pid` has ended; it stays to be waited for.
bool Ended(pid_t pid) {
  siginfo_t info{};
  return waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid;
}

// The zarn-batch that the shell `shell` started, once it is running, or 0 after a minute.
pid_t ProgramOf(pid_t shell) {
  const auto deadline = std::chrono::steady_clock::now() + 60s;
  while (std::chrono::steady_clock::now() < deadline) {
    for (const auto& entry : fs::directory_iterator("/proc")) {
      std::error_code ec;
      if (fs::read_symlink(entry.path() / "exe", ec).filename() != "zarn-batch") continue;
      std::ifstream status(entry.path() / "status");
      for (std::string line; std::getline(status, line);)
        if (line.rfind("PPid:", 0) == 0 && std::stol(line.substr(5)) == shell)
          return static_cast<pid_t>(std::stol(entry.path().filename().string()));
    }
    std::this_thread::sleep_for(2ms);
  }
  return 0;
}

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit = 60s) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!condition())
    if (std::chrono::steady_clock::now() > deadline)
      return false;
    else
      std::this_thread::sleep_for(1ms);
  return true;
}

// Each stop signal ends a long run as Ctrl-C does: "Run cancelled", the step file whole to its last
// line, then the program ends by that signal, so that the shell sees 128 + its number. The folder
// held the pair of an earlier run: its sample file went with its step file.
TEST_F(BatchProgram, StopSignalsEndARunWithItsFilesWholeAndTheShellSeesTheSignal) {
  const struct {
    int Signal;
    const char* Status;
  } kSignals[] = {{SIGINT, "status 130\n"}, {SIGTERM, "status 143\n"}, {SIGHUP, "status 129\n"}};
  fs::create_directories(work_ / "out");
  for (const auto& s : kSignals) {
    SCOPED_TRACE(strsignal(s.Signal));
    ASSERT_EQ(Batch({"--preset", "2", "--dir", "out", "--quiet"}).Exit, 0);
    // A long run (10^6 steps a pass) that is stopped within its first few hundred MB.
    const pid_t shell = StartShell(R"("$ZB" --preset 1 --set dt0=0.0001 --dir out; echo "status $?")");
    const pid_t program = ProgramOf(shell);
    ASSERT_NE(program, 0);
    ASSERT_TRUE(WaitFor([&] { return Catches(program, s.Signal); }));
    ASSERT_TRUE(WaitFor([&] { return !fs::exists(work_ / "out" / kSample); }));  // the run has begun
    std::this_thread::sleep_for(50ms);
    kill(program, s.Signal);
    const Outcome r = Finish(shell);
    EXPECT_EQ(r.Out, s.Status);
    EXPECT_EQ(r.Err.rfind("zarn-batch: Run cancelled\n", 0), 0u) << r.Err;  // then the shell's word, if any
    EXPECT_EQ(Listing(work_ / "out"), std::set<std::string>{kStep});
    const std::string steps = ReadFile(work_ / "out" / kStep);
    ASSERT_GT(steps.size(), 2u);
    EXPECT_EQ(steps.substr(steps.size() - 2), "\r\n");
  }
}

// Started with SIGHUP ignored, as under nohup, a run is not stopped by one: it completes with both
// files, whatever hangs up meanwhile.
TEST_F(BatchProgram, ARunStartedWithHangUpIgnoredCompletes) {
  fs::create_directories(work_ / "out");
  const pid_t shell =
      StartShell(R"(trap '' HUP; "$ZB" --preset 1 --set dt0=0.0001 --dir out --quiet; echo "status $?")");
  const pid_t program = ProgramOf(shell);
  ASSERT_NE(program, 0);
  ASSERT_TRUE(WaitFor([&] { return Catches(program, SIGINT); }));  // its handlers are in place
  EXPECT_FALSE(Catches(program, SIGHUP));
  kill(program, SIGHUP);
  const Outcome r = Finish(shell);
  EXPECT_EQ(r.Out, "status 0\n");
  EXPECT_EQ(r.Err, "");
  EXPECT_EQ(Listing(work_ / "out"), (std::set<std::string>{kStep, kSample}));
}

// A re-run killed at random moments, by SIGKILL or SIGTERM, into a folder that holds an earlier
// run's pair: whenever it dies, the folder holds the earlier pair, the earlier step file alone, or
// the new run's step file with at most the new run's sample file. The runs differ from their first
// step line on (preset 2 against preset 1), so a file's run shows in its bytes. A busy machine
// stretches some runs and not others, so the moments alone need not reach each stage: every third
// kill waits for the program to have begun, every third for the new step file's first lines.
TEST_F(BatchProgram, ARunKilledAtAnyMomentNeverLeavesTheFilesOfTwoRuns) {
  const std::vector<std::string> earlierRun{"--preset", "2", "--quiet"};
  const std::vector<std::string> newRun{"--preset", "1", "--set", "dt0=0.004", "--quiet"};
  auto runInto = [&](const char* dir, std::vector<std::string> args) {
    fs::create_directories(work_ / dir);
    args.insert(args.end(), {"--dir", dir});
    return Batch(args);
  };
  ASSERT_EQ(runInto("earlier", earlierRun).Exit, 0);
  const auto started = std::chrono::steady_clock::now();
  ASSERT_EQ(runInto("new", newRun).Exit, 0);
  const auto runTime =
      std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - started);
  const std::string earlierStep = ReadFile(work_ / "earlier" / kStep),
                    earlierSample = ReadFile(work_ / "earlier" / kSample);
  const std::string newStep = ReadFile(work_ / "new" / kStep), newSample = ReadFile(work_ / "new" / kSample);
  ASSERT_NE(earlierStep.substr(0, 400), newStep.substr(0, 400));
  ASSERT_NE(earlierSample.substr(0, 200), newSample.substr(0, 200));

  auto isPrefix = [](const std::string& part, const std::string& whole) { return whole.rfind(part, 0) == 0; };
  std::mt19937 random(18);
  std::uniform_int_distribution<int64_t> moment(0, runTime.count() * 11 / 10);
  int earlierPairs = 0, earlierStepAlone = 0, newFiles = 0;
  const fs::path dir = work_ / "rerun";
  for (int trial = 0; trial < 60; ++trial) {
    const int signal = trial % 2 == 0 ? SIGKILL : SIGTERM;
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::copy_file(work_ / "earlier" / kStep, dir / kStep);
    fs::copy_file(work_ / "earlier" / kSample, dir / kSample);
    std::vector<std::string> args = newRun;
    args.insert(args.end(), {"--dir", dir.string()});
    const pid_t pid = Start(args);
    const auto wait = std::chrono::microseconds(moment(random));  // drawn every time: the same moments
    if (trial % 3 == 0) {
      WaitFor([&] {
        std::error_code ec;
        return Ended(pid) ||
               fs::read_symlink("/proc/" + std::to_string(pid) + "/exe", ec).filename() == "zarn-batch";
      });
    } else if (trial % 3 == 1) {
      WaitFor([&] {
        std::ifstream step(dir / kStep, std::ios::binary);
        std::string head(400, '\0');
        step.read(head.data(), static_cast<std::streamsize>(head.size()));
        return Ended(pid) || head == newStep.substr(0, 400);
      });
    } else {
      std::this_thread::sleep_for(wait);
    }
    kill(pid, signal);
    const Outcome r = Finish(pid);
    SCOPED_TRACE("trial " + std::to_string(trial) + ", " + strsignal(signal) + ", exit " +
                 std::to_string(r.Exit));

    const std::string step = ReadFile(dir / kStep);
    const bool sampleThere = fs::exists(dir / kSample);
    const std::string sample = sampleThere ? ReadFile(dir / kSample) : "";
    if (step == earlierStep) {
      EXPECT_TRUE(!sampleThere || sample == earlierSample)
          << "the earlier step file beside " << sample.size() << " bytes of another sample file";
      ++(sampleThere ? earlierPairs : earlierStepAlone);
    } else {
      EXPECT_TRUE(isPrefix(step, newStep)) << "a step file of neither run";
      EXPECT_TRUE(isPrefix(sample, newSample)) << "the new step file beside another run's sample file";
      ++newFiles;
    }
  }
  std::cout << earlierPairs << " kills left the earlier pair, " << earlierStepAlone
            << " the earlier step file alone, " << newFiles << " the new run's files\n";
  // The moments reached each stage of the run.
  EXPECT_GT(earlierPairs + earlierStepAlone, 0);
  EXPECT_GT(newFiles, 0);
}

// Two runs started into one folder: the second is refused at once, touching nothing, and the first
// runs to its end undisturbed.
TEST_F(BatchProgram, ASecondRunIntoTheSameFolderIsRefusedAndTheFirstFinishesWhole) {
  fs::create_directories(work_ / "out");
  ASSERT_EQ(Batch({"--preset", "2", "--dir", "out", "--quiet"}).Exit, 0);
  // The first run's step file goes nowhere, so that a run of 2 x 10^6 steps costs no disk.
  fs::remove(work_ / "out" / kStep);
  fs::create_symlink("/dev/null", work_ / "out" / kStep);
  const pid_t first = StartShell(R"("$ZB" --preset 1 --set dt0=0.0001 --dir out --json > first.json)");
  // The first run has the folder once the earlier sample file is gone.
  ASSERT_TRUE(WaitFor([&] { return !fs::exists(work_ / "out" / kSample); }));
  const Outcome second = Batch({"--preset", "2", "--dir", "out"});
  EXPECT_EQ(second.Exit, 1);
  EXPECT_EQ(second.Err,
            "zarn-batch: Cannot write the result files in \"out\": another run is writing there\n");
  EXPECT_EQ(second.Out, "");
  EXPECT_FALSE(fs::exists(work_ / "out" / kSample))
      << "the first run had not finished: the test proves nothing";

  EXPECT_EQ(Finish(first).Exit, 0);
  EXPECT_TRUE(fs::is_symlink(work_ / "out" / kStep));
  // The first run's files are those of the same run alone.
  fs::create_directories(work_ / "alone");
  fs::create_symlink("/dev/null", work_ / "alone" / kStep);
  ASSERT_EQ(Batch({"--preset", "1", "--set", "dt0=0.0001", "--dir", "alone", "--json"}).Exit, 0);
  EXPECT_EQ(ReadFile(work_ / "out" / kSample), ReadFile(work_ / "alone" / kSample));
  EXPECT_EQ(ReadFile(work_ / "first.json"), ReadFile(io_ / "stdout"));
  EXPECT_EQ(Listing(work_ / "out"), (std::set<std::string>{kStep, kSample}));
}

mode_t Permissions(const fs::path& path) {
  struct stat st {};
  EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}

// A re-run keeps the permission bits of the files it replaces: private results stay private.
TEST_F(BatchProgram, ReplacedResultFilesKeepTheirPermissionBits) {
  ASSERT_EQ(Batch({"--preset", "2", "--quiet"}).Exit, 0);
  fs::permissions(work_ / kStep, fs::perms(0640));
  fs::permissions(work_ / kSample, fs::perms(0600));
  const std::string earlierSample = ReadFile(work_ / kSample);
  ASSERT_EQ(Batch({"--preset", "1", "--quiet"}).Exit, 0);
  EXPECT_NE(ReadFile(work_ / kSample), earlierSample);  // replaced
  EXPECT_EQ(Permissions(work_ / kStep), 0640u);
  EXPECT_EQ(Permissions(work_ / kSample), 0600u);
}

// A result file that the user could not write in place (read-only, another user's) is not replaced,
// though the folder would let a new file be renamed over it: "Permission denied", exit 1, and
// neither file is touched. Run as an unprivileged user: as "nobody" when the tests run as root.
TEST_F(BatchProgram, AResultFileTheUserCannotWriteIsNotReplaced) {
  const bool root = geteuid() == 0;
  constexpr uid_t kNobody = 65534;
  // A folder anyone may write to and read through, so that only the file's own bits can refuse.
  char pattern[] = "/tmp/zarn_readonly_XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const fs::path dir = pattern;
  fs::permissions(dir, fs::perms(0777));
  // The program itself where "nobody" may run it: the build may lie in a folder only root enters
  // (a clone in a private temporary folder).
  char exePattern[] = "/tmp/zarn_exe_XXXXXX";
  ASSERT_NE(mkdtemp(exePattern), nullptr);
  const fs::path exeDir = exePattern;
  fs::permissions(exeDir, fs::perms(0755));
  const fs::path exe = exeDir / "zarn-batch";
  fs::copy_file(ZARN_BATCH_EXE, exe);
  fs::permissions(exe, fs::perms(0755));
  const struct {
    const char* ReadOnly;  // the file made 0444
    mode_t StepMode, SampleMode;
  } kCases[] = {{"Zarn Daten.txt", 0444, 0666}, {"Zarn_500.txt", 0666, 0444}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.ReadOnly);
    for (const auto& e : fs::directory_iterator(dir)) fs::remove(e.path());
    {
      const auto d = RunInProcess(
          2, [](FlightParameters&) {}, dir);
    }
    fs::permissions(dir / kStep, fs::perms(c.StepMode));
    fs::permissions(dir / kSample, fs::perms(c.SampleMode));
    const std::string step = ReadFile(dir / kStep), sample = ReadFile(dir / kSample);

    const fs::path err = io_ / "stderr";
    const int errFd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    ASSERT_GE(errFd, 0);
    fchmod(errFd, 0666);
    const pid_t pid = fork();
    if (pid == 0) {
      const int null = open("/dev/null", O_WRONLY);
      if (dup2(errFd, 2) < 0 || dup2(null, 1) < 0 || chdir(dir.c_str()) != 0) _exit(126);
      if (root && (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0)) _exit(125);
      execl(exe.c_str(), exe.c_str(), "--preset", "1", "--quiet", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(errFd);
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 125) GTEST_SKIP() << "cannot become nobody";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    EXPECT_EQ(ReadFile(err),
              "zarn-batch: Cannot create \"./" + std::string(c.ReadOnly) + "\": Permission denied\n");
    EXPECT_EQ(ReadFile(dir / kStep), step);
    EXPECT_EQ(ReadFile(dir / kSample), sample);
    EXPECT_EQ(Permissions(dir / kStep), c.StepMode);
    EXPECT_EQ(Permissions(dir / kSample), c.SampleMode);
    EXPECT_EQ(Listing(dir), (std::set<std::string>{kStep, kSample}));
  }
  fs::remove_all(dir);
  fs::remove_all(exeDir);
}

}  // namespace
}  // namespace zarn::runner
