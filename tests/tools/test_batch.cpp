#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "batch_program.h"
#include "flight/integrator.h"
#include "flight/presets.h"
#include "output/result_files.h"
#include "records/errors.h"
#include "runner/runner.h"
#include "tests/support/vector_pictures.h"

namespace zarn::runner {
namespace {

namespace fs = std::filesystem;
using namespace test_support;

BatchOptions Parse(std::vector<std::string_view> args) {
  return ParseArguments(args);
}

// --- Parsing, in-process ----------------------------------------------------------------------

FlightParameters Prepare(const BatchOptions& o) {
  return ParametersOf(BaseRecord(o));
}

TEST(BatchArguments, SettingsFollowThePresetInTheirOrderAndTaskKindSetsBuoyancy) {
  const BatchOptions o = Parse(
      {"--set", "dt0=0.5", "--preset", "2", "--set", "dt0=1e-3", "--set", "TaskKind=3", "--set", "TTO=+30"});
  EXPECT_EQ(o.Preset, 2);
  ASSERT_EQ(o.Settings.size(), 4u);
  const FlightParameters p = Prepare(o);
  EXPECT_EQ(p.dt0, 0.001);  // the later --set wins
  EXPECT_EQ(p.V0, 40);      // from preset 2
  EXPECT_EQ(p.TTO, 30);
  EXPECT_EQ(p.TaskKind, 3);
  EXPECT_EQ(Prepare(Parse({"--preset", "2", "--set", "TaskKind=3", "--set", "TaskKind=8"})).TaskKind, 8);
}

TEST(BatchArguments, WithoutAPresetEveryParameterIsZero) {
  const FlightParameters p = Prepare(Parse({"--quiet"}));
  const FlightParameters zero{};
  EXPECT_EQ(std::memcmp(&p, &zero, sizeof zero), 0);
}

// --set changes the preset record before the activation, as a parameter file's line would: every
// name of a parameter file reaches its own parameter (the end height and speed also their preset
// copies), and GasDensity the buoyant body's volume and area.
TEST(BatchArguments, EachNameReachesItsOwnParameterThroughTheActivation) {
  std::set<std::size_t> offsets;
  for (const ParamName& name : kParamNames) {
    if (name.Name == "TaskKind" || name.Name == "GasDensity" || name.Name == "FlightAltitude") continue;
    SCOPED_TRACE(name.Name);
    const std::string arg = std::string(name.Name) + "=12345.5";
    const FlightParameters p =
        Prepare(Parse({"--set", "TaskKind=8", "--set", arg}));  // the rocket task reads the stages
    int changed = 0;
    for (std::size_t at = 0; at + sizeof(double) <= sizeof p; at += alignof(double)) {
      double v;
      std::memcpy(&v, reinterpret_cast<const char*>(&p) + at, sizeof v);
      if (v == 12345.5) ++changed, offsets.insert(at);
    }
    EXPECT_EQ(changed, name.Name == "Hk" || name.Name == "Vk" ? 2 : 1);
  }
  EXPECT_EQ(offsets.size(), kParamNames.size() - 3 + 2);  // no two names reach the same field
  // A few by their meaning.
  auto prepared = [](std::vector<std::string_view> args) { return Prepare(Parse(args)); };
  EXPECT_EQ(prepared({"--set", "TaskKind=8", "--set", "Schu3=7"}).Schu3, 7);
  EXPECT_EQ(prepared({"--set", "TaskKind=8", "--set", "IudP0=7"}).IudP0, 7);
  EXPECT_EQ(prepared({"--set", "Hk=7"}).PresetHk, 7);
  // A helium balloon of 10 kg: the activation works out the volume from the gas density.
  const auto balloon =
      prepared({"--set", "TaskKind=3", "--set", "MassaStart=10", "--set", "GasDensity=0.1786"});
  const double volume = 10 / (1.225 - 0.1786), r = std::exp(0.33 * std::log(volume * 3 / 4 / 3.14));
  EXPECT_DOUBLE_EQ(balloon.S0, 3.14 * r * r);
}

TEST(BatchArguments, GraphNamesAButtonOfTheCatalogue) {
  EXPECT_EQ(Parse({"--png", "a.png"}).Graph, &DefaultGraph());
  const BatchOptions o = Parse({"--graph", "Button15", "--png", "a.png"});
  EXPECT_EQ(o.Graph->Caption, "V=f(H)");
  EXPECT_EQ(o.Png, fs::path("a.png"));
}

TEST(BatchArguments, RefusesWhatItCannotRun) {
  struct Case {
    std::vector<std::string_view> Args;
    const char* Message;
  } const cases[] = {
      {{}, "nothing to run"},
      {{"--bogus"}, "Unknown option '--bogus'"},
      {{"preset"}, "Unknown option 'preset'"},
      {{"--jobz", "2"}, "Unknown option '--jobz' (did you mean '--jobs'?)"},
      {{"--preset"}, "Option '--preset' needs a value"},
      {{"--quiet=yes"}, "Option '--quiet' takes no value"},
      {{"--preset", "5"}, "Preset must be a whole number from 0 to 4, not '5'"},
      {{"--preset=-1"}, "Preset must be a whole number from 0 to 4, not '-1'"},
      {{"--preset", "1.0"}, "Preset must be a whole number from 0 to 4, not '1.0'"},
      {{"--set", "dt0"}, "--set needs NAME=VALUE, not 'dt0'"},
      {{"--set", "Foo=1"}, "Unknown parameter 'Foo'"},
      {{"--set", "v0=1"}, "Unknown parameter 'v0' (did you mean 'V0'?)"},
      {{"--set", "Schubb=1"}, "Unknown parameter 'Schubb' (did you mean 'Schub'?)"},
      {{"--set", "BuoyancyMode=1"}, "Unknown parameter 'BuoyancyMode'"},
      {{"--set", "dt0=1,5"}, "Value of dt0: '1,5' is not a number (the decimal separator is '.')"},
      {{"--set", "dt0="}, "Value of dt0: '' is not a number (the decimal separator is '.')"},
      {{"--set", "dt0= 1"}, "Value of dt0: ' 1' is not a number (the decimal separator is '.')"},
      {{"--set", "Tk=inf"}, "Value of Tk: 'inf' is not a number (the decimal separator is '.')"},
      {{"--set", "Tk=nan"}, "Value of Tk: 'nan' is not a number (the decimal separator is '.')"},
      {{"--set", "Tk=1e999"}, "Value of Tk: '1e999' is not a number (the decimal separator is '.')"},
      {{"--set", "Tk=+-1"}, "Value of Tk: '+-1' is not a number (the decimal separator is '.')"},
      {{"--png", "a.png", "--graph", "Button99"}, "Unknown graph 'Button99' (did you mean 'Button9'?)"},
      {{"--png", "a.png", "--graph", "Knopf"}, "Unknown graph 'Knopf' (zarn-batch --help lists them)"},
      {{"--graph", "Button3"}, "--graph only chooses what --png (or a sweep's --plot) saves"},
      {{"--compare", "/nonexistent/m.csv"}, "Cannot open \"/nonexistent/m.csv\": "},
      {{"--sweep", "TTO=1:2:1", "--png", "a.png", "--plot", "b.png"},
       "--png and --plot both name the sweep's picture"},
      {{"--preset", "0", "--plot", "a.png"}, "--plot only applies to a sweep (--sweep or --case)"},
      {{"--png", "a.gif"}, "--png FILE must end in .png, .jpg, .bmp, .svg or .pdf, not 'a.gif'"},
      {{"--png", "graph"}, "--png FILE must end in .png, .jpg, .bmp, .svg or .pdf, not 'graph'"},
      {{"--png", "a.svgz"}, "--png FILE must end in .png, .jpg, .bmp, .svg or .pdf, not 'a.svgz'"},
      {{"--png", "a.png", "--style", "fancy"}, "--style takes classic or clear, not 'fancy'"},
      {{"--style", "clear"}, "--style only chooses how --png draws"},
      {{"--preset", "0", "--params", "/nonexistent/p.zarn"}, "Cannot open \"/nonexistent/p.zarn\": "},
      {{"--json", "--csv", "-"}, "--csv - and --json both want stdout"},
      // Sweeps.
      {{"--sweep", "TTO=10:80"}, "--sweep needs NAME=FROM:TO:STEP, not 'TTO=10:80'"},
      {{"--sweep", "Tto=1:2:1"}, "Unknown parameter 'Tto' (did you mean 'TTO'?)"},
      {{"--sweep", "TTO=10:80:0"}, "--sweep TTO=10:80:0: STEP must not be 0"},
      {{"--sweep", "TTO=80:10:10"}, "--sweep TTO=80:10:10: STEP leads away from TO"},
      {{"--sweep", "TTO=0:1e12:1"}, "--sweep TTO=0:1e12:1: more than 1000000000 values"},
      {{"--sweep", "TTO=0:1e5:1", "--sweep", "V0=0:1e5:1"}, "the sweep has more than 1000000000 cases"},
      {{"--sweep", "TTO=1:2:1", "--sweep", "TTO=3:4:1"}, "--sweep gives TTO twice"},
      {{"--sweep", "TTO=1:2:1", "--case", "V0=1"}, "--sweep and --case cannot be mixed"},
      {{"--case", "V0=1,V0=2"}, "--case gives V0 twice: 'V0=1,V0=2'"},
      {{"--case", "V0=1,TTO"}, "--case needs NAME=VALUE, not 'TTO'"},
      {{"--sweep", "TTO=1:2:1", "--png", "a.png", "--style", "clear"}, "--style does not apply to a sweep"},
      {{"--sweep", "TTO=1:2:1", "--dir", "out"}, "--dir does not apply to a sweep"},
      {{"--sweep", "TTO=1:2:1", "--json"}, "--json does not apply to a sweep"},
      {{"--sweep", "TTO=1:2:1", "--csv", "t.csv"}, "in a sweep, --csv names a file in each case's folder"},
      {{"--sweep", "TTO=1:2:1", "--keep", "k", "--csv", "a/t.csv"}, "in a sweep, --csv names a file in each"},
      {{"--jobs", "2"}, "--jobs only applies to a sweep (--sweep or --case)"},
      {{"--shard", "0/2"}, "--shard only applies to a sweep (--sweep or --case)"},
      {{"--sweep", "TTO=1:2:1", "--jobs", "0"}, "--jobs needs a whole number from 1 to 1024, not '0'"},
      {{"--sweep", "TTO=1:2:1", "--shard", "2/2"}, "--shard needs K/N with 0 <= K < N, not '2/2'"},
      {{"--sweep", "TTO=1:2:1", "--shard", "1"}, "--shard needs K/N with 0 <= K < N, not '1'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Message);
    try {
      Parse(c.Args);
      ADD_FAILURE() << "accepted";
    } catch (const UsageError& e) {
      EXPECT_EQ(std::string_view(e.what()).substr(0, std::strlen(c.Message)), c.Message);
    }
  }
}

TEST(BatchArguments, SweepCountsFromFromToToInWholeStepsOfItsDecimals) {
  struct Case {
    const char* Sweep;
    std::vector<double> Values;
  } const cases[] = {
      {"TTO=10:80:10", {10, 20, 30, 40, 50, 60, 70, 80}},
      {"Cx=0.1:0.5:0.1", {0.1, 0.2, 0.3, 0.4, 0.5}},  // the doubles of the texts, not 0.30000000000000004
      {"Cx=0.1:0.45:0.1", {0.1, 0.2, 0.3, 0.4}},      // TO need not be met
      {"V0=100:90:-5", {100, 95, 90}},
      {"H0=7:7:1", {7}},
      {"Vwind=-0.25:0.25:0.25", {-0.25, 0, 0.25}},
      {"dt0=1e-3:3e-3:1e-3", {1e-3, 2e-3, 3e-3}},  // exponent forms: counted with a tolerance
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Sweep);
    const BatchOptions o = Parse({"--sweep", c.Sweep});
    ASSERT_EQ(o.Sweep.size(), 1u);
    const SweepAxis& a = o.Sweep[0];
    ASSERT_EQ(a.Count, static_cast<int64_t>(c.Values.size()));
    for (std::size_t i = 0; i < c.Values.size(); ++i) {
      if (std::string_view(c.Sweep).find('e') == std::string_view::npos)
        EXPECT_EQ(a.Value(static_cast<int64_t>(i)), c.Values[i]) << i;
      else
        EXPECT_DOUBLE_EQ(a.Value(static_cast<int64_t>(i)), c.Values[i]) << i;
    }
  }
}

TEST(BatchJson, ErrorIsOneObjectWithTheMessageEscaped) {
  EXPECT_EQ(ErrorJson("Floating point overflow"), R"({"error": "Floating point overflow"})");
  EXPECT_EQ(ErrorJson("Cannot create \"a\\b\": x\n\t"),
            R"({"error": "Cannot create \"a\\b\": x\u000a\u0009"})");
  EXPECT_THROW(NumberText(std::numeric_limits<double>::infinity()), FloatingPointError);
  EXPECT_THROW(NumberText(std::numeric_limits<double>::quiet_NaN()), FloatingPointError);
  EXPECT_EQ(NumberText(0.1), "0.1");
  EXPECT_EQ(NumberText(-0.0), "-0");
}

// --- The program as a user runs it ------------------------------------------------------------

TEST_F(BatchProgram, RunsAPresetWritingTheSameFilesAsTheComputationItself) {
  const Outcome r = Batch({"--preset", "0", "--set", "Tk=10", "--set", "AeroModel=1"});
  ASSERT_EQ(r.Exit, 0) << r.Err;
  EXPECT_EQ(r.Err, "");

  // The same parameters, run in-process.
  const InProcessRun d = RunArgs({"--preset", "0", "--set", "Tk=10", "--set", "AeroModel=1"}, io_);
  EXPECT_EQ(r.Out, SummaryText(d.Result));
  EXPECT_EQ(r.Out.substr(0, r.Out.find('\n')), "Steps per pass: 1966");
  EXPECT_NE(r.Out.find("\nFlight time at the last step: 9.83 s\n"), std::string::npos) << r.Out;
  EXPECT_TRUE(ReadFile(work_ / kStepFileName) == ReadFile(io_ / kStepFileName));
  EXPECT_TRUE(ReadFile(work_ / kSampleFileName) == ReadFile(io_ / kSampleFileName));
}

TEST_F(BatchProgram, DirChoosesWhereTheFilesGo) {
  fs::create_directories(work_ / "out");
  ASSERT_EQ(Batch({"--preset", "2", "--dir", "out"}).Exit, 0);
  EXPECT_EQ(Listing(work_), std::set<std::string>{"out"});
  EXPECT_EQ(Listing(work_ / "out"), (std::set<std::string>{kStepFileName, kSampleFileName}));
}

TEST_F(BatchProgram, RunErrorPrintsItsMessageAndExits1) {
  // Without a preset the step is 0: refused before any file exists.
  Outcome r = Batch({"--quiet"});
  EXPECT_EQ(r.Exit, 1);
  EXPECT_EQ(r.Err, "zarn-batch: Integration step must be a positive number\n");
  EXPECT_EQ(r.Out, "");
  EXPECT_TRUE(Listing(work_).empty());

  // A start mass of 0 is refused before the run, with the fault its first step met before.
  r = Batch({"--preset", "0", "--set", "MassaStart=0"});
  EXPECT_EQ(r.Exit, 1);
  EXPECT_EQ(r.Err, "zarn-batch: Invalid floating point operation (MassaStart = 0)\n");
  EXPECT_TRUE(Listing(work_).empty());

  // A fault during the run leaves the step file as far as it got, and no sample file.
  r = Batch({"--preset", "0", "--set", "TaskKind=8", "--set", "MassaStart=10", "--set", "Mt=10", "--set",
             "Iud=1000", "--set", "IudP0=1000", "--set", "Schub=10000", "--set", "dt0=0.25"});
  EXPECT_EQ(r.Exit, 1);
  EXPECT_EQ(r.Err, "zarn-batch: Floating point division by zero\n");  // it burns all its mass
  EXPECT_EQ(Listing(work_), std::set<std::string>{kStepFileName});

  r = Batch({"--preset", "0", "--dir", "missing"});
  EXPECT_EQ(r.Exit, 1);
  EXPECT_EQ(r.Err.rfind("zarn-batch: Cannot create \"missing/Zarn Daten.txt\": ", 0), 0u) << r.Err;
}

TEST_F(BatchProgram, UsageErrorSaysWhyExits2AndTouchesNothing) {
  { std::ofstream(work_ / kStepFileName) << "earlier run"; }
  {
    std::ofstream(work_ / "rocket.zarn")
        << "TaskKind = 8\n# stage 1\n\nMt = 100\nIud = 2000\nIudP0 = 2300\nVo = 1\n";
  }
  { std::ofstream(work_ / "twice.zarn") << "V0 = 1\nTTO = 2\nV0 = 3\n"; }
  struct Case {
    std::vector<std::string> Args;
    std::string Message;  // the first line of stderr
  } const cases[] = {
      {{"--preset", "7"}, "zarn-batch: Preset must be a whole number from 0 to 4, not '7'"},
      {{"--preset", "0", "--set", "dt0=0,01"},
       "zarn-batch: Value of dt0: '0,01' is not a number (the decimal separator is '.')"},
      {{"--preset", "0", "--set", "Masse=1"}, "zarn-batch: Unknown parameter 'Masse'"},
      {{"--preset", "0", "--png", "g.png", "--graph", "Button1"},
       "zarn-batch: Unknown graph 'Button1' (did you mean 'Button3'?)"},
      {{"--preset", "0", "--dir"}, "zarn-batch: Option '--dir' needs a value"},
      {{"--preset", "0", "--verbose"}, "zarn-batch: Unknown option '--verbose'"},
      {{"--preset", "0", "--sumary", "s.csv"},
       "zarn-batch: Unknown option '--sumary' (did you mean '--summary'?)"},
      {{"--params", "rocket.zarn", "--set", "TTO=80"},
       "zarn-batch: rocket.zarn:7: unknown parameter 'Vo' (did you mean 'V0'?)"},
      {{"--params=twice.zarn"}, "zarn-batch: twice.zarn:3: V0 is given twice (first on line 1)"},
      {{"--params", "none.zarn", "--save-params", "saved.zarn"},
       "zarn-batch: Cannot open \"none.zarn\": No such file or directory"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Message);
    const Outcome r = Batch(c.Args);
    EXPECT_EQ(r.Exit, 2);
    EXPECT_EQ(r.Err, c.Message + "\nTry 'zarn-batch --help' for more information.\n");
    EXPECT_EQ(r.Out, "");
    EXPECT_EQ(Listing(work_), (std::set<std::string>{kStepFileName, "rocket.zarn", "twice.zarn"}));
    EXPECT_EQ(ReadFile(work_ / kStepFileName), "earlier run");
  }
}

// PNG: the signature, then the IHDR chunk with width and height as big-endian 32-bit numbers.
void ExpectPng(const std::string& png, uint32_t width, uint32_t height) {
  ASSERT_GE(png.size(), 24u);
  EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");
  EXPECT_EQ(png.substr(12, 4), "IHDR");
  auto be32 = [&](std::size_t at) {
    uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(png[at + i]);
    return v;
  };
  EXPECT_EQ(be32(16), width);
  EXPECT_EQ(be32(20), height);
}

TEST_F(BatchProgram, PngSavesAn800x600GraphWithoutADisplay) {
  Outcome r = Batch({"--preset", "0", "--png", "graph.png"}, /*withoutPlatform=*/true);
  ASSERT_EQ(r.Exit, 0) << r.Err;
  EXPECT_EQ(r.Err, "");
  const std::string end = ReadFile(work_ / "graph.png");
  ExpectPng(end, 800, 600);

  r = Batch({"--preset", "0", "--png", "h.png", "--graph", "Button3"}, true);
  ASSERT_EQ(r.Exit, 0) << r.Err;
  const std::string height = ReadFile(work_ / "h.png");
  ExpectPng(height, 800, 600);
  EXPECT_NE(height, end);  // another graph of the same run

  r = Batch({"--preset", "0", "--png", "nowhere/g.png"}, true);
  EXPECT_EQ(r.Exit, 1);
  EXPECT_EQ(r.Err, "zarn-batch: Cannot create \"nowhere/g.png\": No such file or directory\n");
}

TEST_F(BatchProgram, PngWritesTheFormatItsExtensionNames) {
  const struct {
    const char* File;
    std::string Signature;
  } cases[] = {
      {"g.png", "\x89PNG\r\n\x1a\n"},
      {"g.JPG", "\xff\xd8\xff"},
      {"g.jpeg", "\xff\xd8\xff"},
      {"g.bmp", "BM"},
      {"g.SVG", "<?xml"},
      {"g.pdf", "%PDF-"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.File);
    const Outcome r = Batch({"--preset", "2", "--png", c.File, "--quiet"});
    ASSERT_EQ(r.Exit, 0) << r.Err;
    EXPECT_EQ(ReadFile(work_ / c.File).substr(0, c.Signature.size()), c.Signature);
  }
}

TEST_F(BatchProgram, SvgAndPdfAreOneDrawingInEitherStyle) {
  for (const char* style : {"classic", "clear"}) {
    SCOPED_TRACE(style);
    Outcome r = Batch({"--preset", "0", "--png", "g.svg", "--graph", "ButtonP", "--style", style}, true);
    ASSERT_EQ(r.Exit, kExitOk) << r.Err;
    EXPECT_EQ(r.Err, "");
    const zarn::test_support::SvgSummary svg = zarn::test_support::ReadSvg(ReadFile(work_ / "g.svg"));
    EXPECT_EQ(svg.Root, "svg");
    EXPECT_EQ(svg.Images, 0);
    EXPECT_GT(svg.Texts, 20);

    r = Batch({"--preset", "0", "--png", "g.pdf", "--style", style}, true);
    ASSERT_EQ(r.Exit, kExitOk) << r.Err;
    const std::string pdf = ReadFile(work_ / "g.pdf");
    EXPECT_EQ(pdf.substr(0, 5), "%PDF-");
    EXPECT_EQ(zarn::test_support::PdfPages(pdf), 1);
    EXPECT_FALSE(zarn::test_support::PdfHasImage(pdf));
  }
  // The clear style is another picture of the same size; the classic one is the default.
  ASSERT_EQ(Batch({"--preset", "0", "--png", "clear.png", "--style", "clear"}).Exit, kExitOk);
  ASSERT_EQ(Batch({"--preset", "0", "--png", "classic.png", "--style", "classic"}).Exit, kExitOk);
  ASSERT_EQ(Batch({"--preset", "0", "--png", "default.png"}).Exit, kExitOk);
  ExpectPng(ReadFile(work_ / "clear.png"), 800, 600);
  EXPECT_NE(ReadFile(work_ / "clear.png"), ReadFile(work_ / "classic.png"));
  EXPECT_EQ(ReadFile(work_ / "default.png"), ReadFile(work_ / "classic.png"));

  const Outcome r = Batch({"--preset", "0", "--png", "nowhere/g.pdf"}, true);
  EXPECT_EQ(r.Exit, kExitRunError);
  EXPECT_EQ(r.Err, "zarn-batch: Cannot create \"nowhere/g.pdf\": No such file or directory\n");
}

TEST_F(BatchProgram, FollowsTheCommandLineConventions) {
  // No arguments: the usage on stderr, exit 2, nothing run.
  Outcome r = Batch({});
  EXPECT_EQ(r.Exit, 2);
  EXPECT_EQ(r.Err.rfind(std::string(kUsage), 0), 0u) << r.Err;
  EXPECT_EQ(r.Out, "");
  EXPECT_TRUE(Listing(work_).empty());

  r = Batch({"--version"});
  EXPECT_EQ(r.Exit, 0);
  EXPECT_EQ(r.Out, "zarn-batch 1.1\n");

  // --opt=value and --opt value alike.
  const Outcome spaced = Batch({"--preset", "2", "--set", "TTO=30", "--json", "--csv", "spaced.csv"});
  const Outcome joined = Batch({"--preset=2", "--set=TTO=30", "--json", "--csv=joined.csv"});
  ASSERT_EQ(spaced.Exit, 0) << spaced.Err;
  EXPECT_EQ(joined.Out, spaced.Out);
  EXPECT_EQ(ReadFile(work_ / "joined.csv"), ReadFile(work_ / "spaced.csv"));

  // '-' as the CSV path: the table on stdout instead of the summary, and no file named '-'.
  r = Batch({"--preset", "2", "--set", "TTO=30", "--csv", "-"});
  ASSERT_EQ(r.Exit, 0) << r.Err;
  EXPECT_TRUE(r.Out == ReadFile(work_ / "spaced.csv"));
  EXPECT_FALSE(fs::exists(work_ / "-"));

  // --help: every parameter with its unit and meaning, every graph with its caption.
  r = Batch({"--help"});
  EXPECT_EQ(r.Exit, 0);
  EXPECT_EQ(r.Out.rfind(std::string(kUsage), 0), 0u);
  auto hasLine = [&](const std::string& start, const std::string& end) {
    std::istringstream lines(r.Out);
    for (std::string line; std::getline(lines, line);)
      if (line.rfind(start, 0) == 0 && line.size() >= end.size() && line.ends_with(end)) return true;
    return false;
  };
  for (const ParamName& p : kParamNames) {
    std::string start = "  ", end = "[";
    start.append(p.Name).append(" ");
    end.append(p.Unit).append("] ").append(p.Meaning);
    EXPECT_TRUE(hasLine(start, end)) << p.Name;
  }
  for (const GraphEntry& g : GraphButtons())
    EXPECT_TRUE(hasLine("  " + std::string(g.Component) + " ", " " + std::string(g.Caption))) << g.Component;
}

}  // namespace
}  // namespace zarn::runner
