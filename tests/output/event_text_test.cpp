#include "output/event_text.h"

#include <gtest/gtest.h>

#include <vector>

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
}

}  // namespace
}  // namespace zarn
