#include "plot/readout.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>

#include "flight/columns.h"
#include "flight/number_text.h"
#include "plot/clear_style.h"
#include "plot/renderer.h"

namespace zarn {
namespace {

std::string_view UnitOf(int column, const UnitFlags& units) {
  const UnitSwitch* applied = AppliedSwitch(column, units);
  return applied != nullptr ? applied->Unit : kColumns[static_cast<std::size_t>(column)].Unit;
}

std::string Line(const TrajectoryTable& table, const UnitFlags& units, int column, int row, char sep) {
  return ReadoutLine(column, table.Cell(column, row), units, sep);
}

int NearestRow(const TrajectoryTable& table, int column, int lastRow, double pointed) {
  int best = 1;
  for (int i = 2; i <= lastRow; ++i)
    if (std::fabs(table.Cell(column, i) - pointed) < std::fabs(table.Cell(column, best) - pointed)) best = i;
  return best;
}

}  // namespace

std::string ReadoutLine(int column, double value, const UnitFlags& units, char sep) {
  std::string line(kColumns[static_cast<std::size_t>(column)].Symbol);
  line.append(" = ").append(FormatGeneral(value, 6, sep));
  const std::string_view unit = UnitOf(column, units);
  if (!unit.empty()) line.append(" ").append(unit);
  return line;
}

int RowUnderPointer(const GraphInputs& g, double px) {
  const int lastRow = g.Rows - 1;
  if (g.Style == GraphStyle::Classic) return RowAtPixel(g.Table, g.Selection, lastRow, static_cast<int>(px));
  if (lastRow < 1 || g.Selection.Count < 2) return 0;
  const ClearLayout lay =
      LayOutClearGraph(g.Table, g.Selection, g.Rows, g.Units, g.DecimalSeparator, g.Language, g.Frame);
  if (px < lay.Plot.left() || px > lay.Plot.right()) return 0;
  return NearestRow(g.Table, g.Selection.Columns[0], lastRow,
                    AxisValue(lay.Horizontal.Ticks, px, lay.Plot.left(), lay.Plot.right()));
}

int RowAtPixel(const TrajectoryTable& table, const GraphSelection& selection, int lastRow, int px) {
  if (lastRow < 1 || selection.Count < 2) return 0;
  // The renderer's horizontal layout for n used entries of the selection.
  const int n = std::min<int>(selection.Count - 1, static_cast<int>(selection.Columns.size()));
  const PlotArea area = PlotAreaFor(n);
  const int L = area.Left, W = area.Width;
  if (px < L || px > L + W) return 0;
  const int column = selection.Columns[0];
  const double xmax = HorizontalEnd(table, column, lastRow);
  return NearestRow(table, column, lastRow, (px - L) * xmax / W);
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
