// The integrators' accuracy where a user meets it: the measured order of each method, the vacuum
// flight against its closed form, staging at the fuel's end, the step check against the true
// error, and the wind that moves the air.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "flight/integrator.h"
#include "flight/step_check.h"
#include "tests/support/flights.h"
#include "tests/support/scratch.h"

namespace zarn {
namespace {

using test_support::PresetParameters;

RunSummary Flown(const FlightParameters& p, FlightState* end = nullptr) {
  const auto r = ComputeTrajectory(p);
  if (end != nullptr) *end = r->Final;
  return r->Summary;
}

FlightParameters Preset0(double method, double dt0) {
  FlightParameters p = PresetParameters(0);
  p.Integrator = method;
  p.dt0 = dt0;
  return p;
}

// Preset 0 (1 kg at 100 m/s and 45 degrees, apex 244 m: one band of the atmosphere) flown very
// finely by the adaptive method: the reference of the orders below.
struct Reference {
  double Range, Apex;
};
Reference Preset0Reference() {
  FlightParameters p = Preset0(2, 0.01);
  p.Rtol = 1e-13;
  FlightState end{};
  const RunSummary s = Flown(p, &end);
  return {end.X, s.ApexH};
}

// Order from the errors at steps h and h/2.
double Order(double coarse, double fine, double exact) {
  return std::log2(std::fabs(coarse - exact) / std::fabs(fine - exact));
}

struct OrderCase {
  double Method;
  double Step;  //!< [s] the coarser of the two steps
  double Low, High;
};

class MeasuredOrder : public testing::TestWithParam<OrderCase> {};

// The last two steps of a run: Euler's impact lies between them, met by the straight line of its
// first-order steps (the higher-order methods meet it inside their own step).
class LastSteps final : public StepSink {
 public:
  FlightState Before{}, Last{};
  void Begin() override {}
  void Step(const FlightState& s) override { Before = Last, Last = s; }
  void Sampled(int32_t) override {}
  void End(const RunResult&) override {}
  void Abandon() noexcept override {}
  double Impact() const { return Before.X + (Last.X - Before.X) * Before.H / (Before.H - Last.H); }
};

RunSummary FlownToImpact(const FlightParameters& p, double& impact) {
  LastSteps steps;
  RunOptions o;
  o.Sink = &steps;
  const RunSummary s = ComputeTrajectory(p, o)->Summary;
  impact = steps.Impact();
  return s;
}

TEST_P(MeasuredOrder, RangeAndApexConvergeAtTheMethodsOrder) {
  const OrderCase c = GetParam();
  const Reference ref = Preset0Reference();
  double a = 0, b = 0;
  const RunSummary sa = FlownToImpact(Preset0(c.Method, c.Step), a);
  const RunSummary sb = FlownToImpact(Preset0(c.Method, c.Step / 2), b);
  EXPECT_GE(Order(a, b, ref.Range), c.Low);
  EXPECT_LE(Order(a, b, ref.Range), c.High);
  EXPECT_GE(Order(sa.ApexH, sb.ApexH, ref.Apex), c.Low);
  EXPECT_LE(Order(sa.ApexH, sb.ApexH, ref.Apex), c.High);
}

INSTANTIATE_TEST_SUITE_P(Methods, MeasuredOrder,
                         testing::Values(OrderCase{0, 0.004, 0.8, 1.25},  // Euler
                                         OrderCase{1, 0.1, 3.8, 4.6}));   // Runge-Kutta 4

TEST(AdaptiveMethod, ErrorStaysWithinTenTimesItsTolerance) {
  const Reference ref = Preset0Reference();
  for (const double rtol : {1e-5, 1e-7, 1e-9}) {
    SCOPED_TRACE(rtol);
    FlightParameters p = Preset0(2, 2.0);  // the largest step far above the preset's
    p.Rtol = rtol;
    FlightState end{};
    const RunSummary s = Flown(p, &end);
    EXPECT_LE(std::fabs(end.X / ref.Range - 1), 10 * rtol);
    EXPECT_LE(std::fabs(s.ApexH / ref.Apex - 1), 10 * rtol);
    EXPECT_EQ(s.Method, 2);
    EXPECT_LT(s.RateEvaluations, 1000);  // Euler needs millions for 1e-6
  }
}

// Without air (Cx 0, Cy 0) the path is the parabola: range v^2 sin 2a / g, apex v^2 sin^2 a / 2g,
// time 2 v sin a / g, with a = 45/57.3 rad and g = 9.8.
TEST(VacuumFlight, HigherOrderMethodsMeetTheClosedForm) {
  const double a = 45 / 57.3, v = 100, g = 9.8;
  const double range = v * v * std::sin(2 * a) / g, apex = v * v * std::sin(a) * std::sin(a) / (2 * g);
  const double time = 2 * v * std::sin(a) / g;
  EXPECT_NEAR(range, 1020.40808, 1e-4);  // the closed form itself, by hand
  for (const double method : {1.0, 2.0}) {
    SCOPED_TRACE(method);
    FlightParameters p = Preset0(method, 0.05);
    p.Cx = 0, p.H0 = 0;
    FlightState end{};
    const RunSummary s = Flown(p, &end);
    EXPECT_NEAR(end.X, range, range * 1e-9);
    EXPECT_NEAR(s.ApexH, apex, apex * 1e-9);
    EXPECT_NEAR(end.t, time, time * 1e-9);
    EXPECT_NEAR(end.H, 0, 1e-9);  // the end height is met inside the step
  }
}

// Collects every step's time, mass and thrust.
class Steps final : public StepSink {
 public:
  struct Row {
    double t, Mass, Thrust;
  };
  std::vector<Row> Rows;
  int Markers = 0;
  void Begin() override {}
  void Step(const FlightState& s) override { Rows.push_back({s.t, s.Mass, s.Thrust}); }
  void Sampled(int32_t) override { ++Markers; }
  void End(const RunResult&) override {}
  void Abandon() noexcept override {}
};

// A two-stage rocket: 1000 kg of fuel at 20 kg/s burns out at 50 s, 300 kg at 5 kg/s at 110 s.
TEST(Staging, HigherOrderMethodsStageAtTheFuelsEnd) {
  FlightParameters p{};
  p.TaskKind = 8, p.MassaStart = 2000, p.S0 = 0.5, p.Cx = 0.3, p.H0 = 0, p.V0 = 1, p.TTO = 80;
  p.dt0 = 0.7, p.Tk = 400, p.Hk = 0;
  p.Mt = 1000, p.Iud = 2200, p.IudP0 = 2500, p.Schub = 50000, p.Mdv = 200;
  p.Mt2 = 300, p.Iud2 = 2600, p.IudP2 = 2800, p.Schu2 = 14000, p.Mdv2 = 50;
  for (const double method : {1.0, 2.0}) {
    SCOPED_TRACE(method);
    p.Integrator = method;
    Steps steps;
    RunOptions o;
    o.Sink = &steps;
    ComputeTrajectory(p, o);
    const std::size_t half = steps.Rows.size() / 2;  // the recording pass
    auto at = [&](double t) -> const Steps::Row* {
      for (std::size_t i = half; i < steps.Rows.size(); ++i)
        if (std::fabs(steps.Rows[i].t - t) < 1e-9) return &steps.Rows[i];
      return nullptr;
    };
    const Steps::Row *first = at(50), *second = at(110);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NEAR(first->Mass, 1000, 1e-6);  // all of stage 1's fuel, no more
    EXPECT_NEAR(second->Mass, 2000 - 1000 - 200 - 300, 1e-6);
    EXPECT_EQ(steps.Markers, 500);  // every row of the table at its time
  }
}

class EachPreset : public testing::TestWithParam<int> {};
INSTANTIATE_TEST_SUITE_P(Presets, EachPreset, testing::Range(0, 5));

TEST(StepCheck, RichardsonFactorsFollowTheOrder) {
  EXPECT_DOUBLE_EQ(RichardsonFactor(Method::kEuler), 2.0);
  EXPECT_DOUBLE_EQ(RichardsonFactor(Method::kRungeKutta4), 16.0 / 15);
  EXPECT_DOUBLE_EQ(RichardsonFactor(Method::kDormandPrince), 10.0 / 9);
}

// A body released at rest from 10 km into a wind of +-10 m/s drifts with the air: after 100 s its
// ground speed across is the wind's, and it has drifted about 889 m downwind, for every method.
TEST(AirRelativeWind, DroppedBodyTakesTheWindsSpeed) {
  for (const double method : {0.0, 1.0, 2.0}) {
    for (const double wind : {10.0, -10.0}) {
      SCOPED_TRACE(testing::Message() << method << " " << wind);
      FlightParameters p = PresetParameters(1);
      p.Integrator = method, p.WindModel = 1, p.Vwind = wind;
      FlightState end{};
      Flown(p, &end);
      EXPECT_NEAR(end.V * std::cos(end.Theta), wind, 0.01);
      EXPECT_NEAR(end.X, 889.1 * wind / 10, 0.5);
      // The classic model's wind leaves it where the angle limit put it: 0.7 m.
      p.WindModel = 0;
      Flown(p, &end);
      EXPECT_NEAR(end.X, 0.68, 0.01);
    }
  }
}

TEST(AirRelativeWind, TailwindLengthensAFootballsLobAndRaisesItsApex) {
  FlightParameters p = PresetParameters(2);
  p.WindModel = 1;
  FlightState calm{}, tail{}, head{};
  const RunSummary c = Flown(p, &calm);
  p.Vwind = 5;
  const RunSummary t = Flown(p, &tail);
  p.Vwind = -5;
  const RunSummary h = Flown(p, &head);
  EXPECT_GT(tail.X, calm.X + 10);  // 59.9 m against 45.7 m
  EXPECT_LT(head.X, calm.X - 10);
  EXPECT_GT(t.ApexH, c.ApexH);  // less air speed, less drag
  EXPECT_LT(h.ApexH, c.ApexH);
}

// With no wind the air-relative model is the classic one to the bit: same result files.
TEST_P(EachPreset, NoAirRelativeWindGivesTheClassicFilesToTheBit) {
  test_support::ScratchDir a("wind_classic"), b("wind_air");
  FlightParameters p = PresetParameters(GetParam());
  const auto ra = test_support::FlyWithFiles(p, a.path());
  p.WindModel = 1;
  const auto rb = test_support::FlyWithFiles(p, b.path());
  for (const char* name : {"Zarn Daten.txt", "Zarn_500.txt"})
    EXPECT_EQ(test_support::ReadFile(a.path() / name), test_support::ReadFile(b.path() / name)) << name;
  EXPECT_EQ(std::memcmp(&ra->Table, &rb->Table, sizeof ra->Table), 0);
}

TEST(Methods, RefuseValuesWithoutAMeaning) {
  FlightParameters p = PresetParameters(0);
  p.Integrator = 3;
  EXPECT_THROW(ComputeTrajectory(p), Error);
  p.Integrator = 2, p.Rtol = -1;
  EXPECT_THROW(ComputeTrajectory(p), Error);
  p.Rtol = 0, p.WindModel = 0.5;
  EXPECT_THROW(ComputeTrajectory(p), Error);
}

}  // namespace
}  // namespace zarn
