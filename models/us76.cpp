#include "models/us76.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>

#include "models/atmosphere.h"

namespace zarn {
namespace {

// The defining constants of the standard.
constexpr double kEarthRadius = 6356766.0;  //!< [m] r0, for geopotential height
constexpr double kG0 = 9.80665;             //!< [m/s^2]
constexpr double kMolarMass = 28.9644;      //!< [kg/kmol] M0
constexpr double kGasConstant = 8314.32;    //!< [J/(kmol K)] R*
constexpr double kGamma = 1.4;
constexpr double kSutherlandBeta = 1.458e-6;    //!< [kg/(s m K^1/2)]
constexpr double kSutherlandS = 110.4;          //!< [K]
constexpr double kSeaLevelPressure = 101325.0;  //!< [Pa]

// A layer: its base in geopotential metres, the molecular-scale temperature there [K] and its
// gradient [K/m].
struct Layer {
  double Hb;
  double Tb;
  double Lb;
};
constexpr std::array<Layer, 7> kLayers{{
    {0.0, 288.15, -0.0065},
    {11000.0, 216.65, 0.0},
    {20000.0, 216.65, 0.001},
    {32000.0, 228.65, 0.0028},
    {47000.0, 270.65, 0.0},
    {51000.0, 270.65, -0.0028},
    {71000.0, 214.65, -0.002},
}};

// The molar mass falls a little between 80 and 86 km as oxygen dissociates; the kinetic temperature
// is the molecular-scale one times M / M0 there (the standard's table, every 500 m).
constexpr double kMolarRatioFrom = 80000.0;  //!< [m] geometric
constexpr double kMolarRatioStep = 500.0;    //!< [m]
constexpr std::array<double, 13> kMolarRatio{1.0,      0.999996, 0.999989, 0.999971, 0.999941,
                                             0.999909, 0.999870, 0.999829, 0.999786, 0.999741,
                                             0.999694, 0.999641, 0.999579};

double MolarRatio(double H) {
  if (H <= kMolarRatioFrom) return 1.0;
  const double x = (H - kMolarRatioFrom) / kMolarRatioStep;
  const auto i = std::min(static_cast<std::size_t>(x), kMolarRatio.size() - 2);
  const double f = x - static_cast<double>(i);
  return kMolarRatio[i] + f * (kMolarRatio[i + 1] - kMolarRatio[i]);
}

constexpr double kHydrostatic = kG0 * kMolarMass / kGasConstant;  //!< [K/m]

// Pressure at geopotential height h inside a layer whose base pressure is pb.
double LayerPressure(const Layer& l, double pb, double h) {
  if (l.Lb == 0.0) return pb * std::exp(-kHydrostatic * (h - l.Hb) / l.Tb);
  return pb * std::pow(l.Tb / (l.Tb + l.Lb * (h - l.Hb)), kHydrostatic / l.Lb);
}

// The pressure at each layer's base, carried up from sea level once.
const std::array<double, kLayers.size()>& BasePressure() {
  static const std::array<double, kLayers.size()> p = [] {
    std::array<double, kLayers.size()> b{};
    b[0] = kSeaLevelPressure;
    for (std::size_t i = 1; i < kLayers.size(); ++i)
      b[i] = LayerPressure(kLayers[i - 1], b[i - 1], kLayers[i].Hb);
    return b;
  }();
  return p;
}

}  // namespace

AtmosphereState Us76Atmosphere(double H) noexcept {
  if (!std::isfinite(H) || H > kUs76TopHeight) return StandardAtmosphere(H);
  const double h = kEarthRadius * H / (kEarthRadius + H);  // geopotential height [m]
  std::size_t i = kLayers.size() - 1;
  while (i > 0 && h < kLayers[i].Hb) --i;
  const Layer& l = kLayers[i];
  const double TM = l.Tb + l.Lb * (h - l.Hb);  // molecular-scale temperature [K]
  const double p = LayerPressure(l, BasePressure()[i], h);
  const double T = TM * MolarRatio(H);
  AtmosphereState air{};
  air.T = T;
  air.Pbar = p / 1e5;
  // Density and the speed of sound take M / T, which TM / M0 gives exactly.
  air.Roh = p * kMolarMass / (kGasConstant * TM);
  air.Vsound = std::sqrt(kGamma * kGasConstant * TM / kMolarMass);
  air.Mu = 10.0 * kSutherlandBeta * T * std::sqrt(T) / (T + kSutherlandS);  // Pa s to poise
  return air;
}

}  // namespace zarn
