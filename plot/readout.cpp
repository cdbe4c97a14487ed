#include "plot/readout.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>

#include "flight/columns.h"
#include "flight/number_text.h"
#include "plot/renderer.h"

namespace zarn {
namespace {

std::string_view UnitOf(int column, const UnitFlags& units) {
  const UnitSwitch* applied = AppliedSwitch(column, units);
  return applied != nullptr ? applied->Unit : kColumns[static_cast<std::size_t>(column)].Unit;
}

std::string Line(const TrajectoryTable& table, const UnitFlags& units, int column, int row, char sep) {
  std::string line(kColumns[static_cast<std::size_t>(column)].Symbol);
  line.append(" = ").append(FormatGeneral(table.Cell(column, row), 6, sep));
  const std::string_view unit = UnitOf(column, units);
  if (!unit.empty()) line.append(" ").append(unit);
  return line;
}

}  // namespace

int RowAtPixel(const TrajectoryTable& table, const GraphSelection& selection, int lastRow, int px) {
  if (lastRow < 1 || selection.Count < 2) return 0;
  // The renderer's horizontal layout for n used entries of the selection.
  const int n = std::min<int>(selection.Count - 1, static_cast<int>(selection.Columns.size()));
  const PlotArea area = PlotAreaFor(n);
  const int L = area.Left, W = area.Width;
  if (px < L || px > L + W) return 0;
  const int column = selection.Columns[0];
  const double xmax = HorizontalEnd(table, column, lastRow);
  const double pointed = (px - L) * xmax / W;
  int best = 1;
  for (int i = 2; i <= lastRow; ++i)
    if (std::fabs(table.Cell(column, i) - pointed) < std::fabs(table.Cell(column, best) - pointed)) best = i;
  return best;
}

std::string ReadoutText(const TrajectoryTable& table, const GraphSelection& selection, const UnitFlags& units,
                        int row, char decimalSeparator) {
  std::string text = Line(table, units, selection.Columns[0], row, decimalSeparator);
  text.append("  (row ").append(std::to_string(row)).append(")");
  const int n = std::min<int>(selection.Count - 1, static_cast<int>(selection.Columns.size()));
  for (int f = 1; f < n; ++f)
    text.append("\n").append(Line(table, units, selection.Columns[f], row, decimalSeparator));
  return text;
}

}  // namespace zarn
