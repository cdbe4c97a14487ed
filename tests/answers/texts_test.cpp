#include <gtest/gtest.h>

#include <array>
#include <string>
#include <string_view>

#include "answers/event_text.h"
#include "answers/requests.h"
#include "records/errors.h"

namespace zarn {
namespace {

const std::vector<FlightEvent> kEvents = {
    {EventKind::Launch, 0, 0.0, 0.0, 1.0, 100.0, 45 / 57.3},
    {EventKind::Burnout, 2, 1.5, 30.25, 40.0, 120.0, 0.5},
    {EventKind::Apex, 0, 7.2, 500.125, 255.5, 60.0, 0.0},
    {EventKind::Impact, 0, 14.1, 933.0625, 0.0, 80.0, -0.8},
};

TEST(EventTexts, JsonAndCsvListTheEventsWithTheAngleInDegrees) {
  EXPECT_EQ(EventsCsv(kEvents),
            "event,t_s,X_m,H_m,V_m_s,Q_deg\n"
            "launch,0,0,1,100,45\n"
            "burnout_2,1.5,30.25,40,120,28.65\n"
            "apex,7.2,500.125,255.5,60,0\n"
            "impact,14.1,933.0625,0,80,-45.84\n");
  EXPECT_EQ(EventsJson({kEvents[2]}),
            R"([{"event": "apex", "t_s": 7.2, "X_m": 500.125, "H_m": 255.5, "V_m_s": 60, "Q_deg": 0}])");
  EXPECT_EQ(EventsJson({}), "[]");
  const EventFigures f = FiguresOfEvents(kEvents);
  EXPECT_EQ(*f.ImpactX, 933.0625);
  EXPECT_EQ(*f.ImpactQ, -0.8 * 57.3);
  EXPECT_EQ(*f.ApexT, 7.2);
  // Without an impact its figures are left out, never NaN.
  const EventFigures none = FiguresOfEvents({kEvents[0]});
  EXPECT_FALSE(none.ImpactT || none.ImpactX || none.ApexX);
}

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
