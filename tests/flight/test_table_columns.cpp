// Every column of a stored row against what it is defined to hold, from the flight state of the
// step that stored it and from the parameters and the air of the run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "flight/integrator.h"
#include "models/atmosphere.h"
#include "records/flight_data.h"
#include "tests/support/flights.h"
#include "tests/support/scratch.h"

namespace zarn {
namespace {

TEST(TableColumns, EveryColumnOfAStoredRowHoldsItsQuantityInItsUnit) {
  test_support::ScratchDir scratch{"zarn_columns"};
  FlightParameters p{};
  // One step of half a second (Tk = dt0) of a one-stage rocket with lift, drag and wind, sloping
  // down from 1000 m: every quantity is non-zero and stays below the thresholds of the unit flags.
  p.TaskKind = kTaskRocket;
  p.H0 = 1000;
  p.V0 = 250;
  p.TTO = -10;
  p.MassaStart = 100;
  p.S0 = 0.05;
  p.Cx = 0.3;
  p.Cy = 0.2;
  p.Vwind = 7;
  p.dt0 = 0.5;
  p.Tk = 0.5;
  p.Mt = 50, p.Iud = 2000, p.IudP0 = 2500, p.Schub = 5000;  // 2 kg/s
  const auto d = zarn::test_support::FlyWithFiles(p, scratch.path());
  const UnitFlags& u = d->Units;
  ASSERT_EQ(u.HeightInKm + u.TimeUnit + u.RangeInKm + u.ThrustInKn + u.MassInTonnes, 0);

  // The row of the one step, and the state that step left.
  const FlightState& s = d->Final;
  ASSERT_EQ(s.t, 0.5);
  const AtmosphereState air = StandardAtmosphere(p.H0);  // the air at the start of the step
  const double isp = 2000 + (1.013 - air.Pbar) / 1.013 * (2500 - 2000);
  const double mass = 100 - 2 * 0.5;
  const double expected[TrajectoryTable::kColumns] = {
      0.5,                            // 0  t [s]
      s.V,                            // 1  V [m/s]
      s.q / 1000,                     // 2  q [kPa]
      s.H,                            // 3  H [m]
      s.Theta * 57.3,                 // 4  Q [deg]
      0,                              // 5
      0,                              // 6
      s.X,                            // 7  X [m]
      0,                              // 8
      s.nx,                           // 9  nx [g]
      s.ny,                           // 10 ny [g]
      0,                              // 11
      1e-9,                           // 12 Auftrieb + 1e-9 [N]; a motion step clears Auftrieb
      7,                              // 13 Vwind [m/s]
      isp,                            // 14 Isp [N*s/kg]
      2 * isp,                        // 15 Thrust [N]
      mass,                           // 16 Mass [kg]
      2 * isp / mass,                 // 17 Thrust / Mass [N/kg]
      0,                              // 18
      0,                              // 19 Volumen [m^3]: 0 from the pass start
      0,                              // 20 Auftrieb [N]
      s.Drag,                         // 21 Drag [N]
      s.Lift,                         // 22 Lift [N]
      0.3,                            // 23 CxCur
      0.2,                            // 24 CyCur
      250 / air.Vsound,               // 25 Mach, of the speed at the start of the step
      air.T,                          // 26 T [K]
      air.Pbar,                       // 27 Pbar [bar]
      air.Roh,                        // 28 Roh [kg/m^3]
      air.Roh * s.V / air.Mu / 1000,  // 29 Re / 1000, of the speed after the step
  };
  // The quantities are told apart: two columns swapped, or one off by a power of ten, show.
  std::vector<double> nonZero;
  for (double v : expected)
    if (v != 0) nonZero.push_back(std::fabs(v));
  std::sort(nonZero.begin(), nonZero.end());
  ASSERT_EQ(nonZero.size(), 23u);
  for (std::size_t i = 1; i < nonZero.size(); ++i) ASSERT_GT(nonZero[i] / nonZero[i - 1], 1.001);
  EXPECT_NEAR(s.q, air.Roh * 250 * 250 / 2, 1e-9);  // the state's q is that of the step

  for (int c = 0; c < TrajectoryTable::kColumns; ++c)
    EXPECT_DOUBLE_EQ(d->Table.Cell(c, 1), expected[c]) << "column " << c;
}

}  // namespace
}  // namespace zarn
