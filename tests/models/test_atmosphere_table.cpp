// Every value of the standard atmosphere table, read back through StandardAtmosphere: on each row
// (a height on a row yields that row) and halfway through each band (which also reaches the
// lowest row, the lower edge of the first band).
#include <gtest/gtest.h>

#include <cmath>

#include "models/atmosphere.h"

namespace zarn {
namespace {

struct Row {
  double H, T, Pbar, Roh, Vsound, Mu;  // [m], [K], [bar], [kg/m^3], [m/s], [poise]
};

// clang-format off
constexpr Row kTable[] = {
    {-5000, 320.6, 1.33, 1.93, 359, 0.000194},
    {-1000, 294.65, 1.139, 1.347, 344.11, 0.000182},
    {0, 288.15, 1.013, 1.225, 340.3, 0.00017894},
    {500, 284.9, 0.954, 1.1673, 338.37, 0.00017737},
    {1000, 281.65, 0.8987, 1.1116, 336.43, 0.00017578},
    {1500, 278.4, 0.8455, 1.0581, 334.49, 0.00017419},
    {2000, 275.15, 0.7949, 1.0065, 332.53, 0.0001726},
    {2500, 271.9, 0.7468, 0.9568, 330.56, 0.00017099},
    {3000, 268.65, 0.701, 0.90912, 328.58, 0.00016937},
    {3500, 265.4, 0.657, 0.8632, 326.58, 0.00016775},
    {4000, 262.15, 0.6164, 0.8191, 324.58, 0.00016611},
    {4500, 258.9, 0.57728, 0.7767, 322.56, 0.00016447},
    {5000, 255.65, 0.54019, 0.7361, 320.53, 0.00016281},
    {6000, 249.15, 0.4718, 0.6597, 316.43, 0.00015947},
    {7000, 242.65, 0.4106, 0.5895, 312.27, 0.0001561},
    {8000, 236.15, 0.3559, 0.5251, 308.06, 0.00015268},
    {9000, 229.65, 0.3074, 0.4663, 303.79, 0.00014922},
    {10000, 223.15, 0.2643, 0.4127, 299.46, 0.00014571},
    {11000, 216.65, 0.2263, 0.3639, 295.07, 0.00014216},
    {12000, 216.65, 0.1933, 0.3108, 295.07, 0.00014216},
    {14000, 216.65, 0.141, 0.2267, 295.07, 0.00014216},
    {16000, 216.65, 0.1028, 0.1654, 295.07, 0.00014216},
    {18000, 216.65, 0.07504, 0.12068, 295.07, 0.00014216},
    {20000, 216.65, 0.05474, 0.088, 295.07, 0.00014216},
    {22000, 218.65, 0.03999, 0.06372, 296.43, 0.00014326},
    {25000, 221.65, 0.02511, 0.03946, 298.45, 0.0001449},
    {30000, 226.65, 0.01171, 0.018012, 301.8, 0.0001476},
    {40000, 251.05, 0.002775, 0.003851, 317.63, 0.00016045},
    {50000, 270.65, 0.0007594, 0.0009775, 329.8, 0.00017037},
    {60000, 245.45, 0.0002031, 0.0002883, 314.07, 0.00015756},
    {70000, 217.45, 0.00004634, 0.00007424, 295.61, 0.0001426},
    {80000, 196.65, 8.862e-6, 1.57e-5, 281.12, 0.00013095},
    {90000, 186.87, 1.835e-6, 3.416e-6, 274.71, 0.00012647},
    {100000, 195.08, 3.2011e-7, 5.604e-7, 274.71, 0.00012647},
    {120000, 360, 2.538e-8, 2.222e-8, 274.71, 0.00012647},
    {150000, 627.54, 4.742e-9, 2.196e-9, 274.71, 0.00012647},
    {200000, 854.56, 8.473e-10, 2.541e-10, 274.71, 0.00012647},
    {1000000, 1000.56, 7.51e-10, 3.56e-14, 274.71, 0.00012647},
};
// clang-format on

void ExpectAir(double H, const Row& want) {
  const AtmosphereState got = StandardAtmosphere(H);
  const double roh = H <= 0 ? 1.225 : want.Roh;  // the density is held at sea level's below it
  const double tol = 1e-12;
  EXPECT_NEAR(got.T, want.T, tol * want.T) << "T at " << H;
  EXPECT_NEAR(got.Pbar, want.Pbar, tol * want.Pbar) << "Pbar at " << H;
  EXPECT_NEAR(got.Roh, roh, tol * roh) << "Roh at " << H;
  EXPECT_NEAR(got.Vsound, want.Vsound, tol * want.Vsound) << "Vsound at " << H;
  EXPECT_NEAR(got.Mu, want.Mu, tol * want.Mu) << "Mu at " << H;
}

TEST(AtmosphereTable, EveryRowAndEveryBandMidpointGiveTheTablesValues) {
  for (std::size_t i = 1; i < std::size(kTable); ++i) {
    const Row& lo = kTable[i - 1];
    const Row& hi = kTable[i];
    ExpectAir(hi.H, hi);
    const Row mid{(lo.H + hi.H) / 2,     (lo.T + hi.T) / 2,           (lo.Pbar + hi.Pbar) / 2,
                  (lo.Roh + hi.Roh) / 2, (lo.Vsound + hi.Vsound) / 2, (lo.Mu + hi.Mu) / 2};
    ExpectAir(mid.H, mid);
  }
}

}  // namespace
}  // namespace zarn
