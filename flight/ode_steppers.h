#pragma once
// The steppers of the runs flown through Boost.Odeint, for any state held in a std::array: a step
// from a span's start toward the next break, at most dt0, that fills the span's end and its rates,
// and the state inside a step taken. The plane run and the run over the globe share them.
#include <algorithm>
#include <array>
#include <boost/numeric/odeint/stepper/controlled_runge_kutta.hpp>
#include <boost/numeric/odeint/stepper/runge_kutta4.hpp>
#include <boost/numeric/odeint/stepper/runge_kutta_dopri5.hpp>
#include <cstddef>
#include <functional>
#include <memory>

#include "flight/ode_run.h"
#include "records/errors.h"

namespace zarn::steppers {

namespace odeint = boost::numeric::odeint;

inline constexpr int kBisections = 80;  //!< halve a bracket to the last bit of time

// A root of g in [a, b] where g(a) > 0 >= g(b), by bisection on the step's interpolant.
template <class G>
double Bisect(double a, double b, const G& g) {
  for (int i = 0; i < kBisections && b - a > 0.0; ++i) {
    const double m = a + (b - a) / 2;
    if (m <= a || m >= b) break;
    (g(m) > 0.0 ? a : b) = m;
  }
  return b;
}

// A step taken: its ends, their rates, and the method's interpolant between them.
template <class State>
struct Span {
  double T0, T1;
  State Y0, F0, Y1, F1;
};

// The rates of the state, as the steppers take them.
template <class State>
class System {
 public:
  virtual void operator()(const State& y, State& dy, double t) = 0;

 protected:
  ~System() = default;
};

// The cubic Hermite curve through a step's ends and their rates: fourth order as the methods,
// and, unlike the pair's dense output, valid for any step taken, not only the last.
template <class State>
State HermiteAt(const Span<State>& sp, double t) {
  State y{};
  if (t <= sp.T0) return sp.Y0;
  if (t >= sp.T1) return sp.Y1;
  const double h = sp.T1 - sp.T0;
  const double s = (t - sp.T0) / h;
  const double h00 = (1 + 2 * s) * (1 - s) * (1 - s), h10 = s * (1 - s) * (1 - s);
  const double h01 = s * s * (3 - 2 * s), h11 = s * s * (s - 1);
  for (std::size_t i = 0; i < y.size(); ++i)
    y[i] = h00 * sp.Y0[i] + h10 * h * sp.F0[i] + h01 * sp.Y1[i] + h11 * h * sp.F1[i];
  return y;
}

template <class State>
class OdeStepper {
 public:
  virtual ~OdeStepper() = default;
  virtual void Start(double dt0) = 0;
  virtual void Take(System<State>& rates, Span<State>& sp, double tb, double dt0) = 0;
  virtual State At(const Span<State>& sp, double t) = 0;  //!< T0 < t < T1
};

// The step toward a break: dt0, or less where the break comes first.
inline double StepToward(double t0, double tb, double dt0) {
  const double h = std::min(dt0, tb - t0);
  return h > 0.0 ? h : dt0;  // a break behind: a full step (only an end time of 0 or below)
}

// The explicit Euler step with dt0, cut at a break; between its ends the Hermite curve.
template <class State>
class Euler final : public OdeStepper<State> {
 public:
  void Start(double) override {}
  void Take(System<State>& rates, Span<State>& sp, double tb, double dt0) override {
    const double h = StepToward(sp.T0, tb, dt0);
    for (std::size_t i = 0; i < sp.Y1.size(); ++i) sp.Y1[i] = Checked(sp.Y0[i] + h * sp.F0[i]);
    sp.T1 = sp.T0 + h;
    rates(sp.Y1, sp.F1, sp.T1);
  }
  State At(const Span<State>& sp, double t) override { return HermiteAt(sp, t); }
};

// Classical fourth-order Runge-Kutta with the step dt0, cut at a break; between its ends the
// cubic Hermite curve, whose error is of the fourth order as the method's.
template <class State>
class RungeKutta4 final : public OdeStepper<State> {
 public:
  void Start(double) override {}
  void Take(System<State>& rates, Span<State>& sp, double tb, double dt0) override {
    const double h = StepToward(sp.T0, tb, dt0);
    rk4_.do_step(std::ref(rates), sp.Y0, sp.F0, sp.T0, sp.Y1, h);
    sp.T1 = sp.T0 + h;
    rates(sp.Y1, sp.F1, sp.T1);
  }
  State At(const Span<State>& sp, double t) override { return HermiteAt(sp, t); }

 private:
  odeint::runge_kutta4<State> rk4_;
};

// The embedded 5(4) pair of Dormand and Prince with a relative tolerance and dt0 as its largest
// step; between its ends its own dense output.
template <class State>
class DormandPrince final : public OdeStepper<State> {
 public:
  explicit DormandPrince(double rtol)
      : dopri_(odeint::default_error_checker<double, odeint::array_algebra, odeint::default_operations>(
            rtol, rtol, 1.0, 1.0)) {}
  void Start(double dt0) override { h_ = dt0; }
  void Take(System<State>& rates, Span<State>& sp, double tb, double dt0) override {
    const double t0 = sp.T0;
    for (;;) {
      double h = std::min({h_, dt0, tb - t0});
      if (!(h > 0.0)) h = std::min(h_, dt0);
      double t = t0;
      if (dopri_.try_step(std::ref(rates), sp.Y0, sp.F0, t, sp.Y1, sp.F1, h) == odeint::success) {
        sp.T1 = t;
        h_ = h;  // the controller's next step
        return;
      }
      if (!(h > 0.0) || t0 + h == t0) throw Error("The adaptive integrator cannot meet its tolerance");
      h_ = h;
    }
  }
  State At(const Span<State>& sp, double t) override {
    State y{};
    dopri_.stepper().calc_state(t, y, sp.Y0, sp.F0, sp.T0, sp.Y1, sp.F1, sp.T1);
    return y;
  }

 private:
  odeint::controlled_runge_kutta<odeint::runge_kutta_dopri5<State>> dopri_;
  double h_ = 0.0;  //!< [s] the next step
};

// The stepper of a method; Euler only where the rule asks for it (the plane's Euler rule is its own).
template <class State>
std::unique_ptr<OdeStepper<State>> StepperOf(Method m, double rtol) {
  if (m == Method::kEuler) return std::make_unique<Euler<State>>();
  if (m == Method::kRungeKutta4) return std::make_unique<RungeKutta4<State>>();
  return std::make_unique<DormandPrince<State>>(rtol);
}

}  // namespace zarn::steppers
