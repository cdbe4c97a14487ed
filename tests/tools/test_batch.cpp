#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "batch/batch.h"
#include "batch_program.h"
#include "sim/integrator.h"
#include "sim/presets.h"
#include "sim/result_files.h"

namespace zarn::batch {
namespace {

namespace fs = std::filesystem;
using namespace test_support;

BatchOptions Parse(std::vector<std::string_view> args) {
  return ParseArguments(args);
}

// --- Parsing, in-process ----------------------------------------------------------------------

TEST(BatchArguments, SettingsFollowThePresetInTheirOrderAndTaskKindSetsBuoyancy) {
  const BatchOptions o = Parse(
      {"--set", "dt0=0.5", "--preset", "2", "--set", "dt0=1e-3", "--set", "TaskKind=3", "--set", "TTO=+30"});
  EXPECT_EQ(o.Preset, 2);
  ASSERT_EQ(o.Settings.size(), 4u);
  auto d = std::make_unique<ZarnData>();
  PrepareParameters(o, *d);
  EXPECT_EQ(d->Params.dt0, 0.001);  // the later --set wins
  EXPECT_EQ(d->Params.V0, 40);      // from preset 2
  EXPECT_EQ(d->Params.TTO, 30);
  EXPECT_EQ(d->Params.TaskKind, 3);
  EXPECT_EQ(d->Params.BuoyancyMode, 1);
  PrepareParameters(Parse({"--preset", "2", "--set", "TaskKind=3", "--set", "TaskKind=8"}), *d);
  EXPECT_EQ(d->Params.BuoyancyMode, 0);
}

TEST(BatchArguments, WithoutAPresetEveryParameterIsZero) {
  auto d = std::make_unique<ZarnData>();
  PrepareParameters(Parse({"--preset", "4"}), *d);
  PrepareParameters(Parse({}), *d);
  const FlightParameters zero{};
  EXPECT_EQ(std::memcmp(&d->Params, &zero, sizeof zero), 0);
}

TEST(BatchArguments, EachRealParameterHasExactlyOneName) {
  const char* names[] = {"H0",        "V0",       "TTO",   "MassaStart", "S0",  "Cx",       "Cy",
                         "Vwind",     "dt0",      "Tk",    "Hk",         "Vk",  "PresetHk", "PresetVk",
                         "AeroModel", "TaskKind", "Mt",    "Mt2",        "Mt3", "Iud",      "Iud2",
                         "Iud3",      "IudP0",    "IudP2", "IudP3",      "Mdv", "Mdv2",     "Mdv3",
                         "Schub",     "Schu2",    "Schu3", "S1",         "S2",  "S3"};
  std::set<std::size_t> offsets;
  for (const char* name : names) {
    SCOPED_TRACE(name);
    const std::string arg = std::string(name) + "=12345.5";
    FlightParameters p{};
    p.*Parse({"--set", arg}).Settings.at(0).Field = 12345.5;
    int changed = 0;
    for (std::size_t at = 0; at + sizeof(double) <= sizeof p; at += alignof(double)) {
      double v;
      std::memcpy(&v, reinterpret_cast<const char*>(&p) + at, sizeof v);
      if (v == 12345.5) ++changed, offsets.insert(at);
    }
    EXPECT_EQ(changed, 1);
  }
  EXPECT_EQ(offsets.size(), std::size(names));  // no two names reach the same field
  // A few by their meaning.
  EXPECT_EQ(Parse({"--set", "Schu3=1"}).Settings[0].Field, &FlightParameters::Schu3);
  EXPECT_EQ(Parse({"--set", "IudP0=1"}).Settings[0].Field, &FlightParameters::IudP0);
  EXPECT_EQ(Parse({"--set", "Hk=1"}).Settings[0].Field, &FlightParameters::Hk);
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
      {{"--bogus"}, "Unknown option '--bogus'"},
      {{"preset"}, "Unknown option 'preset'"},
      {{"--preset"}, "Option '--preset' needs a value"},
      {{"--preset", "5"}, "Preset must be a whole number from 0 to 4, not '5'"},
      {{"--preset", "-1"}, "Preset must be a whole number from 0 to 4, not '-1'"},
      {{"--preset", "1.0"}, "Preset must be a whole number from 0 to 4, not '1.0'"},
      {{"--set", "dt0"}, "--set needs NAME=VALUE, not 'dt0'"},
      {{"--set", "Foo=1"}, "Unknown parameter 'Foo'"},
      {{"--set", "BuoyancyMode=1"}, "Unknown parameter 'BuoyancyMode'"},
      {{"--set", "dt0=1,5"}, "Value of dt0: '1,5' is not a number (the decimal separator is '.')"},
      {{"--set", "dt0="}, "Value of dt0: '' is not a number (the decimal separator is '.')"},
      {{"--set", "dt0= 1"}, "Value of dt0: ' 1' is not a number (the decimal separator is '.')"},
      {{"--set", "Tk=inf"}, "Value of Tk: 'inf' is not a number (the decimal separator is '.')"},
      {{"--set", "Tk=nan"}, "Value of Tk: 'nan' is not a number (the decimal separator is '.')"},
      {{"--set", "Tk=1e999"}, "Value of Tk: '1e999' is not a number (the decimal separator is '.')"},
      {{"--set", "Tk=+-1"}, "Value of Tk: '+-1' is not a number (the decimal separator is '.')"},
      {{"--png", "a.png", "--graph", "Button99"}, "Unknown graph 'Button99' (known: Button22, "},
      {{"--graph", "Button3"}, "--graph only chooses what --png saves"},
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

// --- The program as a user runs it ------------------------------------------------------------

TEST_F(BatchProgram, RunsAPresetWritingTheSameFilesAsTheComputationItself) {
  const Outcome r = Batch({"--preset", "0", "--set", "Tk=10", "--set", "AeroModel=1"});
  ASSERT_EQ(r.Exit, kExitOk) << r.Err;
  EXPECT_EQ(r.Err, "");

  // The same parameters, run in-process.
  int64_t steps = 0;
  const auto d = RunInProcess(
      0,
      [](FlightParameters& p) {
        p.Tk = 10;
        p.AeroModel = 1;
      },
      io_, &steps);
  EXPECT_EQ(r.Out, Summary(d->State, steps) + "\n");
  EXPECT_EQ(steps, std::llround(d->State.t / 0.005));
  EXPECT_TRUE(ReadFile(work_ / kStepFileName) == ReadFile(io_ / kStepFileName));
  EXPECT_TRUE(ReadFile(work_ / kSampleFileName) == ReadFile(io_ / kSampleFileName));
}

TEST_F(BatchProgram, DirChoosesWhereTheFilesGo) {
  fs::create_directories(work_ / "out");
  ASSERT_EQ(Batch({"--preset", "2", "--dir", "out"}).Exit, kExitOk);
  EXPECT_EQ(Listing(work_), std::set<std::string>{"out"});
  EXPECT_EQ(Listing(work_ / "out"), (std::set<std::string>{kStepFileName, kSampleFileName}));
}

TEST_F(BatchProgram, RunErrorPrintsItsMessageAndExits1) {
  // Without a preset the step is 0: refused before any file exists.
  Outcome r = Batch({});
  EXPECT_EQ(r.Exit, kExitRunError);
  EXPECT_EQ(r.Err, "Integration step must be a positive number\n");
  EXPECT_EQ(r.Out, "");
  EXPECT_TRUE(Listing(work_).empty());

  // A fault during the run leaves the step file as far as it got, and no sample file.
  r = Batch({"--preset", "0", "--set", "MassaStart=0"});
  EXPECT_EQ(r.Exit, kExitRunError);
  EXPECT_EQ(r.Err, "Invalid floating point operation\n");
  EXPECT_EQ(Listing(work_), std::set<std::string>{kStepFileName});

  r = Batch({"--preset", "0", "--dir", "missing"});
  EXPECT_EQ(r.Exit, kExitRunError);
  EXPECT_NE(r.Err.find("Zarn Daten.txt"), std::string::npos) << r.Err;
}

TEST_F(BatchProgram, UsageErrorPrintsTheUsageExits2AndTouchesNothing) {
  { std::ofstream(work_ / kStepFileName) << "earlier run"; }
  const std::vector<std::string> cases[] = {
      {"--preset", "7"},
      {"--preset", "0", "--set", "dt0=0,01"},
      {"--preset", "0", "--set", "Masse=1"},
      {"--preset", "0", "--png", "g.png", "--graph", "Button1"},
      {"--preset", "0", "--dir"},
      {"--preset", "0", "--verbose"},
  };
  for (const auto& args : cases) {
    SCOPED_TRACE(args.back());
    const Outcome r = Batch(args);
    EXPECT_EQ(r.Exit, kExitUsage);
    EXPECT_EQ(r.Err.rfind("zarn-batch: ", 0), 0u) << r.Err;
    EXPECT_NE(r.Err.find("Usage: zarn-batch [--preset N]"), std::string::npos);
    EXPECT_EQ(r.Out, "");
    EXPECT_EQ(Listing(work_), std::set<std::string>{kStepFileName});
    EXPECT_EQ(ReadFile(work_ / kStepFileName), "earlier run");
  }
  const Outcome help = Batch({"--help"});
  EXPECT_EQ(help.Exit, kExitOk);
  EXPECT_EQ(help.Out.rfind("Usage: zarn-batch", 0), 0u);
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
  ASSERT_EQ(r.Exit, kExitOk) << r.Err;
  EXPECT_EQ(r.Err, "");
  const std::string end = ReadFile(work_ / "graph.png");
  ExpectPng(end, 800, 600);

  r = Batch({"--preset", "0", "--png", "h.png", "--graph", "Button3"}, true);
  ASSERT_EQ(r.Exit, kExitOk) << r.Err;
  const std::string height = ReadFile(work_ / "h.png");
  ExpectPng(height, 800, 600);
  EXPECT_NE(height, end);  // another graph of the same run

  r = Batch({"--preset", "0", "--png", "nowhere/g.png"}, true);
  EXPECT_EQ(r.Exit, kExitRunError);
  EXPECT_EQ(r.Err, "Cannot create \"nowhere/g.png\": No such file or directory\n");
}

}  // namespace
}  // namespace zarn::batch
