#include "tests/plot/plot_test_support.h"

#include <algorithm>
#include <array>
#include <vector>

#include "models/atmosphere.h"
#include "models/motion_step.h"
#include "plot/qpainter_canvas.h"
#include "plot/renderer.h"

namespace zarn::test {

std::unique_ptr<TrajectoryTable> MakeTable() {
  auto table = std::make_unique<TrajectoryTable>();
  table->Elements.fill(0.0);
  table->RowsPerColumn = TrajectoryTable::kMaxRows;
  return table;
}

void FillFlight(const FlightSetup& setup, TrajectoryTable& table, UnitFlags& units) {
  using Row = std::array<double, TrajectoryTable::kColumns>;
  std::vector<Row> steps;
  FlightState s{};
  s.H = setup.H0;
  s.V = setup.V0;
  s.Theta = setup.AngleDeg / kDegPerRad;
  s.Mass = setup.Mass;
  s.Area = setup.S0;
  s.CxCur = setup.Cx;
  s.CyCur = setup.Cy;
  double fuel = setup.Fuel;
  do {
    s.Atm = StandardAtmosphere(s.H);
    s.Mach = s.V / s.Atm.Vsound;
    s.Thrust = fuel > 0 ? setup.Thrust : 0.0;
    s.Isp = fuel > 0 ? setup.Isp : 0.0;
    if (fuel > 0) {
      const double burnt = setup.Thrust / setup.Isp * setup.dt;
      fuel -= burnt;
      s.Mass -= burnt;
    }
    MotionStep(s, 0.0, setup.dt, 0);
    Row r{};
    r[kColT] = s.t;
    r[kColV] = s.V;
    r[kColQkPa] = s.q / 1000;
    r[kColH] = std::max(s.H, 0.0);
    r[kColAngle] = s.Theta * kDegPerRad;
    r[kColX] = s.X;
    r[kColNx] = s.nx;
    r[kColNy] = s.ny;
    r[kColAuftriebEps] = 1e-9;
    r[kColIsp] = s.Isp;
    r[kColThrust] = s.Thrust;
    r[kColMass] = s.Mass;
    r[kColThrustPerMass] = s.Thrust / s.Mass;
    r[kColDrag] = s.Drag;
    r[kColLift] = s.Lift;
    r[kColCx] = s.CxCur;
    r[kColCy] = s.CyCur;
    r[kColMach] = s.Mach;
    r[kColTemp] = s.Atm.T;
    r[kColPbar] = s.Atm.Pbar;
    r[kColRoh] = s.Atm.Roh;
    r[kColRe] = s.Atm.Roh * s.V / s.Atm.Mu / 1000;
    steps.push_back(r);
  } while (s.H >= 0 && s.t < setup.Tk);

  // 500 samples evenly spread over the flight, the last one at its end.
  const int rows = table.RowsPerColumn;
  const double perRow = static_cast<double>(steps.size()) / rows;
  for (int i = 1; i <= rows; ++i) {
    const auto k = std::min(steps.size() - 1, static_cast<std::size_t>(i * perRow) - 1);
    for (int c = 0; c < TrajectoryTable::kColumns; ++c) table.Cell(c, i) = steps[k][c];
  }

  units = UnitFlags{};
  auto largest = [&](int c) {
    double m = 0;
    for (int i = 1; i <= rows; ++i) m = std::max(m, table.Cell(c, i));
    return m;
  };
  auto scale = [&](int c, double by) {
    for (int i = 1; i <= rows; ++i) table.Cell(c, i) /= by;
  };
  const double tmax = largest(kColT);
  if (tmax > 36000) {
    units.TimeUnit = 3;
    scale(kColT, 3600);
  } else if (tmax > 3600) {
    units.TimeUnit = 2;
    scale(kColT, 60);
  }
  struct Conversion {
    int Column;
    int32_t UnitFlags::*Flag;
  };
  for (const Conversion& c :
       {Conversion{kColH, &UnitFlags::HeightInKm}, Conversion{kColX, &UnitFlags::RangeInKm},
        Conversion{kColThrust, &UnitFlags::ThrustInKn}, Conversion{kColMass, &UnitFlags::MassInTonnes}})
    if (largest(c.Column) > 10000) {
      units.*c.Flag = 1;
      scale(c.Column, 1000);
    }
}

GraphSelection Select(std::initializer_list<int> columns) {
  GraphSelection sel{};
  int n = 0;
  for (int c : columns) sel.Columns[static_cast<std::size_t>(n++)] = c;
  sel.Count = n + 1;
  return sel;
}

bool TextAt(const QImage& img, int x, int y, std::string_view text) {
  QImage ref(img.width(), img.height(), QImage::Format_RGB32);
  ref.fill(Qt::white);
  {
    QPainterCanvas canvas(ref);
    canvas.SetFontSize(12);
    canvas.SetFontHeight(12);
    canvas.TextOut(x, y, text);
  }
  int ink = 0;
  for (int yy = std::max(y, 0); yy < std::min(y + 12, ref.height()); ++yy)
    for (int xx = std::max(x, 0); xx < std::min(x + 200, ref.width()); ++xx)
      if (IsBlack(ref, xx, yy)) {
        ++ink;
        if (!IsBlack(img, xx, yy)) return false;
      }
  return ink > 0;
}

}  // namespace zarn::test
