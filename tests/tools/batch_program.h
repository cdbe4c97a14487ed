#pragma once
// Running the built zarn-batch as a user runs it: in a work directory of its own, with stdout and
// stderr in files outside it (so stderr is never a terminal), and the same run in-process for
// comparison.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "flight/integrator.h"
#include "flight/presets.h"
#include "output/result_files.h"
#include "records/flight_data.h"
#include "runner/runner.h"
#include "tests/support/flights.h"
#include "tests/support/scratch.h"

namespace zarn::runner::test_support {

namespace fs = std::filesystem;

using zarn::test_support::ReadFile;

// Whether the process `pid` catches `signal` (its handler is in place), by /proc/PID/status.
inline bool Catches(pid_t pid, int signal) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("SigCgt:", 0) == 0)
      return (std::stoull(line.substr(7), nullptr, 16) >> (signal - 1) & 1) != 0;
  return false;
}

inline std::set<std::string> Listing(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
  return names;
}

// A run in-process: preset `preset` with the given changes, the files written to `dir`.
// Returns the data and sets `stepsPerPass`.
template <typename Change>
std::unique_ptr<RunResult> RunInProcess(int preset, Change change, const fs::path& dir,
                                        int64_t* stepsPerPass = nullptr) {
  FlightParameters params = zarn::test_support::PresetParameters(preset);
  change(params);
  RunOptions o;
  o.Progress = [&](const RunProgress& p) {
    if (p.Pass == 0 && stepsPerPass != nullptr)
      *stepsPerPass = p.Steps;  // the last report of the pass is its end
    return true;
  };
  return zarn::test_support::FlyWithFiles(params, dir, o);
}

// The run that a command line describes, in-process: the data after the run and its figures.
struct InProcessRun {
  std::unique_ptr<RunResult> Data;
  Figures Result;
};
inline InProcessRun RunArgs(const std::vector<std::string_view>& args, const fs::path& dir) {
  const BatchOptions options = ParseArguments(args);
  ResultFiles files(dir);
  RunOptions run;
  run.Sink = &files;
  Flight flight = Fly(RunParameters(options, BaseRecord(options)), run);
  return {std::move(flight.Result), flight.Values};
}

struct Outcome {
  int Exit = -1;   //!< the exit code, or -1 when a signal ended the program
  int Signal = 0;  //!< the signal that ended the program, or 0
  std::string Out, Err;
};

// A CSV text as rows of fields (RFC 4180 quoting), without the line ends.
inline std::vector<std::vector<std::string>> CsvRows(std::string_view text) {
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> row;
  std::string field;
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        field += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        field += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      row.push_back(std::move(field));
      field.clear();
    } else if (c == '\n') {
      row.push_back(std::move(field));
      field.clear();
      rows.push_back(std::move(row));
      row.clear();
    } else {
      field += c;
    }
  }
  return rows;
}

class BatchProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(work_ = root_ / "work");
    fs::create_directories(io_ = root_ / "io");
  }

  // Starts zarn-batch in the work directory; stdout and stderr go to files outside it.
  pid_t Start(const std::vector<std::string>& args, bool withoutPlatform = false) {
    std::vector<std::string> argv{ZARN_BATCH_EXE};
    argv.insert(argv.end(), args.begin(), args.end());
    return Spawn(argv, withoutPlatform, false);
  }

  // Starts `bash -c script` in the work directory as the leader of a process group of its own, as
  // a shell started from a terminal runs; $ZB names the program.
  pid_t StartShell(const std::string& script) { return Spawn({"/bin/bash", "-c", script}, false, true); }

  pid_t Spawn(const std::vector<std::string>& args, bool withoutPlatform, bool ownGroup) {
    const fs::path out = io_ / "stdout", err = io_ / "stderr";
    const pid_t pid = fork();
    if (pid == 0) {
      std::vector<char*> argv;
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (o < 0 || e < 0 || dup2(o, 1) < 0 || dup2(e, 2) < 0 || chdir(work_.c_str()) != 0) _exit(126);
      if (ownGroup) setpgid(0, 0);
      signal(SIGINT, SIG_DFL);  // as from a terminal, whatever the test runner does with it
      if (withoutPlatform) unsetenv("QT_QPA_PLATFORM");
      unsetenv("DISPLAY");
      unsetenv("WAYLAND_DISPLAY");
      setenv("ZB", ZARN_BATCH_EXE, 1);
      execv(argv[0], argv.data());
      _exit(127);
    }
    if (ownGroup) setpgid(pid, pid);  // also here, so that it holds before the child runs
    return pid;
  }

  // Waits for the program and collects what it printed.
  Outcome Finish(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return Collect(status);
  }

  Outcome Collect(int status) {
    Outcome r;
    r.Exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.Signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    r.Out = ReadFile(io_ / "stdout");
    r.Err = ReadFile(io_ / "stderr");
    return r;
  }

  Outcome Batch(const std::vector<std::string>& args, bool withoutPlatform = false) {
    return Finish(Start(args, withoutPlatform));
  }

  zarn::test_support::ScratchDir scratch_{"zarn_runner"};
  const fs::path root_ = scratch_.path();
  fs::path work_, io_;
};

}  // namespace zarn::runner::test_support
