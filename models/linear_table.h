#pragma once
// A quantity tabulated against another: linear between the rows, the end rows' values held beyond
// them (a drag coefficient over Mach, a wind over height, a pitch angle over time).
#include <utility>
#include <vector>

namespace zarn {

class LinearTable {
 public:
  struct Row {
    double X;
    double Y;
  };
  LinearTable() = default;
  // rows: X rising; at least one.
  explicit LinearTable(std::vector<Row> rows) : rows_(std::move(rows)) {}

  bool Empty() const { return rows_.empty(); }
  const std::vector<Row>& Rows() const { return rows_; }
  double At(double x) const;

 private:
  std::vector<Row> rows_;
};

}  // namespace zarn
