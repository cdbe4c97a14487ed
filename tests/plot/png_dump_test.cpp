// Pictures to look at, not a check: with ZARN_PLOT_PNG_DIR set, writes every catalogue graph of
// a projectile flight and of a one-stage rocket, and a graph with negative curves, as PNG files
// into that directory. Without it the test is skipped.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QString>
#include <string>

#include "plot/catalogue.h"
#include "plot/renderer.h"
#include "tests/plot/plot_test_support.h"

namespace zarn {
namespace {

TEST(GraphPictures, WrittenWhenZarnPlotPngDirIsSet) {
  const QString dir = qEnvironmentVariable("ZARN_PLOT_PNG_DIR");
  if (dir.isEmpty()) GTEST_SKIP() << "set ZARN_PLOT_PNG_DIR to write the graphs as PNG files";
  ASSERT_TRUE(QDir().mkpath(dir));

  struct Flight {
    const char* Name;
    test::FlightSetup Setup;
  };
  const Flight flights[] = {
      {"projectile", {}},
      {"rocket",
       {.H0 = 0,
        .V0 = 10,
        .AngleDeg = 80,
        .Mass = 20000,
        .S0 = 2,
        .Cx = 0.3,
        .Cy = 0.02,
        .Thrust = 400000,
        .Isp = 2500,
        .Fuel = 12000,
        .Tk = 400,
        .dt = 0.01}},
  };
  auto table = test::MakeTable();
  UnitFlags units{};
  auto save = [&](const QImage& img, const std::string& name) {
    const QString path = dir + "/" + QString::fromStdString(name) + ".png";
    EXPECT_TRUE(img.save(path)) << path.toStdString();
  };
  for (const Flight& f : flights) {
    test::FillFlight(f.Setup, *table, units);
    for (const GraphEntry& e : kGraphCatalogue) {
      GraphSelection sel{};
      SelectGraph(e, sel);
      save(PlotGraph(*table, sel, 500, units, '.'),
           std::string(f.Name) + "_" + std::string(e.Component.empty() ? "EndOfRun" : e.Component));
    }
  }
  // The projectile's angle and load factors go below zero: a graph with a negative zone.
  test::FillFlight({}, *table, units);
  save(PlotGraph(*table, test::Select({kColT, kColH, kColAngle, kColNx, kColV}), 500, units, ','),
       "negative_zone");
}

}  // namespace
}  // namespace zarn
