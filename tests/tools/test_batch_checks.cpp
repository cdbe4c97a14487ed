// What the runner refuses and how it ends: runs that could never end, values without a meaning,
// options given twice, values read as the window's fields read them, and a full device.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "batch_program.h"
#include "output/result_files.h"

namespace zarn::runner {
namespace {

using namespace test_support;

class BatchChecks : public BatchProgram {
 protected:
  // The program's outcome, or a failure and a killed program after `seconds`: a run that never
  // ends must not hang the tests.
  Outcome BatchWithin(const std::vector<std::string>& args, int seconds) {
    const pid_t pid = Start(args);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        ADD_FAILURE() << "still running after " << seconds << " s";
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return Collect(status);
  }
};

TEST_F(BatchChecks, RunThatCouldNeverEndIsRefusedAtOnceAloneAndAsASweepCase) {
  const struct {
    std::vector<std::string> Sets;
    std::string Message;
  } cases[] = {
      {{"dt0=1e-320"},
       "Integration step dt0 = 9.99988867182683E-321 s cannot advance the time up to the end time Tk = 100 "
       "s"},
      {{"dt0=1e-13"},
       "Integration step dt0 = 1E-13 s would take 1E15 steps up to the end time Tk = 100 s (at most "
       "1000000000)"},
      {{"Tk=1e12", "dt0=0.001"},
       "Integration step dt0 = 0.001 s would take 1E15 steps up to the end time Tk = 1000000000000 s (at "
       "most "
       "1000000000)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Message);
    std::vector<std::string> args{"--preset", "0"};
    for (const std::string& s : c.Sets) args.insert(args.end(), {"--set", s});
    Outcome r = BatchWithin(args, 60);
    EXPECT_EQ(r.Exit, 1);
    EXPECT_EQ(r.Err, "zarn-batch: " + c.Message + "\n");
    EXPECT_TRUE(Listing(work_).empty());

    // In a sweep the case is an error row at once, and the next case runs.
    std::string refused;
    for (const std::string& s : c.Sets) refused += (refused.empty() ? "" : ",") + s;
    r = BatchWithin({"--preset", "0", "--case", refused, "--case", "dt0=0.01"}, 60);
    EXPECT_EQ(r.Exit, 1);  // exactly one case failed
    EXPECT_EQ(r.Err, "zarn-batch: 1 of 2 cases failed (see the summary's error column)\n");
    const auto rows = CsvRows(r.Out);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[1].back(), c.Message);
    EXPECT_EQ(rows[2].back(), "");
    EXPECT_EQ(rows[2][0], "2");
  }
}

TEST_F(BatchChecks, ValuesWithoutAMeaningAreRefusedByNameAndValue) {
  const std::vector<std::string> rocket{"TaskKind=8", "MassaStart=1000", "Mt=500",   "Iud=2000",
                                        "IudP0=2300", "Mdv=100",         "Schub=2e4"};
  auto with = [](std::vector<std::string> sets, const std::vector<std::string>& more) {
    sets.insert(sets.end(), more.begin(), more.end());
    return sets;
  };
  const struct {
    std::vector<std::string> Sets;
    std::string Message;  // "": it flies as before
  } cases[] = {
      {{"S0=-1"}, "S0 = -1 cannot be negative"},
      {{"Cx=-0.3"}, "Cx = -0.3 cannot be negative"},
      {{"TaskKind=3", "GasDensity=-0.2"}, "GasDensity = -0.2 cannot be negative"},
      {with(rocket, {"Mt2=-1"}), "Mt2 = -1 cannot be negative"},
      {with(rocket, {"Mdv3=-2"}), "Mdv3 = -2 cannot be negative"},
      {with(rocket, {"Schub=-20000"}), "Schub = -20000 cannot be negative"},
      {with(rocket, {"Schu3=-5"}), "Schu3 = -5 cannot be negative"},
      {{"MassaStart=0"}, "Invalid floating point operation (MassaStart = 0)"},
      {{"MassaStart=-1"}, "MassaStart = -1 must be more than 0"},
      {{"TaskKind=4", "MassaStart=0"}, "Floating point division by zero (MassaStart = 0)"},
      // Faults of the activation itself (the buoyancy, the level-flight speed) name it too.
      {{"TaskKind=3", "MassaStart=0"}, "Invalid floating point operation (MassaStart = 0)"},
      {{"TaskKind=5", "Cy=0.5", "MassaStart=-2"}, "Invalid floating point operation (MassaStart = -2)"},
      // They flew: backwards ("Range: -1.06 m"), one step with exit 0, as the constant Cx.
      {{"V0=-100"}, "V0 = -100 cannot be negative"},
      {{"Tk=-5"}, "Tk = -5 s must be more than 0"},
      {{"Tk=0"}, "Tk = 0 s must be more than 0"},
      {{"AeroModel=3"},
       "AeroModel = 3 is no drag law (0 the constant Cx, 1 the V-2 law over Mach, 2 a drag table)"},
      // Odd, but meaningful: they fly.
      {{"V0=0"}, ""},
      {{"AeroModel=1.4"}, ""},
      {{"Hk=-5"}, ""},
      {{"TTO=135"}, ""},
      {{"Cx=0"}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Sets.back());
    fs::remove_all(work_);
    fs::create_directories(work_);
    std::vector<std::string> args{"--preset", "0", "--quiet"};
    for (const std::string& s : c.Sets) args.insert(args.end(), {"--set", s});
    const Outcome r = Batch(args);
    if (c.Message.empty()) {
      EXPECT_EQ(r.Exit, 0) << r.Err;
      continue;
    }
    EXPECT_EQ(r.Exit, 1);
    EXPECT_EQ(r.Err, "zarn-batch: " + c.Message + "\n");
    EXPECT_TRUE(Listing(work_).empty());  // refused before the run
  }
}

// The step check's finer run that cannot be flown is refused before the run as given writes its
// files: it used to exit 1 after them ("Rtol = 1E-15 must be ...").
TEST_F(BatchChecks, AStepCheckThatCannotFlyItsFinerRunIsRefusedBeforeAnyFile) {
  const struct {
    std::vector<std::string> Sets;
    std::string Message;
  } cases[] = {
      {{"Integrator=2", "Rtol=1e-14"},
       "The step check's finer run cannot be flown: Rtol = 1E-15 must be 0 (for 1e-8) or from 1e-14 to "
       "0.1"},
      {{"dt0=1.5e-7"},
       "The step check's finer run cannot be flown: Integration step dt0 = 7.5E-8 s would take 1333333334 "
       "steps up to the end time Tk = 100 s (at most 1000000000)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Message);
    fs::remove_all(work_);
    fs::create_directories(work_);
    std::vector<std::string> args{"--preset",      "0",     "--check-step", "--csv", "t.csv",
                                  "--save-params", "p.zarn"};
    for (const std::string& s : c.Sets) args.insert(args.end(), {"--set", s});
    const Outcome r = BatchWithin(args, 60);
    EXPECT_EQ(r.Exit, 1);
    EXPECT_EQ(r.Err, "zarn-batch: " + c.Message + "\n");
    EXPECT_TRUE(Listing(work_).empty());
  }
}

// Where the flight ends at the ground, the summary's flight time, range and end speed are the
// impact's (preset 0: 14.09266641 s, 932.9971384 m, the located crossing of the ground), and the
// last step's, 0.16 m below it, are labelled as such.
TEST_F(BatchChecks, TheSummaryGivesTheImpactAsTheRangeAndLabelsTheLastStep) {
  const Outcome r = Batch({"--preset", "0"});
  ASSERT_EQ(r.Exit, 0) << r.Err;
  for (const char* line :
       {"\nFlight time: 14.09266641 s\n", "\nRange: 932.9971384 m\n", "\nEnd speed: 91.70437678 m/s\n",
        "\nFlight time at the last step: 14.095 s\n", "\nRange at the last step: 933.1418858 m\n"})
    EXPECT_NE(r.Out.find(line), std::string::npos) << line << r.Out;
  EXPECT_EQ(r.Out.find("Impact range"), std::string::npos) << r.Out;
  // A flight that ends by time keeps its last step's figures under the plain labels.
  const Outcome drop = Batch({"--preset", "1"});
  EXPECT_NE(drop.Out.find("\nFlight time: 100 s\n"), std::string::npos) << drop.Out;
  EXPECT_EQ(drop.Out.find("last step"), std::string::npos) << drop.Out;
  EXPECT_EQ(drop.Out.find("Apex"), std::string::npos) << drop.Out;  // it never climbs
}

TEST_F(BatchChecks, OptionOfOneValueGivenTwiceIsAUsageError) {
  const std::vector<std::string> twice[] = {
      {"--preset", "0", "--preset", "1"},
      {"--preset", "0", "--csv", "a.csv", "--csv=b.csv"},
      {"--preset", "0", "--json", "--json"},
      {"--preset", "0", "--quiet", "--quiet"},
      {"--preset", "0", "--dir", ".", "--dir", "."},
      {"--preset", "0", "--png", "a.png", "--png", "b.png"},
      {"--preset", "0", "--sweep", "V0=1:2:1", "--jobs", "1", "--jobs", "2"},
      {"--preset", "0", "--case", "V0=1", "--keep", "k", "--keep", "k"},
      {"--preset", "0", "--case", "V0=1", "--shard", "0/2", "--shard", "1/2"},
      {"--preset", "0", "--save-params", "a.zarn", "--save-params", "a.zarn"},
  };
  for (const auto& args : twice) {
    SCOPED_TRACE(args[args.size() - 2]);
    const Outcome r = Batch(args);
    EXPECT_EQ(r.Exit, 2);
    std::string option = args[args.size() - 1].rfind("--", 0) == 0 ? args.back() : args[args.size() - 2];
    option = option.substr(0, option.find('='));
    EXPECT_EQ(r.Err.rfind("zarn-batch: Option '" + option + "' is given twice; give it once\n", 0), 0u)
        << r.Err;
    EXPECT_TRUE(Listing(work_).empty());
  }
  // The options that collect values.
  EXPECT_EQ(Batch({"--preset", "0", "--set", "V0=90", "--set", "TTO=30", "--quiet"}).Exit, 0);
  EXPECT_EQ(Batch({"--preset", "0", "--case", "V0=90", "--case", "V0=80"}).Exit, 0);
  EXPECT_EQ(Batch({"--preset", "0", "--sweep", "V0=90:91:1", "--sweep", "TTO=30:31:1"}).Exit, 0);
}

// Every value reaches the run as a field of the window reads it back, to 15 significant digits:
// 0.10000000000000002 s is the window's 0.1 s, 11 steps to Tk = 1 s, not 10; only the saved
// parameter file keeps what it was given.
TEST_F(BatchChecks, ValuesOfMoreThan15DigitsRunAsTheWindowsFieldsReadThem) {
  fs::create_directories(work_ / "short");
  ASSERT_EQ(Batch({"--preset", "1", "--set", "dt0=0.1", "--set", "Tk=1", "--dir", "short", "--quiet"}).Exit,
            0);
  {
    std::ofstream(work_ / "long.zarn") << "TaskKind = 1\nMassaStart = 1\nS0 = 0.02\nCx = 0.45\nH0 = 10000\n"
                                          "TTO = -88\nTk = 1\ndt0 = 0.10000000000000002\n";
  }
  const std::vector<std::string> ways[] = {
      {"--preset", "1", "--set", "dt0=0.10000000000000002", "--set", "Tk=1", "--save-params", "saved.zarn"},
      {"--params", "long.zarn"},
  };
  for (const auto& args : ways) {
    SCOPED_TRACE(args[1]);
    const Outcome r = Batch(args);
    ASSERT_EQ(r.Exit, 0) << r.Err;
    EXPECT_EQ(r.Out.substr(0, r.Out.find('\n')), "Steps per pass: 11");
    EXPECT_TRUE(ReadFile(work_ / kStepFileName) == ReadFile(work_ / "short" / kStepFileName));
    EXPECT_TRUE(ReadFile(work_ / kSampleFileName) == ReadFile(work_ / "short" / kSampleFileName));
  }
  EXPECT_NE(ReadFile(work_ / "saved.zarn").find("dt0 = 0.10000000000000002"), std::string::npos)
      << ReadFile(work_ / "saved.zarn");
  const Outcome sweep = Batch({"--preset", "1", "--set", "Tk=1", "--case", "dt0=0.10000000000000002",
                               "--case", "dt0=0.1", "--case", "dt0=0.100000000000001"});
  ASSERT_EQ(sweep.Exit, 0) << sweep.Err;
  const auto rows = CsvRows(sweep.Out);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[1][2], "11");
  EXPECT_EQ(rows[2][2], "11");
  EXPECT_EQ(rows[3][2], "10");  // 15 digits stay as they are
}

TEST_F(BatchChecks, CsvToAFullDeviceSaysThereIsNoSpace) {
  const Outcome r = Finish(StartShell("\"$ZB\" --preset 0 --csv - > /dev/full"));
  EXPECT_EQ(r.Exit, 1);
  EXPECT_EQ(r.Err, "zarn-batch: Cannot write \"standard output\": No space left on device\n");
}

// A flight over at its first step ends there whatever the step: the note suggests none.
TEST_F(BatchChecks, FlightOfOneStepSaysSoInsteadOfSuggestingAStep) {
  const Outcome r = Batch({"--preset", "0", "--set", "TTO=-10", "--set", "H0=0", "--quiet"});
  ASSERT_EQ(r.Exit, 0) << r.Err;
  EXPECT_EQ(r.Err, "zarn-batch: 1 of 500 samples: the flight ended at its first step\n");
}

}  // namespace
}  // namespace zarn::runner
