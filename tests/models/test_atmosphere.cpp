#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "models/atmosphere.h"

namespace zarn {
namespace {

void ExpectAir(double H, double T, double Pbar, double Vsound, double Roh, double tol = 1e-9) {
  const AtmosphereState a = StandardAtmosphere(H);
  EXPECT_NEAR(a.T, T, tol * T) << "H=" << H;
  EXPECT_NEAR(a.Pbar, Pbar, tol * Pbar) << "H=" << H;
  EXPECT_NEAR(a.Vsound, Vsound, tol * Vsound) << "H=" << H;
  EXPECT_NEAR(a.Roh, Roh, tol * std::fabs(Roh)) << "H=" << H;
}

TEST(StandardAtmosphere, SeaLevelRowIsReturnedExactly) {
  const AtmosphereState a = StandardAtmosphere(0.0);
  EXPECT_EQ(a.T, 288.15);
  EXPECT_EQ(a.Pbar, 1.013);
  EXPECT_EQ(a.Vsound, 340.3);
  EXPECT_EQ(a.Roh, 1.225);
  EXPECT_EQ(a.Mu, 0.00017894);
}

TEST(StandardAtmosphere, BelowSeaLevelInterpolatesButHoldsTheDensity) {
  ExpectAir(-500, 291.4, 1.076, 342.205, 1.225);
  EXPECT_NEAR(StandardAtmosphere(-500).Mu, 0.00018047, 1e-15);
  EXPECT_EQ(StandardAtmosphere(-500).Roh, 1.225);  // not the table's 1.286
  ExpectAir(-3000, 307.625, 1.2345, 351.555, 1.225);
}

TEST(StandardAtmosphere, InterpolatesLinearlyInsideABand) {
  ExpectAir(250, 286.525, 0.9835, 339.335, 1.19615);
  ExpectAir(1, 288.1435, 1.013 - 0.059 / 500, 340.3 - 1.93 / 500, 1.2248846);
}

TEST(StandardAtmosphere, HeightOnARowYieldsThatRowFromTheBandBelow) {
  const AtmosphereState a = StandardAtmosphere(1000.0);
  EXPECT_DOUBLE_EQ(a.T, 281.65);
  EXPECT_DOUBLE_EQ(a.Pbar, 0.8987);
  EXPECT_DOUBLE_EQ(a.Roh, 1.1116);
  EXPECT_DOUBLE_EQ(StandardAtmosphere(200000.0).T, 854.56);
}

TEST(StandardAtmosphere, TropopauseHasConstantTemperatureSoundAndViscosity) {
  for (double H : {11500.0, 13000.0}) {
    const AtmosphereState a = StandardAtmosphere(H);
    EXPECT_DOUBLE_EQ(a.T, 216.65);
    EXPECT_DOUBLE_EQ(a.Vsound, 295.07);
    EXPECT_DOUBLE_EQ(a.Mu, 0.00014216);
  }
  EXPECT_NEAR(StandardAtmosphere(11500).Pbar, 0.2098, 1e-12);
  EXPECT_NEAR(StandardAtmosphere(13000).Pbar, 0.16715, 1e-12);
}

TEST(StandardAtmosphere, UpperBandsAndTheUnclampedExtensionAbove1000km) {
  EXPECT_NEAR(StandardAtmosphere(175000).T, 741.05, 1e-9);
  EXPECT_NEAR(StandardAtmosphere(600000).T, 927.56, 1e-9);
  EXPECT_NEAR(StandardAtmosphere(1000000).Roh, 3.56e-14, 1e-22);
  const AtmosphereState far = StandardAtmosphere(2000000);
  EXPECT_NEAR(far.T, 1183.06, 1e-9);
  EXPECT_NEAR(far.Roh, -3.175e-10, 1e-13);
  EXPECT_LT(StandardAtmosphere(1000200).Roh, 0.0);  // density falls through zero near 1000112 m
  EXPECT_GT(StandardAtmosphere(1000100).Roh, 0.0);
}

TEST(StandardAtmosphere, HeightsAtOrBelowTheLowestRowAndNonFiniteOnesGetTheLowestRow) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (double H : {-5000.0, -6000.0, -1e9, nan, inf, -inf}) {
    const AtmosphereState a = StandardAtmosphere(H);
    EXPECT_EQ(a.T, 320.6) << H;
    EXPECT_EQ(a.Pbar, 1.33) << H;
    EXPECT_EQ(a.Vsound, 359.0) << H;
    EXPECT_EQ(a.Roh, 1.225) << H;
    EXPECT_EQ(a.Mu, 0.000194) << H;
  }
  // Just above the lowest row the band interpolation takes over again.
  EXPECT_NEAR(StandardAtmosphere(-4999.0).T, 320.6 - (320.6 - 294.65) / 4000, 1e-9);
}

TEST(StandardAtmosphere, IsContinuousAcrossEveryRow) {
  const double rows[] = {-1000, 0, 500, 5000, 12000, 20000, 30000, 90000, 120000, 200000, 1000000};
  for (double H : rows) {
    const AtmosphereState below = StandardAtmosphere(H - 1e-6);
    const AtmosphereState above = StandardAtmosphere(H + 1e-6);
    EXPECT_NEAR(below.T, above.T, 1e-6) << H;
    EXPECT_NEAR(below.Vsound, above.Vsound, 1e-6) << H;
    if (H != 0) {
      EXPECT_NEAR(below.Roh, above.Roh, 1e-6) << H;
    }
  }
}

// Along a flight the previous step's band is tried first. Whatever band it kept, the air must be
// the same to the last bit as a fresh search gives: on every row (which belongs to the band below
// it), just off it on either side, below the table, beyond its end, and for heights that are not
// numbers, with the kept band from anywhere in the table.
TEST(StandardAtmosphere, TheKeptBandGivesWhatAFreshSearchGives) {
  const double rows[] = {-5000, -1000, 0,     500,   1000,  1500,  2000,  2500,  3000,  3500,
                         4000,  4500,  5000,  6000,  7000,  8000,  9000,  10000, 11000, 12000,
                         14000, 16000, 18000, 20000, 22000, 25000, 30000, 40000, 50000, 60000,
                         70000, 80000, 90000, 1e5,   1.2e5, 1.5e5, 2e5,   1e6};
  std::vector<double> heights = {-6000, 2e6, std::numeric_limits<double>::quiet_NaN(),
                                 std::numeric_limits<double>::infinity()};
  for (double row : rows)
    heights.insert(heights.end(), {row, std::nextafter(row, -1e9), std::nextafter(row, 1e9)});
  for (double H : heights) {
    const AtmosphereState fresh = StandardAtmosphere(H);
    for (std::size_t kept = 0; kept <= std::size(rows); ++kept) {
      std::size_t band = kept;
      const AtmosphereState air = StandardAtmosphere(H, band);
      EXPECT_TRUE(std::memcmp(&air, &fresh, sizeof air) == 0) << "H=" << H << " kept band " << kept;
      std::size_t again = band;  // the band it left is the band of H
      const AtmosphereState second = StandardAtmosphere(H, again);
      EXPECT_TRUE(std::memcmp(&second, &fresh, sizeof air) == 0) << "H=" << H << " band " << band;
    }
  }
}

}  // namespace
}  // namespace zarn
