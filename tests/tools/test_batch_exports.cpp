// What zarn-batch hands on to other tools: the table as CSV, the graph as PNG, and a quiet mode
// for scripts; each checked against the same run in-process.
#include <gtest/gtest.h>

#include <QImage>
#include <QString>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <string>

#include "batch/batch.h"
#include "batch_program.h"
#include "plot/catalogue.h"
#include "plot/renderer.h"
#include "sim/result_files.h"
#include "sim/table_csv.h"

namespace zarn::batch {
namespace {

using namespace test_support;

// A lob of some 67 minutes up to thousands of km: time in minutes, height and range in km.
const std::vector<std::string> kLongLob{"--preset", "0",    "--set", "V0=20000",  "--set", "TTO=80",
                                        "--set",    "Cx=0", "--set", "Tk=100000", "--set", "dt0=1"};
void LongLob(FlightParameters& p) {
  p.V0 = 20000;
  p.TTO = 80;
  p.Cx = 0;
  p.Tk = 100000;
  p.dt0 = 1;
}

std::vector<std::string> With(std::vector<std::string> args, std::initializer_list<std::string> more) {
  args.insert(args.end(), more);
  return args;
}

TEST_F(BatchProgram, CsvIsTheConvertedTableWithItsUnitsAndGoesWhereItIsNamed) {
  fs::create_directories(work_ / "out");
  const Outcome r = Batch(With(kLongLob, {"--dir", "out", "--csv", "lob.csv"}));
  ASSERT_EQ(r.Exit, kExitOk) << r.Err;
  EXPECT_EQ(r.Err, "");
  // Relative to the current directory, not to --dir.
  EXPECT_EQ(Listing(work_), (std::set<std::string>{"out", "lob.csv"}));

  const auto d = RunInProcess(0, LongLob, io_);
  ASSERT_EQ(d->Units.TimeUnit, 2);
  ASSERT_EQ(d->Units.HeightInKm, 1);
  const std::string csv = ReadFile(work_ / "lob.csv");
  EXPECT_TRUE(csv == TableCsvText(d->Table, d->Units, 500));
  EXPECT_EQ(csv.substr(0, csv.find(',')), "t_min");
  EXPECT_NE(csv.find(",H_km,"), std::string::npos);
  EXPECT_NE(csv.find(",X_km,"), std::string::npos);
}

TEST_F(BatchProgram, CsvThatCannotBeWrittenIsARunErrorWithThePlatformsMessage) {
  const Outcome r = Batch({"--preset", "0", "--csv", "missing/t.csv"});
  EXPECT_EQ(r.Exit, kExitRunError);
  EXPECT_EQ(r.Err, std::string("Cannot create \"missing/t.csv\": ") + std::strerror(ENOENT) + "\n");
  EXPECT_EQ(r.Out, "");  // no summary: the run did not do all it was asked
  // The run itself was through: its files are complete.
  EXPECT_EQ(Listing(work_), (std::set<std::string>{kStepFileName, kSampleFileName}));

  const Outcome empty = Batch({"--preset", "0", "--csv", ""});
  EXPECT_EQ(empty.Exit, kExitUsage);
  EXPECT_EQ(empty.Err.rfind("zarn-batch: --csv needs a file name", 0), 0u) << empty.Err;
}

TEST_F(BatchProgram, QuietPrintsNothingOnSuccessButStillReportsErrors) {
  Outcome r = Batch({"--preset", "2", "--quiet", "--csv", "t.csv"});
  ASSERT_EQ(r.Exit, kExitOk) << r.Err;
  EXPECT_EQ(r.Out, "");
  EXPECT_EQ(r.Err, "");
  EXPECT_EQ(Listing(work_), (std::set<std::string>{kStepFileName, kSampleFileName, "t.csv"}));

  r = Batch({"--quiet", "--preset", "0", "--set", "MassaStart=0"});
  EXPECT_EQ(r.Exit, kExitRunError);
  EXPECT_EQ(r.Out, "");
  EXPECT_EQ(r.Err, "Invalid floating point operation\n");
}

// Both as 32-bit ARGB, so that only the pixels can differ.
int DifferingPixels(const QImage& a, const QImage& b);

TEST_F(BatchProgram, FewStepFlightNotesItOnStderrAndExportsOnlyItsRows) {
  const Outcome r = Batch({"--preset", "0", "--set", "TTO=3", "--csv", "t.csv", "--png", "g.png"});
  ASSERT_EQ(r.Exit, kExitOk) << r.Err;
  EXPECT_EQ(r.Err,
            "248 of 500 samples: the flight took 248 steps; a step of 0.0024 s or less fills all 500\n");

  const auto d = RunInProcess(
      0, [](FlightParameters& p) { p.TTO = 3; }, io_);
  ASSERT_EQ(d->Summary.SamplesStored, 248);
  EXPECT_EQ(r.Out, Summary(d->State, 248) + "\n");
  const std::string csv = ReadFile(work_ / "t.csv");
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 1 + 248);
  EXPECT_TRUE(csv == TableCsvText(d->Table, d->Units, 248));
  GraphSelection selection{};
  SelectGraph(DefaultGraph(), selection);
  const QImage saved(QString::fromStdString((work_ / "g.png").string()), "PNG");
  EXPECT_EQ(DifferingPixels(saved, PlotGraph(d->Table, selection, 249, d->Units, '.')), 0);
  EXPECT_TRUE(ReadFile(work_ / kSampleFileName) == ReadFile(io_ / kSampleFileName))
      << "500 lines all the same";
}

int DifferingPixels(const QImage& a, const QImage& b) {
  if (a.size() != b.size()) return -1;
  const QImage x = a.convertToFormat(QImage::Format_ARGB32);
  const QImage y = b.convertToFormat(QImage::Format_ARGB32);
  int differing = 0;
  for (int row = 0; row < x.height(); ++row)
    for (int col = 0; col < x.width(); ++col) differing += x.pixel(col, row) != y.pixel(col, row);
  return differing;
}

TEST_F(BatchProgram, SavedPngIsTheRenderersImagePixelForPixel) {
  const auto d = RunInProcess(0, LongLob, io_);
  for (const char* graph : {"", "Button15", "ButtonP"}) {
    SCOPED_TRACE(graph);
    std::vector<std::string> args = With(kLongLob, {"--png", "g.png"});
    if (*graph != '\0') args.insert(args.end(), {"--graph", graph});
    const Outcome r = Batch(args);
    ASSERT_EQ(r.Exit, kExitOk) << r.Err;

    GraphSelection selection{};
    SelectGraph(*graph != '\0' ? *FindGraph(graph) : DefaultGraph(), selection);
    const QImage expected = PlotGraph(d->Table, selection, 500, d->Units, '.');
    const QImage saved(QString::fromStdString((work_ / "g.png").string()), "PNG");
    ASSERT_FALSE(saved.isNull());
    EXPECT_EQ(saved.size(), QSize(kGraphWidth, kGraphHeight));
    EXPECT_EQ(DifferingPixels(saved, expected), 0);
  }
}

}  // namespace
}  // namespace zarn::batch
