#include "answers/solve.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <vector>

namespace zarn {
namespace {

constexpr double kPi = 3.141592653589793;

// A range over the launch angle in degrees: 1000 sin(2r) exp(-r), r in radians. Its top lies where
// tan 2r = 2, off every scan point; it reaches 514.2 there.
std::optional<double> Range(double deg) {
  const double r = deg * kPi / 180;
  return 1000 * std::sin(2 * r) * std::exp(-r);
}
const double kTopDeg = std::atan(2.0) / 2 * 180 / kPi;  // 31.717...
const double kTop = *Range(kTopDeg);

TEST(FindExtreme, FindsTheLargestRangeToTheAskedToleranceInFewRuns) {
  for (const double xtol : {0.009, 1e-6}) {
    const auto best = FindExtreme(Range, 0, 90, xtol, /*maximize=*/true);
    ASSERT_TRUE(best);
    EXPECT_NEAR(best->X, kTopDeg, xtol);
    EXPECT_NEAR(best->Value, kTop, 1e-9);
    EXPECT_LE(best->Runs, 40);
  }
  // The smallest is at an end of the interval: the scan's end and its neighbour bracket it.
  const auto low = FindExtreme(Range, 10, 80, 1e-3, /*maximize=*/false);
  ASSERT_TRUE(low);
  EXPECT_NEAR(low->X, 80, 1e-3);
}

TEST(SolveForTarget, FindsTheLowAndTheHighAngleEachWithinTolInFewRuns) {
  // Target 400: sin(2r) exp(-r) = 0.4 has no closed form; check the solutions by their value.
  const TargetAnswer a = SolveForTarget(Range, 0, 90, 400, 1e-3, 9e-3);
  ASSERT_EQ(a.Solutions.size(), 2u);
  EXPECT_LT(a.Solutions[0].X, kTopDeg);
  EXPECT_GT(a.Solutions[1].X, kTopDeg);
  for (const Solution& s : a.Solutions) {
    EXPECT_NEAR(*Range(s.X), 400, 1e-3);
    EXPECT_EQ(s.Value, *Range(s.X));
    EXPECT_LE(s.Runs, 30);
  }
  EXPECT_FALSE(a.Unreached);
}

TEST(SolveForTarget, ATargetBetweenTheScanAndTheTopIsReachedOnBothSidesOfTheTop) {
  // The scan's best point (30 deg) gives 513.0; the top 514.2.
  ASSERT_LT(*Range(30), 514.0);
  const TargetAnswer a = SolveForTarget(Range, 0, 90, 514.0, 1e-6, 9e-3);
  ASSERT_EQ(a.Solutions.size(), 2u);
  EXPECT_LT(a.Solutions[0].X, kTopDeg);
  EXPECT_GT(a.Solutions[1].X, kTopDeg);
  for (const Solution& s : a.Solutions) EXPECT_NEAR(*Range(s.X), 514.0, 1e-6);
}

// A target beyond the extreme by less than the tolerance is met there: 10 - (x - 3)^2 has its top
// 10 at x = 3, and a target of 10.0004 with a tolerance of 1e-3 is met at the top, as a target of
// 9.9996 is met at the bottom of 10 + (x - 3)^2.
TEST(SolveForTarget, ATargetWithinTheToleranceBeyondTheExtremeIsMetAtTheExtreme) {
  const Objective top = [](double x) { return std::optional<double>(10 - (x - 3) * (x - 3)); };
  const TargetAnswer a = SolveForTarget(top, 0, 7, 10.0004, 1e-3, 1e-6);
  ASSERT_EQ(a.Solutions.size(), 1u);
  EXPECT_FALSE(a.Unreached);
  EXPECT_NEAR(a.Solutions[0].X, 3, 1e-5);
  EXPECT_NEAR(a.Solutions[0].Value, 10.0004, 1e-3);
  const Objective bottom = [](double x) { return std::optional<double>(10 + (x - 3) * (x - 3)); };
  const TargetAnswer b = SolveForTarget(bottom, 0, 7, 9.9996, 1e-3, 1e-6);
  ASSERT_EQ(b.Solutions.size(), 1u);
  EXPECT_NEAR(b.Solutions[0].X, 3, 1e-5);
  // Beyond the tolerance it is out of reach.
  EXPECT_TRUE(SolveForTarget(top, 0, 7, 10.002, 1e-3, 1e-6).Unreached);
}

TEST(SolveForTarget, AnUnreachableTargetGivesWhatTheFigureReachesAndWhere) {
  const TargetAnswer above = SolveForTarget(Range, 0, 90, 2000, 1e-3, 9e-3);
  EXPECT_TRUE(above.Solutions.empty());
  ASSERT_TRUE(above.Unreached);
  EXPECT_TRUE(above.Unreached->Above);
  EXPECT_NEAR(above.Unreached->Extreme, kTop, 1e-6);
  EXPECT_NEAR(above.Unreached->At, kTopDeg, 9e-3);
  // Below: the smallest value over 10..80 is at 80 degrees.
  const TargetAnswer below = SolveForTarget(Range, 10, 80, -5, 1e-3, 7e-3);
  ASSERT_TRUE(below.Unreached);
  EXPECT_FALSE(below.Unreached->Above);
  EXPECT_NEAR(below.Unreached->At, 80, 7e-3);
  // No figure at all (every run refused).
  const TargetAnswer none =
      SolveForTarget([](double) { return std::optional<double>(); }, 0, 1, 1, 1e-3, 1e-4);
  EXPECT_TRUE(none.NoFigure);
  EXPECT_FALSE(none.Unreached);
}

TEST(SolveForTarget, AJumpAcrossTheTargetIsReportedAndARunWithoutTheFigureBreaksNoBracket) {
  // A step from 0 to 10 at x = 0.3: target 5 is passed there, never reached.
  const TargetAnswer jump = SolveForTarget(
      [](double x) { return std::optional<double>(x < 0.3 ? 0.0 : 10.0); }, 0, 1, 5, 1e-3, 1e-4);
  EXPECT_TRUE(jump.Solutions.empty());
  ASSERT_EQ(jump.JumpsAt.size(), 1u);
  EXPECT_NEAR(jump.JumpsAt[0], 0.3, 1e-12);
  // No figure beyond 50 degrees (the high angle lies at 50.5): the low angle is still found.
  const TargetAnswer half = SolveForTarget(
      [](double x) { return x > 50 ? std::optional<double>() : Range(x); }, 0, 90, 400, 1e-3, 9e-3);
  ASSERT_EQ(half.Solutions.size(), 1u);
  EXPECT_LT(half.Solutions[0].X, kTopDeg);
}

TEST(SolveForTarget, ARunWithoutTheFigureInsideABracketIsReportedWhereItWasNotAsAJump) {
  // f(x) = x but no figure in (0.42, 0.49): the bracket 5/12..1/2 around 0.45 cannot be followed.
  const TargetAnswer a = SolveForTarget(
      [](double x) { return x > 0.42 && x < 0.49 ? std::optional<double>() : std::optional<double>(x); }, 0,
      1, 0.45, 1e-6, 1e-6);
  EXPECT_TRUE(a.Solutions.empty());
  EXPECT_TRUE(a.JumpsAt.empty());
  ASSERT_EQ(a.NoFigureAt.size(), 1u);
  EXPECT_GT(a.NoFigureAt[0], 0.42);
  EXPECT_LT(a.NoFigureAt[0], 0.49);
}

TEST(FindExtreme, RangesAndTolerancesAtTheEndsOfTheDoublesStayFinite) {
  // The width 2e308 overflows; the scan's middle point is 0 exactly, where -|x| is largest.
  std::vector<double> flown;
  const auto peak = FindExtreme(
      [&](double x) {
        flown.push_back(x);
        return std::optional<double>(-std::fabs(x) * 1e-300);
      },
      -1e308, 1e308, 1e303, true);
  ASSERT_TRUE(peak);
  EXPECT_EQ(peak->X, 0.0);
  for (const double x : flown) EXPECT_TRUE(std::isfinite(x)) << x;
  // A tolerance far above the width: the scan's best, refined no further than it can be.
  const auto loose = FindExtreme(Range, 0, 90, 1e308, true);
  ASSERT_TRUE(loose);
  EXPECT_NEAR(loose->X, kTopDeg, 90.0 / 12);
  const auto tight = FindExtreme(Range, 0, 1e-300, 1e-320, true);
  ASSERT_TRUE(tight);
}

}  // namespace
}  // namespace zarn
