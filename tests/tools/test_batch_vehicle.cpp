// The vehicle's files as zarn-batch takes them: named in a parameter file or with --set, read once
// before anything is written, refused with their line and column, saved and read back, shared by a
// sweep's cases.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "batch_program.h"

namespace zarn::runner {
namespace {

using namespace test_support;

class BatchVehicle : public BatchProgram {
 protected:
  void Write(const fs::path& relative, std::string_view text) {
    fs::create_directories((work_ / relative).parent_path());
    std::ofstream(work_ / relative, std::ios::binary) << text;
  }
  // A short flight of a body thrown at 30 m/s, which flies whatever files it names.
  static constexpr std::string_view kBody =
      "TaskKind = 1\nMassaStart = 1\nS0 = 0.01\nCx = 0.3\nV0 = 30\nTTO = 60\ndt0 = 0.01\nTk = 60\n";
};

TEST_F(BatchVehicle, EachFaultOfAFileIsRefusedWithItsLineAndColumnBeforeAnythingIsWritten) {
  const struct {
    const char* Name;
    const char* File;
    const char* Text;  // nullptr: no such file
    const char* Message;
  } kFaults[] = {
      {"Motor1", "none.eng", nullptr, "Cannot open \"none.eng\": No such file or directory"},
      {"CdTable", "cd.csv", "mach,cd\n0.1,0.5\n0.2,0.4x\n",
       "cd.csv:3:5: '0.4x' is not a number (the decimal separator is '.')"},
      {"WindTable", "wind.csv", "# height, wind\n0,1\n100,2\n50,3\n",
       "wind.csv:4:1: the first column must rise from row to row"},
      {"PitchTable", "pitch.csv", "t_s,pitch_deg\n\n# nothing yet\n", "pitch.csv: no rows (time, pitch)"},
      {"CdTable2", "cd2.csv", "mach,cd\n0,0.4\n0.8,-0.2\n", "cd2.csv:3:5: the Cd cannot be negative"},
      {"PitchTable", "p2.csv", "-1,90\n", "p2.csv:1:1: the time cannot be negative"},
      {"CdTable3", "cd3.csv", "0,0.5\n1.2,0.5,0.1\n",
       "cd3.csv:2:9: expected 2 numbers a row (Mach, Cd), not 3"},
      {"Motor2", "f30.eng", "; my motor\nF30 29 124 4-8 0.04 ZM\n0.1 30\n1.9 0\n",
       "f30.eng:2:1: expected the motor's header NAME DIAMETER LENGTH DELAYS PROPELLANT_MASS TOTAL_MASS "
       "MAKER (7 "
       "fields), not 6"},
  };
  Write("body.zarn", kBody);
  for (const auto& f : kFaults) {
    SCOPED_TRACE(f.Name);
    if (f.Text != nullptr) Write(f.File, f.Text);
    const std::string set = std::string(f.Name) + "=" + f.File;
    const std::set<std::string> before = Listing(work_);
    for (const std::vector<std::string>& extra :
         {std::vector<std::string>{"--dir", ".", "--csv", "out.csv", "--save-params", "saved.zarn"},
          std::vector<std::string>{"--sweep", "V0=10:20:10", "--keep", "cases", "--summary", "rows.csv"}}) {
      std::vector<std::string> args{"--params", "body.zarn", "--set", set};
      args.insert(args.end(), extra.begin(), extra.end());
      const Outcome r = Batch(args);
      EXPECT_EQ(r.Exit, 2);
      EXPECT_EQ(r.Err, "zarn-batch: " + std::string(f.Message) +
                           "\nTry 'zarn-batch --help' for more information.\n");
      EXPECT_EQ(r.Out, "");
      EXPECT_EQ(Listing(work_), before);  // no result, table, saved file, summary or case folder
    }
  }
}

// Paths in a parameter file are the file's own, wherever the program runs; those of --set are the
// current folder's. A decoy beside the current folder tells which was read.
TEST_F(BatchVehicle, ParameterFilesNameFilesFromTheirFolderAndSetFromTheCurrentOne) {
  Write("rocket/body.zarn", std::string(kBody) + "CdTable = tables/cd.csv\n");
  Write("rocket/tables/cd.csv", "mach,cd\n0,0.3\n2,0.3\n");
  Write("tables/cd.csv", "mach,cd\n0,0.3\n-1,0.3\n");
  const Outcome fromFile = Batch({"--params", "rocket/body.zarn", "--json"});
  EXPECT_EQ(fromFile.Exit, 0) << fromFile.Err;
  const Outcome fromSet = Batch({"--params", "rocket/body.zarn", "--set", "CdTable=tables/cd.csv"});
  EXPECT_EQ(fromSet.Exit, 2);
  EXPECT_EQ(fromSet.Err.substr(0, fromSet.Err.find('\n')),
            "zarn-batch: tables/cd.csv:3:1: the first column must rise from row to row");
  // A malformed file in the parameter file's folder is named by the path the program opened.
  Write("rocket/tables/cd.csv", "0,0.3\n1;0.3\n");
  const Outcome bad = Batch({"--params", "rocket/body.zarn"});
  EXPECT_EQ(bad.Exit, 2);
  EXPECT_EQ(bad.Err.substr(0, bad.Err.find('\n')),
            "zarn-batch: rocket/tables/cd.csv:2:1: '1;0.3' is not a number (the decimal separator is '.')");
  // --set NAME= names none, whatever the file says.
  EXPECT_EQ(Batch({"--params", "rocket/body.zarn", "--set", "CdTable=", "--quiet"}).Exit, 0);
}

TEST_F(BatchVehicle, SavedParametersNameTheSameFilesFromTheSavedFilesFolder) {
  Write("rocket/body.zarn", std::string(kBody) + "CdTable = tables/cd.csv\n");
  Write("rocket/tables/cd.csv", "mach,cd\n0,0.3\n2,0.3\n");
  Write("wind #1.csv", "0,2\n1000,4\n");
  fs::create_directories(work_ / "out");
  const Outcome saved = Batch({"--params", "rocket/body.zarn", "--set", "WindTable=wind #1.csv", "--set",
                               "WindModel=1", "--set", "V0=25", "--save-params", "out/saved.zarn", "--json"});
  ASSERT_EQ(saved.Exit, 0) << saved.Err;
  const std::string text = ReadFile(work_ / "out/saved.zarn");
  EXPECT_NE(text.find("\nV0 = 25 "), std::string::npos);
  EXPECT_NE(text.find("\nCdTable = ../rocket/tables/cd.csv # [file] "), std::string::npos) << text;
  EXPECT_NE(text.find("\nWindTable = \"../wind #1.csv\" # [file] "), std::string::npos) << text;

  // Read back from its own folder's view, it flies the same and saves the same text again.
  const Outcome again = Batch({"--params", "out/saved.zarn", "--save-params", "out/again.zarn", "--json"});
  ASSERT_EQ(again.Exit, 0) << again.Err;
  EXPECT_EQ(again.Out, saved.Out);
  EXPECT_EQ(ReadFile(work_ / "out/again.zarn"), text);
}

TEST_F(BatchVehicle, SweepsAndSearchesVaryNumbersOfARunWithFilesAndRefuseAFileAsTheirParameter) {
  Write("body.zarn", std::string(kBody) + "CdTable = cd.csv\n");
  Write("cd.csv", "0,0.3\n3,0.3\n");
  const Outcome sweep = Batch({"--params", "body.zarn", "--sweep", "V0=10:30:10"});
  EXPECT_EQ(sweep.Exit, 0) << sweep.Err;
  EXPECT_EQ(CsvRows(sweep.Out).size(), 4u);  // the header and three cases
  const Outcome solve = Batch({"--params", "body.zarn", "--maximize", "X_m", "--over", "TTO=20:70"});
  EXPECT_EQ(solve.Exit, 0) << solve.Err;

  for (const std::vector<std::string>& args : {std::vector<std::string>{"--sweep", "Motor1=1:2:1"},
                                               {"--case", "V0=3,CdTable=x.csv"},
                                               {"--vary", "PitchTable=normal(1,2)", "--monte-carlo", "3"},
                                               {"--solve", "WindTable=0:1", "--for", "t_s=3"},
                                               {"--over", "CdTable2=0:1", "--maximize", "t_s"}}) {
    std::vector<std::string> all{"--params", "body.zarn"};
    all.insert(all.end(), args.begin(), args.end());
    const Outcome r = Batch(all);
    EXPECT_EQ(r.Exit, 2) << args[0];
    EXPECT_NE(r.Err.find(args[0] + ": "), std::string::npos) << r.Err;
    EXPECT_NE(r.Err.find(" names a file, and the cases of a sweep or search differ in numbers only"),
              std::string::npos)
        << r.Err;
  }
}

// Over a round Earth, a parachute in a wind profile across the azimuth: 2 kg under 0.5 m^2 sink
// at sqrt(2 m g / (rho CdS)) = 8 m/s (9.8 m/s^2 at the surface of a sphere of 6400 km, sea level's
// 1.225 kg/m^3) and drift with the 3 m/s wind, landing at sqrt(8^2 + 3^2) m/s over the ground.
TEST_F(BatchVehicle, AParachuteOverTheGlobeLandsAtItsDescentSpeedBesideTheCrossWind) {
  Write("chute.zarn",
        "TaskKind = 1\nMassaStart = 2\nS0 = 0.01\nV0 = 80\nTTO = 80\ndt0 = 0.001\nTk = 100\n"
        "AtmosphereModel = 1\nChuteCdS = 0.5\nChuteDelay = 2\nEarthModel = 1\nEarthRadius = 6400000\n"
        "EarthMu = 401408000000000\nWindModel = 1\nWindTable = wind.csv\nIntegrator = 2\n");
  Write("wind.csv", "height,along,across\n0,0,3\n10000,0,3\n");
  const Outcome r = Batch({"--params", "chute.zarn", "--events", "-"});
  ASSERT_EQ(r.Exit, 0) << r.Err;
  std::map<std::string, std::vector<std::string>> events;
  for (const std::vector<std::string>& row : CsvRows(r.Out)) events[row[0]] = row;
  ASSERT_TRUE(events.count("apex") && events.count("chute_open") && events.count("landing")) << r.Out;
  EXPECT_NEAR(std::stod(events["chute_open"][1]) - std::stod(events["apex"][1]), 2.0, 1e-6);
  EXPECT_NEAR(std::stod(events["landing"][4]) / std::hypot(8.0, 3.0), 1.0, 0.005) << r.Out;
  EXPECT_EQ(events["landing"][3], "0");
}

TEST_F(BatchVehicle, HelpListsTheVehiclesFilesWithTheirMeaning) {
  const Outcome r = Batch({"--help"});
  for (const char* line :
       {"\n  Motor1         motor file (RASP .eng) of stage 1\n",
        "\n  Motor3         motor file (RASP .eng) of stage 3\n",
        "\n  CdTable        CSV of Mach, Cd of the vehicle (AeroModel 2)\n",
        "\n  CdTable2       CSV of Mach, Cd from the ignition of stage 2\n",
        "\n  WindTable      CSV of height [m], wind [m/s] along the azimuth[, across it]\n",
        "\n  PitchTable     CSV of time [s], pitch [deg] above the horizontal\n"})
    EXPECT_NE(r.Out.find(line), std::string::npos) << line;
}

// The examples with their own files, run as the README shows them from the repository's root,
// each held to a figure worked out apart from the program.
TEST_F(BatchVehicle, TheExamplesFlyTheirFilesToFiguresWorkedOutByHand) {
  const std::string folder = ZARN_SOURCE_DIR "/examples/vehicle/";
  // The events of a run as CSV: the row of `event`, its field `column` (1 t_s, 2 X_m, 3 H_m, 4 V_m_s).
  const auto event = [&](const std::string& file, const std::vector<std::string>& extra, const char* name,
                         std::size_t column) {
    std::vector<std::string> args{"--params", folder + file, "--events", "-"};
    args.insert(args.end(), extra.begin(), extra.end());
    const Outcome r = Batch(args);
    EXPECT_EQ(r.Exit, 0) << file << ": " << r.Err;
    for (const std::vector<std::string>& row : CsvRows(r.Out))
      if (!row.empty() && row[0] == name) return std::stod(row.at(column));
    ADD_FAILURE() << file << ": no event " << name << " in\n" << r.Out;
    return 0.0;
  };

  // The model rocket. Its F32Z gives 66.33 N*s (the curve's trapezoids by hand) to 0.62 kg. Flown
  // straight up without drag it would reach 522.9 m; with the table's largest Cd, 0.65, at the
  // sea-level density all the way up, 378.5 m (both integrated apart, in steps of 10 us); the 5
  // degrees off vertical cost it less than a tenth of that.
  const double apex = event("model-rocket.zarn", {}, "apex", 3);
  EXPECT_GT(apex, 340.0);
  EXPECT_LT(apex, 522.9);
  // Under the canopy it lands at the speed where the drag of 0.24 m2 and the body's 0.45 * 0.001385
  // m2 holds the weight of 0.5815 kg, the propellant gone, in air of 1.225 kg/m3:
  // sqrt(2 m g / (rho CdS)) = 6.220 m/s.
  EXPECT_NEAR(event("model-rocket.zarn", {}, "landing", 4), 6.220, 0.01 * 6.220);

  // The launcher's second stage burns out when both stages have burnt their fuel at their vacuum
  // mass flow and the coast between them has passed: 40000 * 2950 / 900000 + 8 +
  // 12000 * 3300 / 150000 = 131.111 + 8 + 264 s.
  EXPECT_NEAR(event("launcher-2-stage.zarn", {}, "burnout_2", 1), 403.111, 0.01);

  // The shell's head wind, between calm and 22 m/s, takes off range, but less than 22 m/s of head
  // wind at every height would.
  const double range = event("shell-wind-profile.zarn", {}, "impact", 2);
  EXPECT_LT(range, event("shell-wind-profile.zarn", {"--set", "WindTable="}, "impact", 2));
  EXPECT_GT(range,
            event("shell-wind-profile.zarn", {"--set", "WindTable=", "--set", "Vwind=-22"}, "impact", 2));
}

TEST_F(BatchVehicle, HelpNamesTheEventsOfARailAndAParachute) {
  const Outcome r = Batch({"--help"});
  for (const char* name : {" rail_exit,", " chute_open,", " landing,"})
    EXPECT_NE(r.Out.find(name), std::string::npos) << name;
}

// A wind profile under the classic wind of the vertical plane is refused by name; over a round
// Earth the wind is the air's motion whatever WindModel says, and the profile flies.
TEST_F(BatchVehicle, AWindProfileNeedsThePhysicalWindOnlyInTheVerticalPlane) {
  Write("wind.csv", "0,2\n1000,4\n");
  const Outcome flat = Batch({"--preset", "0", "--set", "WindTable=wind.csv", "--set", "WindModel=0"});
  EXPECT_NE(flat.Exit, 0);
  EXPECT_NE(flat.Err.find("A wind profile (WindTable) needs WindModel = 1, the wind relative to the air, not "
                          "WindModel = 0"),
            std::string::npos)
      << flat.Err;
  const Outcome round = Batch({"--preset", "0", "--set", "WindTable=wind.csv", "--set", "WindModel=0",
                               "--set", "EarthModel=1", "--json"});
  EXPECT_EQ(round.Exit, 0) << round.Err;
  EXPECT_EQ(round.Out, Batch({"--preset", "0", "--set", "WindTable=wind.csv", "--set", "WindModel=1", "--set",
                              "EarthModel=1", "--json"})
                           .Out);
}

}  // namespace
}  // namespace zarn::runner
