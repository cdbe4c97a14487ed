// PlotGraph for the seven-curve graph ButtonP (height, speed, angle, thrust, mass, thrust per mass,
// specific impulse over time) on a full table of 500 rows shaped like a rocket flight: image
// creation, grid, 60 labels, 7 x 498 line segments and about 150 markers. Target: under 5 ms.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <cmath>
#include <memory>

#include "plot/catalogue.h"
#include "plot/renderer.h"

namespace {

using namespace zarn;

// A one-stage rocket: 75 s of burn, then a coast to the ground at 300 s.
std::unique_ptr<TrajectoryTable> RocketTable() {
  auto table = std::make_unique<TrajectoryTable>();
  table->Elements.fill(0.0);
  table->RowsPerColumn = TrajectoryTable::kMaxRows;
  for (int i = 1; i <= 500; ++i) {
    const double t = 0.6 * i;  // [s]
    const bool burning = t < 75;
    const double mass = burning ? 20 - 0.16 * t : 8;  // [t]
    table->Cell(kColT, i) = t;
    table->Cell(kColH, i) = 60 * std::sin(3.14159265358979 * i / 500);  // [km]
    table->Cell(kColV, i) = burning ? 10 + 25 * t : 1885 - 3 * (t - 75);
    table->Cell(kColAngle, i) = 80 - 160.0 * i / 500;
    table->Cell(kColThrust, i) = burning ? 400 : 0;  // [kN]
    table->Cell(kColMass, i) = mass;
    table->Cell(kColThrustPerMass, i) = burning ? 400 / mass : 0;
    table->Cell(kColIsp, i) = burning ? 2500 : 0;
  }
  return table;
}

void BM_PlotGraphButtonP(benchmark::State& state) {
  const auto table = RocketTable();
  const UnitFlags units{.HeightInKm = 1, .TimeUnit = 0, .RangeInKm = 1, .ThrustInKn = 1, .MassInTonnes = 1};
  GraphSelection sel{};
  SelectGraph(kGraphCatalogue[12], sel);  // ButtonP
  for (auto _ : state) {
    QImage img = PlotGraph(*table, sel, table->RowsPerColumn, units, '.');
    benchmark::DoNotOptimize(img.constBits());
  }
}
BENCHMARK(BM_PlotGraphButtonP)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);  // fonts need it
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
