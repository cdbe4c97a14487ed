#include "answers/stats.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "answers/draws.h"
#include "records/errors.h"

namespace zarn {
namespace {

// n cases of the inputs a ~ uniform(0,1), b ~ uniform(0,1) and the figures y(a, b) of `figure`.
template <typename F>
SampleTable Cases(int n, F figure) {
  SampleTable t{{"a", "b"}, {"y"}, {}, 0, 0, {}};
  const std::vector<Law> laws = {ParseLaw("uniform(0,1)"), ParseLaw("uniform(0,1)")};
  for (int c = 1; c <= n; ++c) {
    const std::vector<double> v = DrawCase(7, c, laws);
    t.Rows.push_back({c, v, {figure(v[0], v[1])}, false});
  }
  return t;
}

TEST(Statistics, OneInputActingLinearlyHasTheWholeShareAndRSquaredOne) {
  const SampleTable t = Cases(2000, [](double a, double) { return 3 + 2 * a; });
  const std::vector<FigureStats> s = Statistics(t);
  ASSERT_EQ(s.size(), 1u);
  ASSERT_TRUE(s[0].R2 && s[0].Shares[0] && s[0].Shares[1]);
  EXPECT_NEAR(*s[0].R2, 1.0, 1e-12);
  EXPECT_NEAR(*s[0].Shares[0], 1.0, 1e-3);  // b's chance correlation with a takes the rest
  EXPECT_NEAR(*s[0].Shares[1], 0.0, 1e-3);
  // 3 + 2 u for u uniform: mean 4, SD 2 / sqrt(12), percentiles 3 + 2 p; within sampling error.
  EXPECT_NEAR(s[0].Mean, 4.0, 4 * 0.577 / std::sqrt(2000.0));
  EXPECT_NEAR(s[0].Sd, 2 / std::sqrt(12.0), 0.02);
  EXPECT_NEAR(s[0].P2_5, 3.05, 0.02);
  EXPECT_NEAR(s[0].P50, 4.0, 0.05);
  EXPECT_NEAR(s[0].P97_5, 4.95, 0.02);
  EXPECT_GE(s[0].Min, 3.0);
  EXPECT_LE(s[0].Max, 5.0);
}

double SampleSd(const SampleTable& t, int column) {
  double sum = 0, sum2 = 0;
  const double n = static_cast<double>(t.Rows.size());
  for (const SampleRow& r : t.Rows) {
    const double v = column < 0 ? *r.Figures[0] : r.Inputs[static_cast<std::size_t>(column)];
    sum += v;
    sum2 += v * v;
  }
  return std::sqrt((sum2 - sum * sum / n) / (n - 1));
}

// An input held constant takes no part in the fit, wherever it stands: listed before the varied
// one, the varied one still gets the whole share of y = 3 + 2 a.
TEST(Statistics, AConstantInputListedFirstLeavesTheShareWithTheVariedOne) {
  SampleTable t{{"c", "a"}, {"y"}, {}, 0, 0, {}};
  const std::vector<Law> laws = {ParseLaw("uniform(0,1)")};
  for (int c = 1; c <= 200; ++c) {
    const double a = DrawCase(7, c, laws)[0];
    t.Rows.push_back({c, {5.0, a}, {3 + 2 * a}, false});
  }
  const std::vector<FigureStats> s = Statistics(t);
  ASSERT_EQ(s.size(), 1u);
  EXPECT_FALSE(s[0].Shares[0]);
  ASSERT_TRUE(s[0].Shares[1]);
  EXPECT_NEAR(*s[0].Shares[1], 1.0, 1e-12);
}

TEST(Statistics, SharesAreTheSquaredStandardisedCoefficients) {
  // y = 2a + b exactly: the fit's coefficients are 2 sd(a) / sd(y) and sd(b) / sd(y) of the sample;
  // near 0.8 and 0.2 (variances 4/12 and 1/12), off by the draws' chance correlation.
  const SampleTable t = Cases(4000, [](double a, double b) { return 2 * a + b; });
  const std::vector<FigureStats> linear = Statistics(t);
  const double sy = SampleSd(t, -1);
  EXPECT_NEAR(*linear[0].R2, 1.0, 1e-12);
  EXPECT_NEAR(*linear[0].Shares[0], std::pow(2 * SampleSd(t, 0) / sy, 2), 1e-12);
  EXPECT_NEAR(*linear[0].Shares[1], std::pow(SampleSd(t, 1) / sy, 2), 1e-12);
  EXPECT_NEAR(*linear[0].Shares[0], 0.8, 0.05);
  // A product term lowers R^2.
  // y = a b: the fit explains var(E[y|a]) + var(E[y|b]) = 2/48 of var(y) = 7/144, R^2 = 6/7.
  const std::vector<FigureStats> product = Statistics(Cases(4000, [](double a, double b) { return a * b; }));
  EXPECT_NEAR(*product[0].R2, 6.0 / 7.0, 0.02);
  EXPECT_NEAR(*product[0].Shares[0], 3.0 / 7.0, 0.05);
}

TEST(Statistics, PercentilesInterpolateAndFailedOrAbsentCasesCountApart) {
  SampleTable t{{"a"}, {"y", "z"}, {}, 0, 0, {}};
  for (int c = 1; c <= 5; ++c) t.Rows.push_back({c, {double(c)}, {double(6 - c), 1.0}, false});
  t.Rows.push_back({6, {6.0}, {std::nullopt, std::nullopt}, true});
  t.Rows.push_back({7, {7.0}, {std::nullopt, 1.0}, false});
  const std::vector<FigureStats> s = Statistics(t);
  ASSERT_EQ(s.size(), 2u);
  EXPECT_EQ(s[0].Cases, 5);
  EXPECT_EQ(s[0].Failed, 1);
  EXPECT_EQ(s[0].Absent, 1);
  EXPECT_DOUBLE_EQ(s[0].Mean, 3.0);
  EXPECT_DOUBLE_EQ(s[0].Sd, std::sqrt(2.5));
  EXPECT_DOUBLE_EQ(s[0].P2_5, 1.1);
  EXPECT_DOUBLE_EQ(s[0].P50, 3.0);
  EXPECT_DOUBLE_EQ(s[0].P97_5, 4.9);
  EXPECT_NEAR(*s[0].R2, 1.0, 1e-12);
  // A figure that never varies has no shares.
  EXPECT_EQ(s[1].Cases, 6);
  EXPECT_EQ(s[1].Sd, 0.0);
  EXPECT_FALSE(s[1].R2);
  EXPECT_FALSE(s[1].Shares[0]);
  EXPECT_EQ(StatisticsCsv(t, s),
            "figure,cases,failed,absent,mean,sd,min,p2.5,p50,p97.5,max,r2,share_a\n"
            "y,5,1,1,3,1.5811388300841898,1,1.1,3,4.9,5,1,1\n"
            "z,6,1,0,1,0,1,1,1,1,1,,\n");
  const std::string text = StatisticsText(t, s);
  EXPECT_NE(text.find("7 cases, 1 failed (counted apart)"), std::string::npos) << text;
  EXPECT_NE(text.find("linear\nleast-squares fit"), std::string::npos) << text;
}

TEST(ReadSummaries, ShardsJoinedInAnyOrderGiveTheWholeRunsStatistics) {
  const std::vector<std::string_view> keys = {"X_m", "t_s"};
  const std::vector<std::string> whole = {
      "case,TTO,X_m,t_s,error\n1,44,900.5,14.1,\n2,45,901.25,14.2,\n3,46,899,14.3,\n4,47,,,\"refused, "
      "\"\"x\"\"\"\n"};
  const std::vector<std::string> shards = {
      "2,45,901.25,14.2,\n4,47,,,\"refused, \"\"x\"\"\"\n",
      "case,TTO,X_m,t_s,error\r\n1,44,900.5,14.1,\r\n3,46,899,14.3,\r\n"};
  const SampleTable a = ReadSummaries(whole, std::vector<std::string>{"all.csv"}, keys);
  const SampleTable b = ReadSummaries(shards, std::vector<std::string>{"s1.csv", "s0.csv"}, keys);
  EXPECT_EQ(a.Inputs, std::vector<std::string>{"TTO"});
  EXPECT_EQ(b.Figures, (std::vector<std::string>{"X_m", "t_s"}));
  ASSERT_EQ(b.Rows.size(), 4u);
  EXPECT_EQ(b.Rows[1].Case, 2);
  EXPECT_TRUE(b.Rows[3].Failed);
  EXPECT_EQ(StatisticsCsv(a, Statistics(a)), StatisticsCsv(b, Statistics(b)));

  const struct {
    std::vector<std::string> Texts;
    const char* Says;
  } kBad[] = {
      {{"1,44,900,14,\n"}, "no summary header"},
      {{"case,TTO,X_m,t_s,error\n1,44,900,14,\n", "1,45,901,14,\n"}, "f1.csv:1: case 1 is given twice"},
      {{"case,TTO,X_m,t_s,error\n1,44,9x0,14,\n"}, "f0.csv:2: '9x0' is not a number"},
      {{"case,TTO,X_m,t_s,error\n1,44,900,\n"}, "f0.csv:2: 4 fields where the header has 5"},
      {{"case,TTO,X_m,t_s,error\n0.5,44,900,14,\n"}, "'0.5' is not a case number"},
      {{"case,TTO,X_m,t_s,error\n1e19,44,900,14,\n"}, "f0.csv:2: '1e19' is not a case number"},
      {{"case,TTO,X_m,t_s,error\n1e300,44,900,14,\n"}, "f0.csv:2: '1e300' is not a case number"},
      {{"case,TTO,X_m,t_s,error\n1,,900,14,\n"}, "f0.csv:2: '' is not a number"},
      {{"case,TTO,X_m,V0,t_s,error\n"}, "column 'V0' is neither a figure nor a varied input"},
  };
  for (const auto& bad : kBad) {
    try {
      ReadSummaries(bad.Texts, std::vector<std::string>{"f0.csv", "f1.csv"}, keys);
      ADD_FAILURE() << bad.Says;
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find(bad.Says), std::string::npos) << e.what();
    }
  }
}

TEST(SigmaEllipse, EveryPointLiesAtItsMahalanobisDistance) {
  const double vx = 4, vy = 1, cxy = 1.2;
  const double det = vx * vy - cxy * cxy;
  for (const double k : {1.0, 2.0, 3.0}) {
    const std::vector<PlanePoint> e = SigmaEllipse(10, -5, vx, vy, cxy, k, 40);
    ASSERT_EQ(e.size(), 41u);
    EXPECT_EQ(e.front().X, e.back().X);
    for (const PlanePoint& p : e) {
      const double dx = p.X - 10, dy = p.Y + 5;
      EXPECT_NEAR((vy * dx * dx - 2 * cxy * dx * dy + vx * dy * dy) / det, k * k, 1e-12);
    }
  }
}

TEST(Histogram, BinsCoverEveryValueOnce) {
  std::vector<double> v;
  for (int i = 0; i < 1000; ++i) v.push_back(std::sin(i) * 10);
  const Histogram h = HistogramOf(v);
  int64_t total = 0;
  for (const int64_t c : h.Counts) total += c;
  EXPECT_EQ(total, 1000);
  EXPECT_GE(h.Counts.size(), 5u);
  EXPECT_LE(h.Counts.size(), 100u);
  EXPECT_NEAR(h.Low + h.Width * static_cast<double>(h.Counts.size()), *std::max_element(v.begin(), v.end()),
              1e-9);
}

}  // namespace
}  // namespace zarn
