#include "models/linear_table.h"

#include <algorithm>

namespace zarn {

double LinearTable::At(double x) const {
  if (rows_.empty()) return 0.0;
  if (!(x > rows_.front().X)) return rows_.front().Y;
  if (!(x < rows_.back().X)) return rows_.back().Y;
  const auto b =
      std::upper_bound(rows_.begin(), rows_.end(), x, [](double v, const Row& r) { return v < r.X; });
  const Row& hi = *b;
  const Row& lo = *(b - 1);
  return lo.Y + (hi.Y - lo.Y) * (x - lo.X) / (hi.X - lo.X);
}

}  // namespace zarn
