// The example parameter files: each runs to its end, states figures that the run gives, flies as
// the same values set into the parameters do, and saves and reopens to the same result files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "flight/integrator.h"
#include "flight/key_figures.h"
#include "flight/presets.h"
#include "input/param_file.h"
#include "output/param_writer.h"
#include "output/result_files.h"
#include "tests/support/flights.h"
#include "tests/support/scratch.h"

namespace zarn {
namespace {

namespace fs = std::filesystem;
using test_support::ReadFile;

std::vector<fs::path> Examples() {
  std::vector<fs::path> files;
  for (const fs::directory_entry& e : fs::directory_iterator(ZARN_EXAMPLES_DIR))
    if (e.path().extension() == ".zarn") files.push_back(e.path());
  std::sort(files.begin(), files.end());
  return files;
}

struct RunFiles {
  std::string Steps, Samples;
  std::unique_ptr<RunResult> Result;
};

RunFiles Fly(const FlightParameters& p, const fs::path& dir) {
  fs::create_directories(dir);
  auto result = zarn::test_support::FlyWithFiles(p, dir);
  return {ReadFile(dir / kStepFileName), ReadFile(dir / kSampleFileName), std::move(result)};
}

// Each parameter a file may name, as the flight parameter it stands for.
const std::map<std::string, double FlightParameters::*> kParameterOf{
    {"TaskKind", &FlightParameters::TaskKind},
    {"AeroModel", &FlightParameters::AeroModel},
    {"MassaStart", &FlightParameters::MassaStart},
    {"S0", &FlightParameters::S0},
    {"Cx", &FlightParameters::Cx},
    {"Cy", &FlightParameters::Cy},
    {"H0", &FlightParameters::H0},
    {"V0", &FlightParameters::V0},
    {"TTO", &FlightParameters::TTO},
    {"Vwind", &FlightParameters::Vwind},
    {"dt0", &FlightParameters::dt0},
    {"Tk", &FlightParameters::Tk},
    {"Hk", &FlightParameters::Hk},
    {"Vk", &FlightParameters::Vk},
    {"Mt", &FlightParameters::Mt},
    {"Iud", &FlightParameters::Iud},
    {"IudP0", &FlightParameters::IudP0},
    {"Mdv", &FlightParameters::Mdv},
    {"Schub", &FlightParameters::Schub},
    {"S1", &FlightParameters::S1},
    {"Mt2", &FlightParameters::Mt2},
    {"Iud2", &FlightParameters::Iud2},
    {"IudP2", &FlightParameters::IudP2},
    {"Mdv2", &FlightParameters::Mdv2},
    {"Schu2", &FlightParameters::Schu2},
    {"S2", &FlightParameters::S2},
    {"Mt3", &FlightParameters::Mt3},
    {"Iud3", &FlightParameters::Iud3},
    {"IudP3", &FlightParameters::IudP3},
    {"Mdv3", &FlightParameters::Mdv3},
    {"Schu3", &FlightParameters::Schu3},
    {"S3", &FlightParameters::S3},
};

// The parameters as a user sets them one by one after activating an empty record of the task: every
// NAME = VALUE of the file into its parameter; the buoyant body's area and end height are the
// activation's, from its mass and gas density.
FlightParameters SetOneByOne(const std::string& text) {
  const std::regex line(R"(^\s*(\w+)\s*=\s*([^#\s]+))");
  FlightParameters p = ParametersOf({});
  double gasDensity = 0;
  std::istringstream lines(text);
  for (std::string text_line; std::getline(lines, text_line);) {
    std::smatch m;
    if (!std::regex_search(text_line, m, line)) continue;
    const double value = std::stod(m[2]);
    if (m[1] == "GasDensity") gasDensity = value;
    if (!kParameterOf.contains(m[1])) continue;  // shown by the form only
    p.*kParameterOf.at(m[1]) = value;
  }
  if (p.TaskKind == kTaskBuoyantGas) {
    p.S0 = ComputeBuoyancy(p.MassaStart, gasDensity).Area;
    p.Hk = 0;
  }
  return p;
}

// "flight time 14.1 s, range 933 m, ..." after "Expect:" in the file's comments, each checked to
// the digits it states.
struct Stated {
  std::string Figure;
  std::string Number;
  std::string Unit;
};
std::vector<Stated> ExpectedFigures(const std::string& text) {
  std::string comments;
  bool inExpect = false;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    if (line.rfind("# Expect:", 0) == 0) inExpect = true;
    if (line.rfind("#", 0) != 0) inExpect = false;
    if (inExpect) comments += line.substr(line.find_first_not_of("# ")) + " ";
  }
  const std::regex figure(
      R"((flight time|range|apex|end speed|end height|largest dynamic pressure|peak load factor nx|volume|level-flight speed|area) (-?[0-9]+(\.[0-9]+)?)( (km/s|m/s|km|m3|m2|m|s|kPa|MPa))?)");
  std::vector<Stated> stated;
  for (std::sregex_iterator i(comments.begin(), comments.end(), figure), end; i != end; ++i)
    stated.push_back({(*i)[1], (*i)[2], (*i)[5]});
  return stated;
}

double Actual(const std::string& figure, const FlightParameters& p, const RunResult& d) {
  const KeyFigures f = KeyFiguresOf(p, d);
  if (figure == "flight time") return f.FlightTime;
  if (figure == "range") return f.Range;
  if (figure == "apex") return f.ApexH.value_or(NAN);
  if (figure == "end speed") return f.EndSpeed;
  if (figure == "end height") return d.Final.H;
  if (figure == "largest dynamic pressure") return f.MaxQ;
  if (figure == "peak load factor nx") return f.PeakNx;
  if (figure == "volume") return f.BuoyantVolume.value_or(NAN);
  if (figure == "level-flight speed") return f.LevelFlightSpeed.value_or(NAN);
  return p.S0;  // area
}

double InBaseUnits(const std::string& unit) {
  static const std::map<std::string, double> kScale{{"km", 1e3}, {"km/s", 1e3}, {"kPa", 1e3}, {"MPa", 1e6}};
  return kScale.contains(unit) ? kScale.at(unit) : 1.0;
}

TEST(Examples, EachRunsToItsEndAndGivesTheFiguresItsCommentStates) {
  const std::vector<fs::path> files = Examples();
  ASSERT_GE(files.size(), 11u);
  for (const fs::path& file : files) {
    SCOPED_TRACE(file.filename().string());
    const FlightParameters p = ParametersOf(ReadParamFile(file));
    test_support::ScratchDir dir("zarn_example");
    RunFiles run;
    ASSERT_NO_THROW(run = Fly(p, dir.path()));
    const RunResult* d = run.Result.get();
    EXPECT_TRUE(d->Final.H <= p.Hk || d->Final.t >= p.Tk);
    EXPECT_EQ(d->Summary.SamplesStored, 500);
    // Short enough to run in well under a second; the step file stays below about 30 MB.
    EXPECT_LT(d->Summary.StepsPerPass, 100000);

    const std::vector<Stated> stated = ExpectedFigures(ReadFile(file));
    EXPECT_GE(stated.size(), 3u) << "the comment states too few figures";
    for (const Stated& s : stated) {
      const std::size_t point = s.Number.find('.');
      const int decimals = point == std::string::npos ? 0 : static_cast<int>(s.Number.size() - point - 1);
      const double scale = InBaseUnits(s.Unit);
      EXPECT_NEAR(Actual(s.Figure, p, *d) / scale, std::stod(s.Number),
                  0.5 * std::pow(10.0, -decimals) + 1e-9)
          << s.Figure << " " << s.Number << " " << s.Unit;
    }
  }
}

TEST(Examples, FlyAsTheSameValuesSetOneByOneAndSaveToAFileThatFliesTheSame) {
  for (const fs::path& file : Examples()) {
    SCOPED_TRACE(file.filename().string());
    test_support::ScratchDir dir("zarn_example_routes");
    const FlightParameters fromFile = ParametersOf(ReadParamFile(file));
    const RunFiles expected = Fly(fromFile, dir.path() / "file");

    const RunFiles set = Fly(SetOneByOne(ReadFile(file)), dir.path() / "set");
    EXPECT_TRUE(set.Steps == expected.Steps) << "step file differs";
    EXPECT_TRUE(set.Samples == expected.Samples) << "sample file differs";

    // Saved after the run, as the window saves the values in effect, and opened again.
    WriteParamFile(dir.path() / "saved.zarn", PresetRecordInEffect(fromFile));
    const RunFiles again = Fly(ParametersOf(ReadParamFile(dir.path() / "saved.zarn")), dir.path() / "again");
    EXPECT_TRUE(again.Steps == expected.Steps) << "step file differs after save and open";
    EXPECT_TRUE(again.Samples == expected.Samples) << "sample file differs after save and open";
  }
}

}  // namespace
}  // namespace zarn
