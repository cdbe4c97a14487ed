#include "answers/solve.h"

#include <algorithm>
#include <boost/math/tools/minima.hpp>
#include <boost/math/tools/toms748_solve.hpp>
#include <cmath>
#include <limits>

namespace zarn {
namespace {

// The objective with its runs counted.
class Counted {
 public:
  explicit Counted(const Objective& f) : f_(f) {}
  std::optional<double> operator()(double x) {
    ++runs_;
    return f_(x);
  }
  int64_t Runs() const { return runs_; }

 private:
  const Objective& f_;
  int64_t runs_ = 0;
};

struct ScanPoint {
  double X;
  std::optional<double> Value;
};

std::vector<ScanPoint> Scan(Counted& f, double from, double to) {
  std::vector<ScanPoint> points;
  for (int i = 0; i <= kScanIntervals; ++i) {
    // The ends exactly as given; the points between evenly spaced.
    // A range across most of the doubles has no finite width: its points then from the ends'
    // weights, each product within the range.
    const double t = static_cast<double>(i) / kScanIntervals;
    const double x = i == kScanIntervals        ? to
                     : std::isfinite(to - from) ? from + (to - from) * i / kScanIntervals
                                                : from * (1 - t) + to * t;
    points.push_back({x, f(x)});
  }
  return points;
}

// Brent's minimisation (Brent 1973, ch. 5: golden sections with parabolic steps) of sign * f on
// [lo, hi] to within xtol, on u = (x - lo) / (hi - lo) so that the tolerance is absolute in x.
Solution Refine(Counted& f, double lo, double hi, double xtol, bool maximize, const ScanPoint& best) {
  const double width = hi - lo;
  const double sign = maximize ? -1.0 : 1.0;
  double bestX = best.X, bestValue = *best.Value;
  auto g = [&](double u) {
    const double x = u >= 1.0 ? hi : lo + u * width;
    const std::optional<double> v = f(x);
    if (!v) return std::numeric_limits<double>::max();  // no figure: never the extreme
    if (sign * *v < sign * bestValue) {
      bestX = x;
      bestValue = *v;
    }
    return sign * *v;
  };
  if (width > 0.0) {
    // Boost stops once the bracket is within 2 * tol * (|u| + 1/4) of its best point, |u| <= 1.
    const double tolU = xtol / width / 2.5;
    // Clamped as a double: a tolerance far above or below the width has no int of bits.
    const double wanted = std::ceil(1.0 - std::log2(tolU));
    const int bits = static_cast<int>(std::clamp(
        wanted == wanted ? wanted : 2.0, 2.0, static_cast<double>(std::numeric_limits<double>::digits / 2)));
    std::uintmax_t iterations = 200;
    boost::math::tools::brent_find_minima(g, 0.0, 1.0, bits, iterations);
  }
  return {bestX, bestValue, 0};
}

std::optional<Solution> Extreme(Counted& f, const std::vector<ScanPoint>& points, double xtol,
                                bool maximize) {
  std::optional<std::size_t> best;
  for (std::size_t i = 0; i < points.size(); ++i) {
    if (!points[i].Value) continue;
    const double v = *points[i].Value;
    if (!best || (maximize ? v > *points[*best].Value : v < *points[*best].Value)) best = i;
  }
  if (!best) return std::nullopt;
  const std::size_t i = *best;
  const double lo = points[i == 0 ? 0 : i - 1].X;
  const double hi = points[std::min(i + 1, points.size() - 1)].X;
  return Refine(f, lo, hi, xtol, maximize, points[i]);
}

// A root of f - target in [a, b] by TOMS 748 (Alefeld, Potra and Shi 1995), which ends as soon as
// a run lands within tol: the wrapper reports such a run as an exact zero. Without one, `jump` is
// where the bracket closed.
std::optional<Solution> Root(Counted& f, double target, double tol, ScanPoint a, ScanPoint b, double& jump,
                             std::optional<double>& noFigure) {
  std::optional<Solution> found;
  jump = a.X;
  auto g = [&](double x) {
    const std::optional<double> v = f(x);
    // A run without the figure inside a bracket: the bracket cannot be trusted past it.
    if (!v) {
      noFigure = x;
      throw std::domain_error("no figure");
    }
    if (std::fabs(*v - target) <= tol) {
      found = Solution{x, *v, 0};
      return 0.0;
    }
    return *v - target;
  };
  try {
    std::uintmax_t iterations = 100;
    const auto bracket =
        boost::math::tools::toms748_solve(g, a.X, b.X, *a.Value - target, *b.Value - target,
                                          boost::math::tools::eps_tolerance<double>(52), iterations);
    jump = bracket.first;
  } catch (const std::domain_error&) {
  }
  return found;
}

}  // namespace

TargetAnswer SolveForTarget(const Objective& objective, double from, double to, double target, double tol,
                            double xtol) {
  Counted f(objective);
  const std::vector<ScanPoint> points = Scan(f, from, to);
  const int64_t scanRuns = f.Runs();
  TargetAnswer answer;
  auto within = [&](const ScanPoint& p) { return p.Value && std::fabs(*p.Value - target) <= tol; };
  auto refine = [&](const ScanPoint& a, const ScanPoint& b, int64_t before) {
    const int64_t start = f.Runs();
    double jump = 0.0;
    std::optional<double> noFigure;
    if (std::optional<Solution> s = Root(f, target, tol, a, b, jump, noFigure)) {
      s->Runs = before + f.Runs() - start;
      answer.Solutions.push_back(*s);
    } else if (noFigure) {
      answer.NoFigureAt.push_back(*noFigure);
    } else {
      answer.JumpsAt.push_back(jump);
    }
  };

  for (std::size_t i = 0; i < points.size(); ++i) {
    if (within(points[i])) {
      answer.Solutions.push_back({points[i].X, *points[i].Value, scanRuns});
      continue;
    }
    if (i + 1 == points.size() || within(points[i + 1])) continue;
    const ScanPoint &a = points[i], &b = points[i + 1];
    if (a.Value && b.Value && (*a.Value < target) != (*b.Value < target)) refine(a, b, scanRuns);
  }

  if (answer.Solutions.empty() && answer.JumpsAt.empty() && answer.NoFigureAt.empty()) {
    // No sign change: only the extreme on the target's side can still reach it.
    bool above = true;
    for (const ScanPoint& p : points)
      if (p.Value && *p.Value > target) above = false;
    const int64_t start = f.Runs();
    const auto extreme = Extreme(f, points, xtol, above);
    if (extreme) {
      const int64_t before = scanRuns + f.Runs() - start;
      const bool reached = above ? extreme->Value >= target - tol : extreme->Value <= target + tol;
      if (reached && std::fabs(extreme->Value - target) <= tol) {
        answer.Solutions.push_back({extreme->X, extreme->Value, before});
      } else if (reached) {
        // The figure passes the target on both sides of its extreme, between the scan's neighbours.
        const ScanPoint top{extreme->X, extreme->Value};
        auto neighbour = [&](bool left) {
          std::optional<ScanPoint> n;
          for (const ScanPoint& p : points)
            if (p.Value && (left ? p.X < top.X : p.X > top.X) &&
                (!n || std::fabs(p.X - top.X) < std::fabs(n->X - top.X)))
              n = p;
          return n;
        };
        for (const bool left : {true, false}) {
          const std::optional<ScanPoint> n = neighbour(left);
          if (n && (*n->Value < target) != (*top.Value < target)) {
            if (left)
              refine(*n, top, before);
            else
              refine(top, *n, before);
          }
        }
      } else {
        answer.Unreached = Reach{above, extreme->Value, extreme->X};
      }
    } else {
      answer.NoFigure = true;
    }
  }
  std::sort(answer.Solutions.begin(), answer.Solutions.end(),
            [](const Solution& x, const Solution& y) { return x.X < y.X; });
  answer.Runs = f.Runs();
  return answer;
}

std::optional<Solution> FindExtreme(const Objective& objective, double from, double to, double xtol,
                                    bool maximize) {
  Counted f(objective);
  const std::vector<ScanPoint> points = Scan(f, from, to);
  std::optional<Solution> s = Extreme(f, points, xtol, maximize);
  if (s) s->Runs = f.Runs();
  return s;
}

}  // namespace zarn
