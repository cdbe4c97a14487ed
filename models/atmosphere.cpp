#include "models/atmosphere.h"

#include <array>
#include <cmath>

namespace zarn {
namespace {

struct AtmosphereRow {
  double H;  // [m]
  AtmosphereState air;
};

// Columns: height [m]; T [K], Pbar [bar], Vsound [m/s], Roh [kg/m^3], Mu [poise].
constexpr std::array<AtmosphereRow, 38> kAtmosphereTable{{
    {-5000, {320.6, 1.33, 359, 1.93, 0.000194}},
    {-1000, {294.65, 1.139, 344.11, 1.347, 0.000182}},
    {0, {288.15, kSeaLevelPbar, 340.3, 1.225, 0.00017894}},
    {500, {284.9, 0.954, 338.37, 1.1673, 0.00017737}},
    {1000, {281.65, 0.8987, 336.43, 1.1116, 0.00017578}},
    {1500, {278.4, 0.8455, 334.49, 1.0581, 0.00017419}},
    {2000, {275.15, 0.7949, 332.53, 1.0065, 0.0001726}},
    {2500, {271.9, 0.7468, 330.56, 0.9568, 0.00017099}},
    {3000, {268.65, 0.701, 328.58, 0.90912, 0.00016937}},
    {3500, {265.4, 0.657, 326.58, 0.8632, 0.00016775}},
    {4000, {262.15, 0.6164, 324.58, 0.8191, 0.00016611}},
    {4500, {258.9, 0.57728, 322.56, 0.7767, 0.00016447}},
    {5000, {255.65, 0.54019, 320.53, 0.7361, 0.00016281}},
    {6000, {249.15, 0.4718, 316.43, 0.6597, 0.00015947}},
    {7000, {242.65, 0.4106, 312.27, 0.5895, 0.0001561}},
    {8000, {236.15, 0.3559, 308.06, 0.5251, 0.00015268}},
    {9000, {229.65, 0.3074, 303.79, 0.4663, 0.00014922}},
    {10000, {223.15, 0.2643, 299.46, 0.4127, 0.00014571}},
    {11000, {216.65, 0.2263, 295.07, 0.3639, 0.00014216}},
    {12000, {216.65, 0.1933, 295.07, 0.3108, 0.00014216}},
    {14000, {216.65, 0.141, 295.07, 0.2267, 0.00014216}},
    {16000, {216.65, 0.1028, 295.07, 0.1654, 0.00014216}},
    {18000, {216.65, 0.07504, 295.07, 0.12068, 0.00014216}},
    {20000, {216.65, 0.05474, 295.07, 0.088, 0.00014216}},
    {22000, {218.65, 0.03999, 296.43, 0.06372, 0.00014326}},
    {25000, {221.65, 0.02511, 298.45, 0.03946, 0.0001449}},
    {30000, {226.65, 0.01171, 301.8, 0.018012, 0.0001476}},
    {40000, {251.05, 0.002775, 317.63, 0.003851, 0.00016045}},
    {50000, {270.65, 0.0007594, 329.8, 0.0009775, 0.00017037}},
    {60000, {245.45, 0.0002031, 314.07, 0.0002883, 0.00015756}},
    {70000, {217.45, 0.00004634, 295.61, 0.00007424, 0.0001426}},
    {80000, {196.65, 8.862e-6, 281.12, 1.57e-5, 0.00013095}},
    {90000, {186.87, 1.835e-6, 274.71, 3.416e-6, 0.00012647}},
    {100000, {195.08, 3.2011e-7, 274.71, 5.604e-7, 0.00012647}},
    {120000, {360, 2.538e-8, 274.71, 2.222e-8, 0.00012647}},
    {150000, {627.54, 4.742e-9, 274.71, 2.196e-9, 0.00012647}},
    {200000, {854.56, 8.473e-10, 274.71, 2.541e-10, 0.00012647}},
    {1000000, {1000.56, 7.51e-10, 274.71, 3.56e-14, 0.00012647}},
}};

constexpr double kSeaLevelDensity = 1.225;  // [kg/m^3] held at and below sea level

inline double Lerp(double lo, double hi, double f) {
  return lo + f * (hi - lo);
}

}  // namespace

AtmosphereState StandardAtmosphere(double H, std::size_t& band) noexcept {
  // The table has no band below -5000 m, and a flight can still get there (a start or an end
  // height below it). Such heights, and non-finite ones, get the -5000 m row as it stands, with
  // the sea-level density hold applied: a complete, finite state instead of a made-up extension.
  if (!(H > kAtmosphereTable.front().H) || !std::isfinite(H)) {
    AtmosphereState air = kAtmosphereTable.front().air;
    air.Roh = kSeaLevelDensity;
    return air;
  }
  // Bands are open below and closed above: H on a row uses the band beneath it. The last band
  // (200 km .. 1000 km) has no upper edge and extends linearly beyond 1000 km, unclamped.
  // `band` is the upper row of the band; a flight stays in one band for many steps, so the
  // previous band is tried first, which also keeps the search off the step's chain of dependent
  // operations.
  constexpr std::size_t kLast = kAtmosphereTable.size() - 1;
  std::size_t hi = band;
  if (!(hi >= 1 && hi <= kLast && H > kAtmosphereTable[hi - 1].H &&
        (hi == kLast || H <= kAtmosphereTable[hi].H))) [[unlikely]] {
    // Branch-free binary search for the first row at or above H among rows 1..37.
    hi = 1;
    for (std::size_t step = 32; step > 0; step >>= 1) {
      const std::size_t probe = hi + step;
      if (probe < kAtmosphereTable.size() && H > kAtmosphereTable[probe - 1].H) hi = probe;
    }
    band = hi;
  }
  const AtmosphereRow& a = kAtmosphereTable[hi - 1];
  const AtmosphereRow& b = kAtmosphereTable[hi];
  const double f = (H - a.H) / (b.H - a.H);
  AtmosphereState air{Lerp(a.air.T, b.air.T, f), Lerp(a.air.Pbar, b.air.Pbar, f),
                      Lerp(a.air.Vsound, b.air.Vsound, f), Lerp(a.air.Roh, b.air.Roh, f),
                      Lerp(a.air.Mu, b.air.Mu, f)};
  if (H <= 0.0) air.Roh = kSeaLevelDensity;
  return air;
}

AtmosphereState StandardAtmosphere(double H) noexcept {
  std::size_t band = 0;
  return StandardAtmosphere(H, band);
}

}  // namespace zarn
