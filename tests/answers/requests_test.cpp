#include "answers/requests.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <string_view>

#include "records/errors.h"

namespace zarn {
namespace {

constexpr std::array<std::string_view, 3> kKeys = {"t_s", "impact_X_m", "apex_t_s"};

TEST(Requests, ReadIntervalsTargetsAndLaws) {
  const ParamInterval i = ParseParamInterval("--solve", "TTO=0:90");
  EXPECT_EQ(i.Param->Name, "TTO");
  EXPECT_EQ(i.From, 0.0);
  EXPECT_EQ(i.To, 90.0);
  const FigureTarget t = ParseFigureTarget("--for", "impact_X_m=900.5", kKeys);
  EXPECT_EQ(t.Figure, 1u);
  EXPECT_EQ(t.Value, 900.5);
  const ParamLaw l = ParseParamLaw("--vary", "V0=triangular(90,100,105)");
  EXPECT_EQ(l.Param->Name, "V0");
  EXPECT_EQ(l.Draw.C, 105.0);
  EXPECT_EQ(DefaultTolerance("impact_X_m", 900), 1e-3);
  EXPECT_EQ(DefaultTolerance("t_s", 20), 2e-8);
  EXPECT_EQ(DefaultTolerance("t_s", 0), 1e-9);

  const struct {
    void (*Parse)();
    const char* Says;
  } kBad[] = {
      {[] { ParseParamInterval("--solve", "TTO=0"); }, "--solve needs NAME=FROM:TO, not 'TTO=0'"},
      {[] { ParseParamInterval("--solve", "TT0=0:90"); }, "Unknown parameter 'TT0' (did you mean 'TTO'?)"},
      {[] { ParseParamInterval("--over", "TTO=90:0"); }, "--over TTO=90:0: FROM must be below TO"},
      {[] { ParseParamInterval("--over", "TTO=a:9"); }, "--over TTO=a:9: 'a' is not a number"},
      {[] { ParseFigureTarget("--for", "impact_X=9", kKeys); },
       "--for: unknown figure 'impact_X' (did you mean 'impact_X_m'?); a figure is a key of --json"},
      {[] { ParseFigureTarget("--for", "impact_X_m", kKeys); }, "--for needs FIGURE=VALUE"},
      {[] { ParseParamLaw("--vary", "V0=normal(1,-1)"); },
       "--vary V0: 'normal(1,-1)': SD cannot be negative"},
      {[] { ParseParamLaw("--vary", "V0"); }, "--vary needs NAME=normal(MEAN,SD)"},
  };
  for (const auto& bad : kBad) {
    try {
      bad.Parse();
      ADD_FAILURE() << bad.Says;
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find(bad.Says), std::string::npos) << e.what();
    }
  }
}

}  // namespace
}  // namespace zarn
